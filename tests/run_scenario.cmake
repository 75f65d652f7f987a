# SPDX-License-Identifier: MIT
# Runs one scenario in a fresh working directory and compares what it left
# behind with its golden file:
#   exit <status>, then its standard output and standard error, then every
#   file it wrote (sorted by name; files named *.bin as hex).
# Every difference between the legs is handled here and nowhere else: CRLF
# line ends of text mode and '\' separators on Windows, abort's status 3
# there, qemu's line about a signal that ended its guest, and goldens that
# a leg overrides as <name>.<leg>.txt.
# With ZKTEST_UPDATE_GOLDEN=1 in the environment the golden is rewritten
# from this run instead; review the change with git diff.
#
# -D: PROGRAM NAME SCENARIO ARGS ENV LAUNCHER WORKDIR GOLDEN_DIR LEG MASKS
# GOLDEN_NAME (the golden's name: NAME's own, or another scenario's)
# LAUNCHER runs the program: a checker such as valgrind, then the emulator.
foreach(list IN ITEMS ARGS ENV MASKS LAUNCHER)
  string(REPLACE "^^" ";" ${list} "${${list}}")
endforeach()
file(REMOVE_RECURSE "${WORKDIR}")
file(MAKE_DIRECTORY "${WORKDIR}")
string(REPLACE "<work>" "${WORKDIR}" ENV "${ENV}")
# What the machine running the suite sets must not change a run's text: a
# scenario sets these itself.
foreach(name IN ITEMS GITHUB_ACTIONS GITHUB_STEP_SUMMARY NO_COLOR CLICOLOR_FORCE)
  unset(ENV{${name}})
endforeach()
foreach(assignment IN LISTS ENV)
  string(REGEX MATCH "^([^=]*)=(.*)$" _ "${assignment}")
  set(ENV{${CMAKE_MATCH_1}} "${CMAKE_MATCH_2}")
endforeach()
string(REPLACE "<work>" "${WORKDIR}" ARGS "${ARGS}")
# A scenario of "<none>" starts the program with no words at all.
set(command ${LAUNCHER} "${PROGRAM}")
if(NOT SCENARIO STREQUAL "<none>")
  list(APPEND command "${SCENARIO}")
endif()
execute_process(COMMAND ${command} ${ARGS}
  WORKING_DIRECTORY "${WORKDIR}" TIMEOUT 120
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
# qemu reports a signal that ends its guest on the guest's standard error.
string(REGEX REPLACE "qemu: uncaught target signal [^\n]*\n" "" err "${err}")
if(LEG MATCHES "^win" AND status STREQUAL "3")
  set(status "Subprocess aborted")
endif()

set(actual "exit ${status}\n-- stdout\n${out}-- stderr\n${err}")
file(GLOB_RECURSE files RELATIVE "${WORKDIR}" "${WORKDIR}/*")
list(SORT files)
foreach(name IN LISTS files)
  if(name MATCHES "\\.bin$")
    file(READ "${WORKDIR}/${name}" content HEX)
    string(REGEX REPLACE "(..)" "\\1 " content "${content}")
    set(content "${content}\n")
  else()
    file(READ "${WORKDIR}/${name}" content)
  endif()
  string(APPEND actual "-- file ${name}\n${content}")
endforeach()
# An empty folder left behind shows too: a run must clean up what it made.
file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${WORKDIR}" "${WORKDIR}/*")
list(SORT entries)
foreach(name IN LISTS entries)
  if(IS_DIRECTORY "${WORKDIR}/${name}")
    file(GLOB inside "${WORKDIR}/${name}/*")
    if(NOT inside)
      string(APPEND actual "-- empty folder ${name}\n")
    endif()
  endif()
endforeach()

string(REPLACE "\r\n" "\n" actual "${actual}")
string(REPLACE "${WORKDIR}" "<work>" actual "${actual}")
if(LEG MATCHES "^win")
  string(REPLACE "\\" "/" actual "${actual}")
endif()
foreach(mask IN LISTS MASKS)
  string(REGEX REPLACE "${mask}" "<masked>" actual "${actual}")
endforeach()

set(base "${GOLDEN_DIR}/${GOLDEN_NAME}.txt")
set(golden "${GOLDEN_DIR}/${GOLDEN_NAME}.${LEG}.txt")
# A scenario held to another's golden never rewrites it: it is compared.
# The primary leg rewrites the golden itself; another leg writes its own
# variant, and only where its run differs from the primary's.
if("$ENV{ZKTEST_UPDATE_GOLDEN}" STREQUAL "1" AND GOLDEN_NAME STREQUAL NAME)
  set(primary "")
  if(EXISTS "${base}")
    file(READ "${base}" primary)
  endif()
  if(LEG STREQUAL "posix64")
    set(golden "${base}")
  elseif(EXISTS "${base}" AND actual STREQUAL primary)
    file(REMOVE "${golden}")
    return()
  endif()
  file(WRITE "${golden}" "${actual}")
  message("rewrote ${golden}")
  return()
endif()
if(NOT EXISTS "${golden}")
  set(golden "${base}")
endif()
set(expected "")
if(EXISTS "${golden}")
  file(READ "${golden}" expected)
endif()
if(NOT actual STREQUAL expected)
  file(WRITE "${WORKDIR}.actual" "${actual}")
  execute_process(COMMAND diff -u "${golden}" "${WORKDIR}.actual")
  message(FATAL_ERROR "${NAME}: differs from ${golden} (this run: ${WORKDIR}.actual)")
endif()
