# SPDX-License-Identifier: MIT
# Installation: the public headers under include/zktest, the library (the DLL
# under bin and its import library under lib on Windows), a CMake package
# (zktestConfig.cmake, its version file and the exported targets
# zktest::zktest, zktest::main and zktest::memcheck) and pkg-config files. Both package descriptions locate the
# installation relative to themselves, so a tree installed with
# `cmake --install <build> --prefix <dir>` or copied elsewhere still works.
include(CMakePackageConfigHelpers)

install(TARGETS zktest zktest_main zktest_memcheck EXPORT zktestTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# include/ holds the public headers and, in internal/, the machinery that
# their macros expand to; the library's own headers stay in src/.
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zktest
  FILES_MATCHING PATTERN "*.h")

set(ZKTEST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zktest)
install(EXPORT zktestTargets NAMESPACE zktest:: DESTINATION ${ZKTEST_CMAKE_DIR})
configure_package_config_file(cmake/zktestConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfig.cmake
  INSTALL_DESTINATION ${ZKTEST_CMAKE_DIR})
# The version file also refuses a package built for another pointer size, so
# a 64-bit consumer never picks up a 32-bit installation.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/zktestConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/zktestConfigVersion.cmake
  cmake/ZktestAddTest.cmake
  cmake/ZktestRunTest.cmake
  cmake/ZktestDiscoverTests.cmake
  DESTINATION ${ZKTEST_CMAKE_DIR})

# pkg-config: the prefix is found from the .pc file's own folder, unless an
# absolute install folder was asked for, which is then written as it is.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ZKTEST_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(ZKTEST_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(ZKTEST_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}/zktest")
else()
  file(RELATIVE_PATH ZKTEST_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" ZKTEST_PC_UP "${ZKTEST_PC_UP}")
  set(ZKTEST_PC_PREFIX "\${pcfiledir}/${ZKTEST_PC_UP}")
  set(ZKTEST_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(ZKTEST_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}/zktest")
endif()
set(ZKTEST_PC_CFLAGS "")
foreach(definition IN LISTS ZKTEST_INTERFACE_DEFINITIONS)
  string(APPEND ZKTEST_PC_CFLAGS " -D${definition}")
endforeach()
configure_file(cmake/zktest.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zktest.pc @ONLY)
configure_file(cmake/zktest-memcheck.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zktest-memcheck.pc @ONLY)
configure_file(cmake/zktest-main.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zktest-main.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zktest.pc ${CMAKE_CURRENT_BINARY_DIR}/zktest-memcheck.pc
  ${CMAKE_CURRENT_BINARY_DIR}/zktest-main.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
