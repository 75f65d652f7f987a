# Installation: headers under include/zktest, the library, a CMake package
# (zktestConfig.cmake with a version file) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS zktest EXPORT zktestTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zktest
  FILES_MATCHING PATTERN "*.h")

set(ZKTEST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zktest)
install(EXPORT zktestTargets NAMESPACE zktest:: DESTINATION ${ZKTEST_CMAKE_DIR})
configure_package_config_file(cmake/zktestConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfig.cmake
  INSTALL_DESTINATION ${ZKTEST_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/zktestConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfigVersion.cmake
  DESTINATION ${ZKTEST_CMAKE_DIR})

set(ZKTEST_PC_CFLAGS "")
if(MINGW)
  set(ZKTEST_PC_CFLAGS "-D__USE_MINGW_ANSI_STDIO=1")
endif()
configure_file(cmake/zktest.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zktest.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zktest.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
