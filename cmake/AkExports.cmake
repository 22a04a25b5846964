# The shared library exports exactly the symbols named in exports.list: a linker version
# script is generated from the list at build time, everything else stays hidden.

function(ak_shared_library name)
  cmake_parse_arguments(A "" "EXPORTS" "ARCHIVES" ${ARGN})
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  add_custom_command(OUTPUT ${map}
    COMMAND ${CMAKE_COMMAND} -DLIST=${A_EXPORTS} -DOUT=${map} -P ${CMAKE_SOURCE_DIR}/cmake/GenerateVersionScript.cmake
    DEPENDS ${A_EXPORTS} ${CMAKE_SOURCE_DIR}/cmake/GenerateVersionScript.cmake
    COMMENT "Generating the linker version script from exports.list")
  add_custom_target(${name}_map DEPENDS ${map})

  # The load-time initialiser and every export live in the archives; link them whole.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "")
  add_library(${name} SHARED ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  add_dependencies(${name} ${name}_map)
  set(whole "")
  foreach(archive IN LISTS A_ARCHIVES)
    get_target_property(type ${archive} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND whole $<LINK_LIBRARY:WHOLE_ARCHIVE,${archive}>)
    else()
      list(APPEND whole ${archive})
    endif()
  endforeach()
  target_link_libraries(${name} PRIVATE ${whole})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map} -Wl,--no-undefined)
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
endfunction()
