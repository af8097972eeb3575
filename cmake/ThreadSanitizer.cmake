# Initial cache for a build whose C++ kernel tests run under ThreadSanitizer,
# any report ending the test (`make sanitize`, after the AddressSanitizer run):
#   cmake -C cmake/ThreadSanitizer.cmake -S . -B build-tsan
# The image kernels start threads inside a call; the split tests run them on
# several threads even for small images. Exact arithmetic as in every build:
# the build rules' flags, which CMakeLists.txt adds.
# The modules are not built: Octave cannot load them with the sanitizer runtime.
set(CMAKE_CXX_COMPILER g++ CACHE STRING "")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(CMAKE_CXX_FLAGS "-fsanitize=thread -fno-omit-frame-pointer" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "-fsanitize=thread" CACHE STRING "")
