# SPDX-License-Identifier: MIT
# A program of cases run with --tap by a TAP harness, the verdicts read from
# the harness's own words: of "passes", "reads the settings, 100%" and
# "needs the network", the second fails and the third is skipped; without
# the failing one Meson's test passes.
#
# -D: HARNESS (meson or prove) PROGRAM WORKDIR
file(REMOVE_RECURSE "${WORKDIR}")
find_program(harness_found ${HARNESS})
if(NOT harness_found)
  message("${HARNESS} is not installed: skipped")
  return()
endif()
function(harness)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORKDIR}" OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(out "${out}" PARENT_SCOPE)
endfunction()
function(expect pattern)
  if(NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "${HARNESS}: no \"${pattern}\" in:\n${out}")
  endif()
endfunction()

if(HARNESS STREQUAL "meson")
  # A Meson project of its own, the program named by its path.
  file(WRITE "${WORKDIR}/meson.build" "project('tap')\ncases = find_program('${PROGRAM}')\n"
    "test('all', cases, args: ['--tap'], protocol: 'tap')\n"
    "test('no failure', cases, args: ['--tap', 'passes', 'needs*'], protocol: 'tap')\n")
  harness(meson setup build)
  harness(meson test -C build -v)
  # A failed case fails its test, as no error of the program; a skip alone
  # leaves the test passed.
  expect("- passes OK.*- reads the settings, 100% FAIL.*- needs the network SKIP.*all +FAIL")
  expect("no failure +OK.*Ok: +1 .*Fail: +1 .*Skipped: +0 ")
else()
  file(MAKE_DIRECTORY "${WORKDIR}")
  harness(prove --exec env "${PROGRAM}" :: --tap)
  # Test::Harness reads TAP version 14 from 3.48; an older one marks the
  # version line, and nothing else, as a parse error.
  execute_process(COMMAND perl -MTest::Harness -e "print $Test::Harness::VERSION < 3.48 ? \
    qq{ +Parse errors: TAP specified version 14 [^\\n]*\\n} : ''" OUTPUT_VARIABLE version_error)
  expect("1 skipped subtest.*Tests: 3 Failed: 1\\)\n +Failed test: +2\n${version_error}Files=")
endif()
