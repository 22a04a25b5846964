# Fails when building the program would build anything of the tests, benchmarks, fuzzers or the
# device library: scripts/run.sh builds the Quellwave target alone and must stay quick.
# Arguments: -DNINJA=<ninja> -DBUILD_DIR=<build folder> -DSOURCE_DIR=<source folder>
cmake_policy(SET CMP0007 NEW)
execute_process(
  COMMAND ${NINJA} -C ${BUILD_DIR} -t inputs Quellwave
  RESULT_VARIABLE result
  OUTPUT_VARIABLE inputs
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ninja cannot list the program's inputs: ${errors}")
endif()
string(STRIP "${inputs}" inputs)
string(REPLACE "\n" ";" inputs "${inputs}")
list(LENGTH inputs count)
if(count LESS 20)
  message(FATAL_ERROR "the program's inputs look incomplete (${count}): ${inputs}")
endif()
set(unwanted "")
foreach(input IN LISTS inputs)
  if(input MATCHES "^${SOURCE_DIR}/(tests|bench|fuzz|sdk|sim)/" OR input MATCHES "/(tests|bench|fuzz)/CMakeFiles/"
     OR input MATCHES "gtest|gmock|benchmark|ambrelkit|libak_")
    list(APPEND unwanted ${input})
  endif()
endforeach()
if(unwanted)
  string(REPLACE ";" "\n  " unwanted "${unwanted}")
  message(FATAL_ERROR "building the program also builds:\n  ${unwanted}")
endif()
message(STATUS "${count} inputs, none of them tests, benchmarks, fuzzers or the device library")
