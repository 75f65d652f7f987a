# SPDX-License-Identifier: MIT
# Runs every shard of a program of cases and checks that together they ran
# each case of the program's list exactly once, named by --verbose.
# -D: PROGRAM SHARDS WORKDIR LAUNCHER
string(REPLACE "^^" ";" LAUNCHER "${LAUNCHER}")
file(REMOVE_RECURSE "${WORKDIR}")
file(MAKE_DIRECTORY "${WORKDIR}")
execute_process(COMMAND ${LAUNCHER} "${PROGRAM}" --list-names OUTPUT_VARIABLE expected)
string(REPLACE "\r" "" expected "${expected}")
string(REGEX REPLACE "\n$" "" expected "${expected}")
string(REPLACE "\n" ";" expected "${expected}")
set(ran "")
math(EXPR last "${SHARDS} - 1")
foreach(index RANGE ${last})
  execute_process(COMMAND ${LAUNCHER} "${PROGRAM}" --verbose --shard-count ${SHARDS}
    --shard-index ${index} WORKING_DIRECTORY "${WORKDIR}" ERROR_VARIABLE err OUTPUT_QUIET)
  string(REPLACE "\r" "" err "${err}")
  string(REGEX MATCHALL "(^|\n)case: [^\n]* [(][^\n]*[)]" started "${err}")
  foreach(line IN LISTS started)
    string(REGEX REPLACE "^\n?case: (.*) [(][^(]*[)]$" "\\1" name "${line}")
    list(APPEND ran "${name}")
  endforeach()
endforeach()
list(SORT expected)
list(SORT ran)
if(NOT ran STREQUAL expected)
  message(FATAL_ERROR "the shards ran [${ran}], the program lists [${expected}]")
endif()
