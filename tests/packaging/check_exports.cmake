# SPDX-License-Identifier: MIT
# The shared library's export table holds every public name below and no
# internal one (the library's namespace, file-local names, test code).
# -D: LIBRARY FORMAT (ELF: read with nm, PE: with objdump -p) TOOL CXXFILT
set(public_names qe_fopen qe_fprintf qe_vfprintf pathSeparator tooManyFailures
  ZKQEMutex:: ZKQEMutexGuard:: ZKQESingletonAssertionCounter:: ZKQESingletonAssertionFailedCounter::
  ZKQESingletonFileObject:: ZKQECommandLineOptions:: ZKQETest:: ZKTestVector:: qe_filebuf::
  "qe_refcount<qe_filebuf>::" qe_ostream:: qe_ofstream:: "endl(qe_ostream&)" "flush(qe_ostream&)"
  "oct(qe_ostream&)" "dec(qe_ostream&)" "hex(qe_ostream&)" ZKMemStats:: ZKMemStatsImp::
  ZKStatsLoggerInterface:: ZKDisabledLogger:: ZKEnabledLogger:: options_handler::
  zktest::registerCase zktest::runCases zktest::Section:: zktest::ValueText:: zktest::InfoScope::
  zktest::appendValue zktest::appendCurrentException)
set(internal_names "zkqe::" "platform::" "(anonymous namespace)" "testing::" "scenario::")

if(FORMAT STREQUAL "ELF")
  execute_process(COMMAND ${TOOL} -D --defined-only --format=just-symbols ${LIBRARY}
    OUTPUT_VARIABLE table COMMAND_ERROR_IS_FATAL ANY)
else()
  # Only the name pointer table of `objdump -p` lists exported names.
  execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE table COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" table "${table}")
  string(REGEX REPLACE "\n\n.*" "" table "${table}")
  string(REGEX REPLACE "[ \t]*\\[ *[0-9]+\\] " "" table "${table}")
endif()
string(REGEX MATCHALL "[^\n]+" mangled "${table}")
execute_process(COMMAND ${CXXFILT} ${mangled} OUTPUT_VARIABLE exported COMMAND_ERROR_IS_FATAL ANY)

set(problems "")
foreach(name IN LISTS public_names)
  string(FIND "${exported}" "${name}" at)
  if(at EQUAL -1)
    string(APPEND problems "  not exported: ${name}\n")
  endif()
endforeach()
foreach(name IN LISTS internal_names)
  string(FIND "${exported}" "${name}" at)
  if(at GREATER -1)
    string(APPEND problems "  internal name exported: ${name}\n")
  endif()
endforeach()
if(problems OR NOT mangled)
  message(FATAL_ERROR "export table of ${LIBRARY}:\n${problems}exported:\n${exported}")
endif()
