# SPDX-License-Identifier: MIT
# linux-i386: the 32-bit data model (32-bit long and pointers), built with
# -m32 and run under qemu-i386, since the host kernel cannot run 32-bit code.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i386)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-i386)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
