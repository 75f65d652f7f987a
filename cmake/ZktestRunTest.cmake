# SPDX-License-Identifier: MIT
# Runs one zktest test program for CTest (see ZktestAddTest.cmake) and turns
# how it ended into a pass or a failure with a readable explanation.
file(REMOVE_RECURSE "${ZKTEST_WORKDIR}")
file(MAKE_DIRECTORY "${ZKTEST_WORKDIR}")
set(report "${ZKTEST_NAME}.out")
set(crash "${ZKTEST_NAME}.crash")

# A plain test searches its whole command line for flags, its own path
# included ("build-Debug/" holds -D): it starts through a link in its folder,
# so argv[0] is "./<program>". A Windows program keeps its path, for its DLLs.
set(program "${ZKTEST_PROGRAM}")
get_filename_component(program_file "${ZKTEST_PROGRAM}" NAME)
if(NOT program_file MATCHES "[.]exe$")
  file(CREATE_LINK "${ZKTEST_PROGRAM}" "${ZKTEST_WORKDIR}/${program_file}" RESULT linked SYMBOLIC)
  if(linked STREQUAL "0")
    set(program "./${program_file}")
  endif()
endif()
# -D . keeps the report where it is judged, whatever folder the program's
# constructor names.
set(command ${ZKTEST_EMULATOR} "${program}"
  -O "${report}" -D . -L "${ZKTEST_TIMEOUT}" -G "${crash}" ${ZKTEST_ARGS})
execute_process(COMMAND ${command}
  WORKING_DIRECTORY "${ZKTEST_WORKDIR}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT out STREQUAL "")
  message("${out}")
endif()
if(NOT err STREQUAL "")
  message("${err}")
endif()

set(problems "")
if(NOT result STREQUAL "0")
  if(result MATCHES "^[0-9]+$")
    list(APPEND problems "the program ended with status ${result}")
  else()
    list(APPEND problems "the program did not end normally: ${result}")
  endif()
endif()

file(GLOB_RECURSE status_files "${ZKTEST_WORKDIR}/*.sta")
foreach(status_file IN LISTS status_files)
  file(READ "${status_file}" status LIMIT 1)
  if(status STREQUAL "1")
    list(APPEND problems "the status file ${status_file} was left at 1")
  endif()
endforeach()

# A report that lost lines (a full disk, a failed write) is no evidence of a
# pass: go() says so on standard error.
if(err MATCHES "\\*\\*\\* WARNING: report [^\n]* was not written whole[^\n]*")
  list(APPEND problems "${CMAKE_MATCH_0}")
endif()

if(EXISTS "${ZKTEST_WORKDIR}/${crash}")
  file(READ "${ZKTEST_WORKDIR}/${crash}" crash_line)
  string(STRIP "${crash_line}" crash_line)
  if(NOT crash_line STREQUAL "")
    list(APPEND problems "crash: ${crash_line}")
  endif()
endif()

# The report is evidence of its own: a run whose summary counts failures
# never passes, whatever its exit status says (go()'s count of 256 failures
# reads back as status 0), and its first failure blocks are quoted so that
# the CTest log says what failed.
if(EXISTS "${ZKTEST_WORKDIR}/${report}")
  file(READ "${ZKTEST_WORKDIR}/${report}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REGEX MATCHALL "\n## FailedAssertions = -?[0-9]+" counts "${text}")
  # Without its summary the run ended early (exit() in the body, a crash, an
  # abort) or wrote it elsewhere (changeOutputFile): no evidence of a pass,
  # whatever the exit status.
  if(NOT counts)
    list(APPEND problems "the report ${ZKTEST_WORKDIR}/${report} has no summary")
  endif()
  string(REGEX MATCH "\n## (the process ended [^\n]*)" ended "${text}")
  if(ended)
    list(APPEND problems "${CMAKE_MATCH_1}")
  endif()
  list(POP_BACK counts failed)
  string(REGEX REPLACE "[^-0-9]" "" failed "${failed}")
  if(failed AND NOT failed STREQUAL "0")
    list(APPEND problems "the report counts ${failed} failed assertion(s)")
  endif()
  string(REGEX MATCHALL "## -       [^\n]*(\n## -       [^\n]*)*" blocks "${text}")
  list(LENGTH blocks count)
  set(shown 0)
  foreach(block IN LISTS blocks)
    if(shown EQUAL 3)
      math(EXPR rest "${count} - 3")
      message("... and ${rest} more failure block(s)")
      break()
    endif()
    string(REPLACE "<semicolon>" ";" block "${block}")
    message("${block}\n")
    math(EXPR shown "${shown} + 1")
  endforeach()
else()
  list(APPEND problems "no report at ${ZKTEST_WORKDIR}/${report}")
endif()
message("report: ${ZKTEST_WORKDIR}/${report}")
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "zktest run failed:\n  ${text}")
endif()
