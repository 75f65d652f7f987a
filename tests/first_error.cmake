# SPDX-License-Identifier: MIT
# Compiles SOURCE and requires its first error or warning to name SOURCE at
# the line marked "the line the error names".
execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only -Wformat -I${INCLUDE} ${SOURCE}
  RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_VARIABLE errors)
file(STRINGS ${SOURCE} lines)
set(number 0)
foreach(line IN LISTS lines)
  math(EXPR number "${number} + 1")
  if(line MATCHES "the line the error names")
    set(marked ${number})
  endif()
endforeach()
string(REGEX MATCH "[^\n]*(error|warning):[^\n]*" first "${errors}")
get_filename_component(name ${SOURCE} NAME)
if(NOT first MATCHES "${name}:${marked}:")
  message(FATAL_ERROR "expected the first error at ${name}:${marked}, got:\n${first}")
endif()
