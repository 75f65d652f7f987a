# Runs one zktest test program for CTest (see ZktestAddTest.cmake) and turns
# how it ended into a pass or a failure with a readable explanation.
file(REMOVE_RECURSE "${ZKTEST_WORKDIR}")
file(MAKE_DIRECTORY "${ZKTEST_WORKDIR}")
set(report "${ZKTEST_NAME}.out")
set(crash "${ZKTEST_NAME}.crash")

set(command ${ZKTEST_EMULATOR} "${ZKTEST_PROGRAM}"
  -O "${report}" -L "${ZKTEST_TIMEOUT}" -G "${crash}" ${ZKTEST_ARGS})
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

file(GLOB status_files "${ZKTEST_WORKDIR}/*.sta")
foreach(status_file IN LISTS status_files)
  file(READ "${status_file}" status LIMIT 1)
  if(status STREQUAL "1")
    list(APPEND problems "the status file ${status_file} was left at 1")
  endif()
endforeach()

if(EXISTS "${ZKTEST_WORKDIR}/${crash}")
  file(READ "${ZKTEST_WORKDIR}/${crash}" crash_line)
  string(STRIP "${crash_line}" crash_line)
  if(NOT crash_line STREQUAL "")
    list(APPEND problems "crash: ${crash_line}")
  endif()
endif()

message("report: ${ZKTEST_WORKDIR}/${report}")
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "zktest run failed:\n  ${text}")
endif()
