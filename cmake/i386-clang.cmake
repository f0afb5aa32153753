# The fuzz trees' cross build for 32-bit x86 Linux with clang, whose runtime
# carries libFuzzer and the sanitizers for i386. Programs run under qemu-i386.
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
include(${CMAKE_CURRENT_LIST_DIR}/i386.cmake)
