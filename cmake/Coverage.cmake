# Initial cache for a build that records line and branch coverage (gcov) of
# the kernels, the host layer and the entries (`make coverage`):
#   cmake -C cmake/Coverage.cmake -S . -B build-coverage
# Unoptimised, so that every line and branch of the source keeps its own count.
set(CMAKE_BUILD_TYPE Debug CACHE STRING "")
set(CMAKE_CXX_FLAGS "--coverage -O0" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS "--coverage" CACHE STRING "")
set(CMAKE_MODULE_LINKER_FLAGS "--coverage" CACHE STRING "")
