# SPDX-License-Identifier: MIT
# Run by CTest as it starts (see zktest_discover_tests): lists the program's
# cases and adds a test for each, which CTest runs as the program itself. A
# program that cannot be listed becomes one failing test that says why,
# rather than no tests at all.
execute_process(COMMAND ${ZKTEST_EMULATOR} "${ZKTEST_PROGRAM}" --list-tests
  WORKING_DIRECTORY "${ZKTEST_WORKING_DIRECTORY}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
# Only the runner's marked lines: whatever main() printed around them is no
# case.
string(REPLACE "\r" "" output "${output}")
string(FIND "${output}" "--- zktest cases ---\n" begin)
string(FIND "${output}" "\n--- end of zktest cases ---\n" end)
if(NOT result STREQUAL "0" OR begin EQUAL -1 OR end LESS begin)
  add_test("${ZKTEST_PREFIX}NOT_LISTED" "${ZKTEST_CMAKE}" -E echo
    "${ZKTEST_PROGRAM} --list-tests failed (${result}): ${errors}")
  set_tests_properties("${ZKTEST_PREFIX}NOT_LISTED" PROPERTIES WILL_FAIL ON ${ZKTEST_PROPERTIES})
  return()
endif()
math(EXPR begin "${begin} + 21")
math(EXPR length "${end} - ${begin}")
set(lines "")
if(length GREATER 0)
  string(SUBSTRING "${output}" ${begin} ${length} lines)
endif()

get_filename_component(program_name "${ZKTEST_PROGRAM}" NAME_WE)
file(MAKE_DIRECTORY "${ZKTEST_RUNS_DIR}")
set(alarm "")
if(ZKTEST_TIMEOUT)
  set(alarm -L ${ZKTEST_TIMEOUT})
endif()
string(REPLACE ";" "\\;" lines "${lines}")
string(REPLACE "\n" ";" lines "${lines}")
set(index 0)
foreach(line IN LISTS lines)
  string(SUBSTRING "${line}" 0 1 mark)
  string(SUBSTRING "${line}" 1 -1 name)
  math(EXPR index "${index} + 1")
  # Only the filter's own characters are escaped, so the filter selects
  # exactly this case; the report takes a number, since a name may hold
  # anything a file name cannot.
  string(REGEX REPLACE "([][\\\\*?,])" "\\\\\\1" filter "${name}")
  string(REGEX REPLACE "^([~-])" "\\\\\\1" filter "${filter}")
  set(test_name "${ZKTEST_PREFIX}${name}")
  # The crash line goes to standard error, into CTest's log.
  add_test("${test_name}" ${ZKTEST_EMULATOR} "${ZKTEST_PROGRAM}" "--filter=${filter}"
    -O "${program_name}.${index}.out" -D "${ZKTEST_RUNS_DIR}" -G /dev/stderr ${alarm}
    ${ZKTEST_ARGS})
  # A pass is the summary of a run without failures; no summary (the run
  # ended early) is a failure whatever the exit status. The summary's ";"
  # would split the expression, so "." stands for it.
  set_tests_properties("${test_name}" PROPERTIES
    PASS_REGULAR_EXPRESSION "zktest: cases [0-9]+ passed, 0 failed. checks [0-9]+ passed, 0 failed. "
    FAIL_REGULAR_EXPRESSION "\\*\\*\\* WARNING: report [^\n]* was not written whole"
    WORKING_DIRECTORY "${ZKTEST_WORKING_DIRECTORY}")
  if(ZKTEST_TIMEOUT)
    # CTest's own limit is only a backstop behind the program's alarm.
    math(EXPR backstop "${ZKTEST_TIMEOUT} + 60")
    set_tests_properties("${test_name}" PROPERTIES TIMEOUT ${backstop})
  endif()
  if(ZKTEST_PROPERTIES)
    set_tests_properties("${test_name}" PROPERTIES ${ZKTEST_PROPERTIES})
  endif()
  if(mark STREQUAL "-")
    set_tests_properties("${test_name}" PROPERTIES DISABLED TRUE)
  endif()
endforeach()
