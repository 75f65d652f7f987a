# Installs the build tree into a staging folder and uses the result the way a
# test author would: checks the installed layout, builds and runs a consumer
# project found through find_package(zktest CONFIG), and, where pkg-config
# exists, builds and runs the same program from `pkg-config --cflags --libs`.
#
# Run by ctest as `cmake -D...=... -P check_install.cmake` with:
#   BUILD_DIR SOURCE_DIR WORK_DIR CONSUMER_DIR VERSION LIBDIR INCLUDEDIR
#   LIBRARY_FILES (the library's file names, ';'-separated)
#   GENERATOR MAKE_PROGRAM CXX_COMPILER CXX_FLAGS EXE_LINKER_FLAGS BUILD_TYPE
#   PKG_CONFIG (empty when there is none)
# Everything it writes stays under WORK_DIR, which it empties first so that
# nothing of an earlier run can pass for this one.
cmake_minimum_required(VERSION 3.20)

foreach(var BUILD_DIR SOURCE_DIR WORK_DIR CONSUMER_DIR VERSION LIBDIR INCLUDEDIR LIBRARY_FILES
            GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_install.cmake: ${var} is not set")
  endif()
endforeach()

set(stage ${WORK_DIR}/stage)
set(run_dir ${WORK_DIR}/run)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${run_dir})

# A DESTDIR from the caller's environment would move the staged tree.
unset(ENV{DESTDIR})

function(run_checked what)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# ---- install and layout ------------------------------------------------------
set(install_cmd ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage})
if(BUILD_TYPE)
  list(APPEND install_cmd --config ${BUILD_TYPE})
endif()
run_checked("cmake --install" ${install_cmd})

set(missing "")
foreach(file
    ${LIBDIR}/cmake/zktest/zktestConfig.cmake
    ${LIBDIR}/cmake/zktest/zktestConfigVersion.cmake
    ${LIBDIR}/cmake/zktest/zktestTargets.cmake
    ${LIBDIR}/pkgconfig/zktest.pc)
  if(NOT EXISTS ${stage}/${file})
    list(APPEND missing ${file})
  endif()
