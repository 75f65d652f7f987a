// SPDX-License-Identifier: MIT
// Export macro for everything the zktest shared library offers to test
// programs. Symbols without ZKQE_API stay inside the library: on ELF the
// library is built with hidden default visibility, on Windows only
// dllexport'ed names reach the import library.
#ifndef ZKQE_EXPORT_H
#define ZKQE_EXPORT_H

#if defined(_WIN32)
#if defined(ZKQE_BUILDING_LIBRARY)
#define ZKQE_API __declspec(dllexport)
#else
#define ZKQE_API __declspec(dllimport)
#endif
#else
#define ZKQE_API __attribute__((visibility("default")))
#endif

// printf-style checking of the library's formatted-output functions. MinGW
// builds use the ISO stdio, whose conversions are those of gnu_printf.
#if defined(__MINGW32__)
#define ZKQE_PRINTF_FORMAT(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#elif defined(__GNUC__)
#define ZKQE_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define ZKQE_PRINTF_FORMAT(fmt, first)
#endif

#endif
