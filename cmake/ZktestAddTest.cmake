# SPDX-License-Identifier: MIT
# zktest_add_test(<target> [NAME <test name>] [TIMEOUT <seconds>] [ARGS <arg>...])
#
# Registers a zktest test program with CTest. The program runs in its own
# folder of the build tree, where its report and status file land; -L arms
# the alarm from TIMEOUT so a hung program aborts itself, and -G names a
# crash file so a crash leaves its line. The CTest test fails when go()
# returns non-zero, the program aborts or crashes, a status file is left at
# "1", or the report could not be written whole; its output names the report
# and quotes the crash line.
set(_ZKTEST_RUN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/ZktestRunTest.cmake")

function(zktest_add_test target)
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "ARGS" ${ARGN})
  if(NOT ARG_NAME)
    set(ARG_NAME ${target})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(workdir "${CMAKE_CURRENT_BINARY_DIR}/zktest-runs/${ARG_NAME}")
  string(REPLACE ";" "\\;" args "${ARG_ARGS}")
  set(emulator "")
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" "\\;" emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  add_test(NAME ${ARG_NAME}
    COMMAND ${CMAKE_COMMAND}
      "-DZKTEST_PROGRAM=$<TARGET_FILE:${target}>"
      "-DZKTEST_NAME=${ARG_NAME}"
      "-DZKTEST_WORKDIR=${workdir}"
      "-DZKTEST_TIMEOUT=${ARG_TIMEOUT}"
      "-DZKTEST_ARGS=${args}"
      "-DZKTEST_EMULATOR=${emulator}"
      -P "${_ZKTEST_RUN_SCRIPT}")
  # CTest's own limit is only a backstop behind the program's alarm.
  math(EXPR backstop "${ARG_TIMEOUT} + 60")
  set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${backstop})
endfunction()

# zktest_discover_tests(<target> [TIMEOUT <seconds>] [TEST_PREFIX <prefix>]
#                       [WORKING_DIRECTORY <dir>] [ARGS <arg>...]
#                       [PROPERTIES <name> <value>...])
#
# Registers every case of a program of cases (ZKTEST_CASE) as a CTest test of
# its own, named <prefix><case name> (the prefix is "<target>." unless
# given); a hidden case is registered disabled. CTest runs each as the
# program itself, selected with --filter, with its report and status file
# in zktest-runs/<target>/ (named <target>.<n>.out and .sta) and the crash
# line on standard error. It passes on the runner's summary of a run without
# failures: a run that ends without one fails, whatever its exit status.
# TIMEOUT arms the program's alarm (-L), with CTest's limit a minute later
# as a backstop; without it no limit is set, so ctest --timeout applies.
# PROPERTIES are set on every case's test (labels, fixtures). The
# cases are listed when CTest starts, from the runner's marked list, so a
# case added or renamed needs no new configure.
set(_ZKTEST_DISCOVER_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/ZktestDiscoverTests.cmake")

function(zktest_discover_tests target)
  cmake_parse_arguments(ARG "" "TIMEOUT;TEST_PREFIX;WORKING_DIRECTORY" "ARGS;PROPERTIES" ${ARGN})
  if(NOT DEFINED ARG_TEST_PREFIX)
    set(ARG_TEST_PREFIX "${target}.")
  endif()
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  set(emulator "")
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_zktest_cases.cmake")
  file(GENERATE OUTPUT "${include_file}" CONTENT
"set(ZKTEST_PROGRAM [==[$<TARGET_FILE:${target}>]==])
set(ZKTEST_EMULATOR [==[${emulator}]==])
set(ZKTEST_PREFIX [==[${ARG_TEST_PREFIX}]==])
set(ZKTEST_TIMEOUT [==[${ARG_TIMEOUT}]==])
set(ZKTEST_ARGS [==[${ARG_ARGS}]==])
set(ZKTEST_PROPERTIES [==[${ARG_PROPERTIES}]==])
set(ZKTEST_RUNS_DIR [==[${CMAKE_CURRENT_BINARY_DIR}/zktest-runs/${target}]==])
set(ZKTEST_WORKING_DIRECTORY [==[${ARG_WORKING_DIRECTORY}]==])
set(ZKTEST_CMAKE [==[${CMAKE_COMMAND}]==])
include([==[${_ZKTEST_DISCOVER_SCRIPT}]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
