# Cross build for the camera: 32-bit ARM Linux without floating-point
# hardware (Debian's armel port, compilers from crossbuild-essential-armel).
#
#   cmake --preset arm          # or: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armel.cmake ...
#
# Programs are linked statically so they do not depend on the C library
# version installed on the camera. qemu-arm runs them on a PC.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(TARVEX_CROSS_PREFIX arm-linux-gnueabi- CACHE STRING "Prefix of the ARM cross tools")
set(CMAKE_C_COMPILER ${TARVEX_CROSS_PREFIX}gcc)
set(CMAKE_CXX_COMPILER ${TARVEX_CROSS_PREFIX}g++)

# armel's compilers default to soft-float already; say so, so a differently
# configured compiler cannot silently emit VFP instructions the camera lacks.
# The physical addresses the recorder maps lie above 2 GiB: file offsets
# (off_t, the offset argument of mmap) must be 64-bit on this 32-bit target.
# The programs are linked statically, at a fixed address: code compiled
# position-independent (the compiler's default) would still reach every
# global and table through the GOT, an extra load per access.
# -fno-if-conversion2: the late pass turns short branches into conditional
# instructions, which this processor spends a cycle on even when their
# condition fails; without it the converter takes some 25 fewer instructions
# per sample (bench/arm_instructions.sh).
set(CMAKE_C_FLAGS_INIT "-mfloat-abi=soft -D_FILE_OFFSET_BITS=64 -fno-pie -fno-if-conversion2")
set(CMAKE_CXX_FLAGS_INIT "-mfloat-abi=soft -D_FILE_OFFSET_BITS=64 -fno-pie -fno-if-conversion2")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -no-pie")
# -Wno-psabi: silences notes about an argument-passing change in GCC 7.1;
# everything here is built by one compiler.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wno-psabi")
# The optimisation level is the top-level CMakeLists.txt's, as on the PC.

# Programs that run the ARM binaries on the build machine (try_run, tests).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm CACHE STRING "Runs ARM programs on the build machine")

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
