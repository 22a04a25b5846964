# cmake -DBUILD_DIR=... -DHOST_DIR=... -DWORK_DIR=... -DC_COMPILER=... -DCXX_COMPILER=... -DHEADER_DIR=...
#       -P InstallAndBuildHost.cmake
# Installs the built library into a scratch prefix, checks what lands there (every section header
# of the source tree's HEADER_DIR among it, each compiling on its own as C and C++), and builds
# and runs the C host against it twice: with pkg-config's flags and through find_package.

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${code}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

file(GLOB_RECURSE real LIST_DIRECTORIES false ${prefix}/libambrelkit2-x64.so.*.*)
list(LENGTH real found)
if(NOT found EQUAL 1)
  message(FATAL_ERROR "expected one versioned library under ${prefix}, found: ${real}")
endif()
get_filename_component(libdir ${real} DIRECTORY)
foreach(file ${libdir}/libambrelkit2-x64.so ${libdir}/libambrelkit2-x64.so.2 ${prefix}/include/ambrelkit2.h
             ${libdir}/pkgconfig/ambrelkit2.pc ${libdir}/cmake/ambrelkit2/ambrelkit2Config.cmake)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The public header includes its sections: each is installed and stands on its own in C and C++.
file(GLOB sections RELATIVE ${HEADER_DIR} ${HEADER_DIR}/ambrelkit2/*.h)
if(NOT sections)
  message(FATAL_ERROR "no section headers under ${HEADER_DIR}/ambrelkit2")
endif()
foreach(section ${sections})
  if(NOT EXISTS ${prefix}/include/${section})
    message(FATAL_ERROR "not installed: ${prefix}/include/${section}")
  endif()
  file(WRITE ${WORK_DIR}/section.c "#include <${section}>\n")
  file(WRITE ${WORK_DIR}/section.cpp "#include <${section}>\n")
  set(strict -Wall -Wextra -pedantic -Werror -fsyntax-only -I${prefix}/include)
  run(${C_COMPILER} -std=c99 ${strict} ${WORK_DIR}/section.c)
  run(${CXX_COMPILER} -std=c++17 ${strict} ${WORK_DIR}/section.cpp)
endforeach()
foreach(link ${libdir}/libambrelkit2-x64.so ${libdir}/libambrelkit2-x64.so.2)
  if(NOT IS_SYMLINK ${link})
    message(FATAL_ERROR "${link} is not a symlink")
  endif()
endforeach()

run(readelf -d ${real})
if(NOT out MATCHES "SONAME\\)[^\n]*\\[libambrelkit2-x64\\.so\\.2\\]")
  message(FATAL_ERROR "SONAME is not libambrelkit2-x64.so.2:\n${out}")
endif()
# What it links against: the system's shared C++ runtime (no copy of its own), and nothing the
# loader cannot find.
if(NOT out MATCHES "NEEDED\\)[^\n]*\\[libstdc\\+\\+\\.so\\.6\\]")
  message(FATAL_ERROR "the library does not link the shared C++ runtime:\n${out}")
endif()
run(ldd ${real})
if(out MATCHES "not found")
  message(FATAL_ERROR "the library needs what the loader cannot find:\n${out}")
endif()

set(run_env ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir})

# pkg-config
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${libdir}/pkgconfig pkg-config --cflags --libs ambrelkit2)
string(STRIP "${out}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} -std=c99 -Wall -Werror ${HOST_DIR}/host.c ${flags} -o ${WORK_DIR}/host-pkgconfig)
run(${run_env} ${WORK_DIR}/host-pkgconfig)
if(NOT out MATCHES "host found 0 sensors")
  message(FATAL_ERROR "pkg-config host said: ${out}")
endif()

# find_package
run(${CMAKE_COMMAND} -S ${HOST_DIR} -B ${WORK_DIR}/host-build -G Ninja -DCMAKE_C_COMPILER=${C_COMPILER}
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/host-build)
run(${run_env} ${WORK_DIR}/host-build/host)
if(NOT out MATCHES "host found 0 sensors")
  message(FATAL_ERROR "find_package host said: ${out}")
endif()
message(STATUS "installed library: both hosts built and ran")
