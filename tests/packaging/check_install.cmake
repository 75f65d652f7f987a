# SPDX-License-Identifier: MIT
# Installs the build into a staging folder and uses it as a test author
# would: exactly the public headers are installed; a project found through
# find_package registers runs with zktest_add_test and cases with
# zktest_discover_tests, and CTest passes and fails them for the right reasons; zkreport sums their reports up; the
# same program builds from `pkg-config --cflags --libs zktest` and runs.
# Everything is written under WORK_DIR, emptied first.
# -D: BUILD_DIR SOURCE_DIR WORK_DIR CONSUMER_DIR VERSION LIBDIR INCLUDEDIR
#     GENERATOR MAKE_PROGRAM CXX_COMPILER CXX_COMPILER_ID CXX_FLAGS EXE_LINKER_FLAGS BUILD_TYPE
#     PKG_CONFIG
set(stage ${WORK_DIR}/stage)
set(build ${WORK_DIR}/consumer-build)
file(REMOVE_RECURSE ${WORK_DIR})
unset(ENV{DESTDIR})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  string(STRIP "${out}" out)
  set(output "${out}" PARENT_SCOPE)
endfunction()

# The warnings a strict team builds with; each one, met inside a zktest
# header included with -I, would stop the consumer's build.
set(strict -Wall -Wextra -Wconversion -Wshadow -Wold-style-cast -Wsign-conversion -Werror)
if(CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND strict -Wuseless-cast)
endif()
string(REPLACE ";" " " strict_words "${strict}") # one word through run()

run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage} --config ${BUILD_TYPE})
file(GLOB_RECURSE public RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/*.h)
file(GLOB_RECURSE installed RELATIVE ${stage}/${INCLUDEDIR}/zktest ${stage}/${INCLUDEDIR}/zktest/*)
list(SORT public)
list(SORT installed)
if(NOT public STREQUAL installed)
  message(FATAL_ERROR "installed headers: ${installed}\npublic headers: ${public}")
endif()

run("configuring the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build} -G ${GENERATOR}
  -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}" -DCMAKE_PREFIX_PATH=${stage}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DZKTEST_EXPECTED_VERSION=${VERSION}
  "-DZKTEST_STRICT_WARNINGS=${strict_words}")
file(STRINGS ${build}/CMakeCache.txt found REGEX "^zktest_DIR:")
string(FIND "${found}" "${stage}/" at)
if(NOT at GREATER 0)
  message(FATAL_ERROR "the package was not found in the staged tree: ${found}")
endif()
run("building the consumer" ${CMAKE_COMMAND} --build ${build})

execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --output-on-failure WORKING_DIRECTORY ${build}
  OUTPUT_VARIABLE ctest_out ERROR_VARIABLE ctest_out)
foreach(expected ": pass [.]+ +Passed" ": fail [.]+[*]+Failed" ": hang [.]+[*]+Failed"
    ": crash [.]+[*]+Failed" "the program ended with status 1" "the program did not end normally"
    "crash: Access Violation at pc 0x[0-9A-F]+ [(]code 0xc0000005[)]"
    "report: [^\n]*/zktest-runs/fail/fail[.]out" ": many [.]+[*]+Failed"
    "the report counts 256 failed assertion[(]s[)]" "## -       ID           = many"
    "[.][.][.] and 253 more failure block[(]s[)]" ": full [.]+[*]+Failed"
    "WARNING: report [^\n]*full[.]out was not written whole" ": exit [.]+[*]+Failed"
    "the report [^\n]*/exit[.]out has no summary"
    # The cases: run from their working directory, failed without a summary
    # whatever the exit status, the alarm named, the hidden one disabled.
    ": cases[.]reads its data [.]+ +Passed"
    ": cases[.]quits quietly [.]+[*]+Failed +Required regular expression not found"
    ": cases[.]hangs [.]+Subprocess aborted" "cases: alarm after 2 s during case \"hangs\""
    ": cases[.]left for later [.]+[*]+Not Run [(]Disabled[)]" ": strict_cases [.]+ +Passed" "8 tests failed out of 11")
  if(NOT ctest_out MATCHES "${expected}")
    message(FATAL_ERROR "the consumer's ctest output lacks '${expected}':\n${ctest_out}")
  endif()
endforeach()
# Every case's test, and only those, carries the labels given.
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} -N -L discovered WORKING_DIRECTORY ${build}
  OUTPUT_VARIABLE labelled ERROR_VARIABLE labelled)
if(NOT labelled MATCHES "Total Tests: 4\n")
  message(FATAL_ERROR "the cases' tests do not carry their labels:\n${labelled}")
endif()
# main()'s banner is no case.
if(ctest_out MATCHES "Test +#[0-9]+: cases[.]consumer")
  message(FATAL_ERROR "a line main() printed became a test:\n${ctest_out}")
endif()

set(runs ${build}/zktest-runs)
execute_process(COMMAND ${stage}/bin/zkreport ${runs}/pass/pass.out ${runs}/fail/fail.out
    ${runs}/hang/hang.out ${runs}/crash/crash.out ${runs}/full/full.out
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 1 OR NOT out MATCHES "5 runs, 4 failed\n$")
  message(FATAL_ERROR "zkreport ended with ${result}:\n${out}")
endif()

if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${stage}/${LIBDIR}/pkgconfig)
  unset(ENV{PKG_CONFIG_SYSROOT_DIR})
  run("pkg-config --modversion" ${PKG_CONFIG} --modversion zktest)
  if(NOT output STREQUAL VERSION)
    message(FATAL_ERROR "pkg-config names version '${output}', expected ${VERSION}")
  endif()
  run("pkg-config --variable=libdir" ${PKG_CONFIG} --variable=libdir zktest)
  set(libdir ${output})
  run("pkg-config --cflags --libs" ${PKG_CONFIG} --cflags --libs zktest)
  separate_arguments(flags UNIX_COMMAND "${CXX_FLAGS} ${EXE_LINKER_FLAGS} ${output}")
  run("building with pkg-config's flags" ${CXX_COMPILER} -DZKTEST_CONSUMER_TAG="pass"
    ${CONSUMER_DIR}/runs.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/pass)
  file(MAKE_DIRECTORY ${WORK_DIR}/run)
  execute_process(COMMAND ${WORK_DIR}/pass WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE result)
  file(READ ${WORK_DIR}/run/zktest.sta status)
  if(NOT result EQUAL 0 OR NOT status STREQUAL "0")
    message(FATAL_ERROR "the program built with pkg-config's flags ended with ${result}")
  endif()

  # zktest-main brings main() for a program of cases.
  run("pkg-config --cflags --libs zktest-main" ${PKG_CONFIG} --cflags --libs zktest-main)
  separate_arguments(flags UNIX_COMMAND "${CXX_FLAGS} ${EXE_LINKER_FLAGS} ${output}")
  run("building a program of cases with zktest-main's flags" ${CXX_COMPILER} -std=c++17 ${strict}
    ${CONSUMER_DIR}/strict_cases.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/cases)
  execute_process(COMMAND ${WORK_DIR}/cases WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE result
    OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0 OR NOT out MATCHES "cases 1 passed, 0 failed")
    message(FATAL_ERROR "the program of cases built with pkg-config ended with ${result}:\n${out}")
  endif()
endif()
