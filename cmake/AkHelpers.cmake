# Small helpers that keep the per-folder CMake files short.

# ak_library(<name> [RECURSE] DIRS <dir>... LIBS <lib>... [INCLUDES <dir>...])
# A static library from every .cpp in the given folders; includes are written from the
# repository root ("sdk/core/EventBus.hpp"). A group whose folders hold no sources yet is an
# INTERFACE library, so dependants link it unchanged once sources land.
function(ak_library name)
  cmake_parse_arguments(A "RECURSE" "" "DIRS;LIBS;INCLUDES" ${ARGN})
  set(sources "")
  foreach(dir IN LISTS A_DIRS)
    if(A_RECURSE)
      file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    else()
      file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    endif()
    list(APPEND sources ${found})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${A_LIBS})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR} ${A_INCLUDES})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${A_LIBS})
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR} ${A_INCLUDES})
  endif()
endfunction()

# ak_test(<name> SOURCES <file>... LIBS <lib>... [LABELS <label>...] [WORKING_DIRECTORY <dir>]
#         [PREFIX <text>])
# One GoogleTest executable; every TEST() becomes a CTest test carrying the labels (its name
# preceded by the prefix, for executables that run the same tests another way).
# Label "concurrency" marks the suites that CI also runs under ThreadSanitizer.
function(ak_test name)
  cmake_parse_arguments(A "" "WORKING_DIRECTORY;PREFIX" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT A_LABELS)
    set(A_LABELS unit)
  endif()
  if(NOT A_WORKING_DIRECTORY)
    set(A_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${A_WORKING_DIRECTORY}
    TEST_PREFIX "${A_PREFIX}"
    DISCOVERY_TIMEOUT 60)
  # Labels are set from a script of our own that runs after the discovered tests are
  # added: a list of labels does not survive gtest_discover_tests' PROPERTIES (every
  # test would keep the first label only, and no suite would run under TSan).
  set(labels_script ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_script}
    "foreach(test IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${A_LABELS}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_script})
endfunction()

# ak_fuzzer(<name> SOURCES <file>... LIBS <lib>...): a libFuzzer target (AK_FUZZ builds only).
function(ak_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  add_dependencies(fuzzers ${name})
endfunction()

# ak_bench(<name> SOURCES <file>... LIBS <lib>...): a Google Benchmark program.
function(ak_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# Adds every immediate subfolder of the current source folder that has a CMakeLists.txt.
function(ak_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(child IN LISTS children)
    get_filename_component(dir ${child} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()