endforeach()
foreach(name IN LISTS LIBRARY_FILES)
  if(NOT EXISTS ${stage}/${LIBDIR}/${name})
    list(APPEND missing ${LIBDIR}/${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()

# Exactly the public headers, no internal one.
file(GLOB public_headers RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/*.h)
file(GLOB_RECURSE installed_headers RELATIVE ${stage}/${INCLUDEDIR}/zktest
  ${stage}/${INCLUDEDIR}/zktest/*)
list(SORT public_headers)
list(SORT installed_headers)
if(NOT public_headers STREQUAL installed_headers)
  message(FATAL_ERROR "installed headers differ from include/:\n"
                      "  installed: ${installed_headers}\n  public:    ${public_headers}")
endif()
message(STATUS "installed layout: ok")

# ---- CMake package -----------------------------------------------------------
set(consumer_build ${WORK_DIR}/consumer-build)
set(configure_cmd ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${consumer_build} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}"
  -DCMAKE_PREFIX_PATH=${stage}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DZKTEST_EXPECTED_VERSION=${VERSION})
if(MAKE_PROGRAM)
  list(APPEND configure_cmd -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
if(BUILD_TYPE)
  list(APPEND configure_cmd -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
run_checked("configuring the consumer" ${configure_cmd})

# The package must come from the staged tree, not from anywhere else.
file(STRINGS ${consumer_build}/CMakeCache.txt found_dir REGEX "^zktest_DIR:")
string(REGEX REPLACE "^zktest_DIR:[A-Z]+=" "" found_dir "${found_dir}")
cmake_path(IS_PREFIX stage "${found_dir}" NORMALIZE from_stage)
if(NOT from_stage)
  message(FATAL_ERROR "zktest was found in '${found_dir}', not under ${stage}")
endif()

run_checked("building the consumer" ${CMAKE_COMMAND} --build ${consumer_build})

function(run_consumer what program)
  file(REMOVE ${run_dir}/consumer.out)
  execute_process(COMMAND ${program} WORKING_DIRECTORY ${run_dir}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0 OR NOT out STREQUAL "zktest consumer: ok\n")
    message(FATAL_ERROR "${what}: ${program} ended with '${result}':\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
endfunction()
run_consumer("consumer built with find_package" ${consumer_build}/t)

# ---- zktest_add_test through CTest -------------------------------------------
# The consumer registers four runs: "pass" must pass; "fail" (a failed
# assertion), "hang" (aborted by its alarm) and "crash" (an access violation)
# must fail, each naming its report and the crash its line.
execute_process(COMMAND ${CMAKE_CTEST_COMMAND} --output-on-failure
  WORKING_DIRECTORY ${consumer_build}
  RESULT_VARIABLE ctest_result OUTPUT_VARIABLE ctest_out ERROR_VARIABLE ctest_err)
file(WRITE ${WORK_DIR}/consumer-ctest.txt "${ctest_out}${ctest_err}")
if(ctest_result EQUAL 0)
  message(FATAL_ERROR "the consumer's ctest passed although three runs must fail:\n${ctest_out}")
endif()
foreach(expected
    "Test #1: pass [.]+ +Passed"
    "Test #2: fail [.]+[*]+Failed"
    "Test #3: hang [.]+[*]+Failed"
    "Test #4: crash [.]+[*]+Failed"
    "the program ended with status 1"
    "the program did not end normally"
    "crash: Access Violation at pc 0x[0-9A-F]+ [(]code 0xc0000005[)]"
    "report: [^\n]*/zktest-runs/fail/fail[.]out"
    "25% tests passed, 3 tests failed out of 4")
  if(NOT ctest_out MATCHES "${expected}")
    message(FATAL_ERROR "the consumer's ctest output lacks '${expected}':\n${ctest_out}")
  endif()
endforeach()
message(STATUS "zktest_add_test through CTest: ok")

# ---- zkreport over those reports ----------------------------------------------
set(runs ${consumer_build}/zktest-runs)
execute_process(COMMAND ${stage}/bin/zkreport --junit ${WORK_DIR}/junit.xml
    ${runs}/pass/pass.out ${runs}/fail/fail.out ${runs}/hang/hang.out ${runs}/crash/crash.out
  RESULT_VARIABLE report_result OUTPUT_VARIABLE report_out ERROR_VARIABLE report_err)
file(WRITE ${WORK_DIR}/zkreport.txt "${report_out}${report_err}")
if(NOT report_result EQUAL 1 OR NOT report_out MATCHES "4 runs, 3 failed\n$")
  message(FATAL_ERROR "zkreport ended with ${report_result}:\n${report_out}${report_err}")
endif()
message(STATUS "zkreport over the consumer's reports: ok")

# ---- pkg-config ----------------------------------------------------------------
if(NOT PKG_CONFIG)
  message(STATUS "pkg-config: not found, skipped")
  return()
endif()
set(ENV{PKG_CONFIG_PATH} ${stage}/${LIBDIR}/pkgconfig)
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

run_checked("pkg-config --modversion" ${PKG_CONFIG} --modversion zktest)
string(STRIP "${last_output}" pc_version)
if(NOT pc_version STREQUAL VERSION)
  message(FATAL_ERROR "pkg-config reports version '${pc_version}', expected ${VERSION}")
endif()
run_checked("pkg-config --variable=libdir" ${PKG_CONFIG} --variable=libdir zktest)
string(STRIP "${last_output}" pc_libdir)
run_checked("pkg-config --cflags --libs" ${PKG_CONFIG} --cflags --libs zktest)
string(STRIP "${last_output}" pc_flags)
message(STATUS "pkg-config --cflags --libs zktest: ${pc_flags}")
if(NOT pc_flags MATCHES "-lzktest")
  message(FATAL_ERROR "pkg-config flags lack -lzktest: ${pc_flags}")
endif()

separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS} ${EXE_LINKER_FLAGS}")
set(pc_program ${WORK_DIR}/t-pkg-config)
run_checked("building the consumer with pkg-config's flags"
  ${CXX_COMPILER} ${cxx_flags} ${CONSUMER_DIR}/main.cpp ${pc_flags} -Wl,-rpath,${pc_libdir}
  -o ${pc_program})
run_consumer("consumer built with pkg-config" ${pc_program})
