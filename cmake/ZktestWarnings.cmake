# SPDX-License-Identifier: MIT
# Warnings are errors on the project's own code; third-party code (GoogleTest)
# keeps its own flags.
function(zktest_enable_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()
