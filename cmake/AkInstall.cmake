# Installs the device library the way a C host expects it on Debian: the library under its
# versioned SONAME with the development symlink, the public header with the section headers it
# includes (ambrelkit2/*.h), a pkg-config file and a CMake package (find_package(ambrelkit2)
# gives the target ambrelkit2::ambrelkit2).

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(ambrelkit2-x64 PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  EXPORT_NAME ambrelkit2)
target_include_directories(ambrelkit2-x64 INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS ambrelkit2-x64 EXPORT ambrelkit2Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/sdk/api/include/ambrelkit2.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sdk/api/include/ambrelkit2 DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

set(ak_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ambrelkit2)
install(EXPORT ambrelkit2Targets NAMESPACE ambrelkit2:: DESTINATION ${ak_cmake_dir})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/install/ambrelkit2Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2Config.cmake INSTALL_DESTINATION ${ak_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2Config.cmake ${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2ConfigVersion.cmake
  DESTINATION ${ak_cmake_dir})

# The pkg-config file finds the prefix from its own place, so the tree can be installed
# under any prefix (cmake --install --prefix) and still describe itself.
set(ak_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ak_pc_to_prefix /root/${ak_pc_dir} /root)
string(REGEX REPLACE "/$" "" ak_pc_to_prefix "${ak_pc_to_prefix}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/install/ambrelkit2.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ambrelkit2.pc DESTINATION ${ak_pc_dir})
