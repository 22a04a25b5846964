# The shared library exports exactly the symbols named in exports.list: a linker version
# script is generated from the list at build time, everything else stays hidden.

function(ak_shared_library name)
  cmake_parse_arguments(A "" "EXPORTS" "ARCHIVES" ${ARGN})
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  add_custom_command(OUTPUT ${map}
    COMMAND ${CMAKE_COMMAND} -DLIST=${A_EXPORTS} -DOUT=${map} -P ${CMAKE_SOURCE_DIR}/cmake/GenerateVersionScript.cmake
    DEPENDS ${A_EXPORTS} ${CMAKE_SOURCE_DIR}/cmake/GenerateVersionScript.cmake ${CMAKE_SOURCE_DIR}/cmake/ExportSymbols.cmake
    COMMENT "Generating the linker version script from exports.list")
  add_custom_target(${name}_map DEPENDS ${map})

  # The load-time initialiser and every export live in the archives: build the library
  # from all their objects (nothing is left out for lack of a reference), and link the
  # archives themselves only for what they need from outside.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "")
  set(objects "")
  foreach(archive IN LISTS A_ARCHIVES)
    get_target_property(type ${archive} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND objects $<TARGET_OBJECTS:${archive}>)
    endif()
  endforeach()
  add_library(${name} SHARED ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp ${objects})
  add_dependencies(${name} ${name}_map)
  target_link_libraries(${name} PRIVATE ${A_ARCHIVES})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map} -Wl,--no-undefined)
  # The C++ runtime stays the system's shared one, as in every Debian C++ library: the library's
  # own C++ dependencies (fmt) load it anyway, and a second, static copy beside it would give one
  # process two runtimes.
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
endfunction()
