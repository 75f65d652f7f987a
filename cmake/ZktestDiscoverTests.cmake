# SPDX-License-Identifier: MIT
# Run by CTest as it starts (see zktest_discover_tests): lists the program's
# cases and adds a test for each. A program that cannot be listed becomes
# one failing test that says why, rather than no tests at all.
execute_process(COMMAND ${ZKTEST_EMULATOR} "${ZKTEST_PROGRAM}" --list-names
  RESULT_VARIABLE result
  OUTPUT_VARIABLE names
  ERROR_VARIABLE errors)
get_filename_component(program_name "${ZKTEST_PROGRAM}" NAME_WE)
if(NOT result STREQUAL "0")
  add_test("${ZKTEST_PREFIX}NOT_LISTED" "${ZKTEST_CMAKE}" -E echo
    "${ZKTEST_PROGRAM} --list-names failed (${result}): ${errors}")
  set_tests_properties("${ZKTEST_PREFIX}NOT_LISTED" PROPERTIES WILL_FAIL ON)
  return()
endif()

string(REPLACE "\r" "" names "${names}")
string(REPLACE ";" "\\;" names "${names}")
string(REPLACE "\n" ";" names "${names}")
set(index 0)
foreach(name IN LISTS names)
  if(name STREQUAL "")
    continue()
  endif()
  math(EXPR index "${index} + 1")
  # Only the filter's own characters are escaped, so the filter selects
  # exactly this case; the folder and report take a number, since a name
  # may hold anything a file name cannot.
  string(REGEX REPLACE "([][\\\\*?,])" "\\\\\\1" filter "${name}")
  string(REGEX REPLACE "^([~-])" "\\\\\\1" filter "${filter}")
  set(test_name "${ZKTEST_PREFIX}${name}")
  set(run_name "${program_name}.${index}")
  set(args "--filter=${filter}" ${ZKTEST_ARGS})
  add_test("${test_name}" "${ZKTEST_CMAKE}"
    "-DZKTEST_PROGRAM=${ZKTEST_PROGRAM}"
    "-DZKTEST_NAME=${run_name}"
    "-DZKTEST_WORKDIR=${ZKTEST_RUNS_DIR}/${run_name}"
    "-DZKTEST_TIMEOUT=${ZKTEST_TIMEOUT}"
    "-DZKTEST_ARGS=${args}"
    "-DZKTEST_EMULATOR=${ZKTEST_EMULATOR}"
    -P "${ZKTEST_RUN_SCRIPT}")
  math(EXPR backstop "${ZKTEST_TIMEOUT} + 60")
  set_tests_properties("${test_name}" PROPERTIES TIMEOUT ${backstop})
endforeach()
