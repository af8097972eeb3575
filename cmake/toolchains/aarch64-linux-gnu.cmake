# Cross build for arm64 Linux with Debian's g++-aarch64-linux-gnu; test
# programs run under qemu-aarch64 (Debian's qemu-user) with the cross
# compiler's own arm64 libraries (make test-arm64):
#   cmake -S . -B build-arm64 --toolchain cmake/toolchains/aarch64-linux-gnu.cmake -DBUILD_MODULES=OFF
# The modules need an arm64 liboctave, which the build machine does not have:
# they are built and tested inside an arm64 Debian root instead.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
# Google Test is built from source by this compiler (no arm64 libgtest here).
set(GTEST_FROM_SOURCE ON CACHE BOOL "")
