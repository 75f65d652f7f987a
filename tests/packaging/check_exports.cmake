# Checks the shared library's export table: every public name listed in
# NAMES_FILE is exported, and nothing internal is.
#
# Run by ctest as `cmake -D...=... -P check_exports.cmake` with:
#   LIBRARY     the built library (libzktest.so or libzktest.dll)
#   FORMAT      ELF (read with `nm -D --defined-only`) or PE (read with
#               `objdump -p`, the DLL's export name table)
#   TOOL        nm for ELF, the target's objdump for PE
#   CXXFILT     c++filt, to demangle the names
#   NAMES_FILE  one expected name a line, matched as a substring of the
#               demangled exported names; '#' starts a comment
cmake_minimum_required(VERSION 3.20)

foreach(var LIBRARY FORMAT TOOL CXXFILT NAMES_FILE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "check_exports.cmake: ${var} is not set")
  endif()
endforeach()

# Exported names that would reveal internals: the library's own namespace
# (the platform layer lives inside it), anything file-local, the test
# framework, the test support code.
set(forbidden_patterns
  "zkqe::"
  "platform::"
  "(anonymous namespace)"
  "testing::"
  "gtest"
  "zktest_support")

# Runs a command and sets <var> to the non-empty lines of its output.
function(output_lines var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    list(GET ARGN 0 program)
    message(FATAL_ERROR "${program} failed (${result}): ${err}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${out}")
  set(${var} "${lines}" PARENT_SCOPE)
endfunction()

# ---- the exported names, mangled ------------------------------------------------
set(mangled "")
if(FORMAT STREQUAL "ELF")
  # "<address> <type> <name>"; nm leaves out undefined names itself.
  output_lines(lines ${TOOL} -D --defined-only ${LIBRARY})
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] (.+)$")
      list(APPEND mangled "${CMAKE_MATCH_1}")
    endif()
  endforeach()
elseif(FORMAT STREQUAL "PE")
  # Only the name pointer table lists exported names:
  #   [Ordinal/Name Pointer] Table
  #   	[   0] _ZN9ZKQEMutex4initEv
  # and ends at the first (non-empty) line of another shape.
  output_lines(lines ${TOOL} -p ${LIBRARY})
  set(in_table FALSE)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_table TRUE)
    elseif(in_table AND line MATCHES "^\\[ *[0-9]+\\] (.+)$")
      list(APPEND mangled "${CMAKE_MATCH_1}")
    elseif(in_table)
      set(in_table FALSE)
    endif()
  endforeach()
else()
  message(FATAL_ERROR "check_exports.cmake: unknown FORMAT '${FORMAT}'")
endif()

get_filename_component(library_name ${LIBRARY} NAME)
list(LENGTH mangled count)
if(count EQUAL 0)
  message(FATAL_ERROR "no exported name found in ${library_name}")
endif()

# c++filt prints one line for each name it is given, in order.
output_lines(demangled ${CXXFILT} ${mangled})

# ---- checks -------------------------------------------------------------------
set(problems "")

file(STRINGS ${NAMES_FILE} expected_lines)
set(expected_count 0)
foreach(line IN LISTS expected_lines)
  string(REGEX REPLACE "#.*" "" name "${line}")
  string(STRIP "${name}" name)
  if(name STREQUAL "")
    continue()
  endif()
  math(EXPR expected_count "${expected_count} + 1")
  set(found FALSE)
  foreach(symbol IN LISTS demangled)
    string(FIND "${symbol}" "${name}" at)
    if(at GREATER -1)
      set(found TRUE)
      break()
    endif()
  endforeach()
  if(NOT found)
    string(APPEND problems "  not exported: ${name}\n")
  endif()
endforeach()
if(expected_count EQUAL 0)
  message(FATAL_ERROR "${NAMES_FILE} names no public name")
endif()

foreach(symbol IN LISTS demangled)
  foreach(pattern IN LISTS forbidden_patterns)
    string(FIND "${symbol}" "${pattern}" at)
    if(at GREATER -1)
      string(APPEND problems "  internal name exported: ${symbol}\n")
      break()
    endif()
  endforeach()
endforeach()

if(problems)
  list(JOIN demangled "\n  " all)
  message(FATAL_ERROR "export table of ${library_name}:\n${problems}"
                      "exported names (${count}):\n  ${all}")
endif()
message(STATUS "${library_name}: ${count} exported names, all ${expected_count} listed public names "
               "among them, no internal one")
