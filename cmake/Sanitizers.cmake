# Initial cache for a build whose C++ unit tests run under AddressSanitizer and
# UndefinedBehaviorSanitizer, any report ending the test (`make sanitize`):
#   cmake -C cmake/Sanitizers.cmake -S . -B build-asan
# Built with the compiler of the shipped modules (g++); GCC leaves
# float-cast-overflow out of "undefined", so it is named. Exact arithmetic as
# in every build: the build rules' flags, which CMakeLists.txt adds. The modules are built
# too: the tests labelled octave are skipped (octave-cli has no sanitizer
# runtime of its own), and tests/host/hostile_sanitized.sh runs the
# hostile-input suite on these modules with the runtimes preloaded.
set(CMAKE_CXX_COMPILER g++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(CMAKE_CXX_FLAGS
    "-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer"
    CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=address,undefined,float-cast-overflow" CACHE STRING "")
# The modules link with --no-undefined: they need the sanitizer runtimes named.
set(CMAKE_MODULE_LINKER_FLAGS "-fsanitize=address,undefined,float-cast-overflow -lasan -lubsan" CACHE STRING "")
