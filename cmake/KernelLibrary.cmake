# add_kernel_library(name SOURCES ...): a static library of host-free kernels.
#
# Instruction-set variants are named by suffix and built only for the target
# they run on, chosen by the target processor (never by the build machine):
#   *_sse2.cpp, *_avx2.cpp, *_avx512.cpp,  x86-64 only; AVX2 and AVX-512 files
#   *_avx512bw.cpp                          get their instruction-set flags and
#                                           run only after a run-time check
#   *_neon.cpp                              arm64 only (Advanced SIMD is always
#                                           there)
# Every other target builds the plain loops alone.

string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" kernel_processor)
list(LENGTH CMAKE_OSX_ARCHITECTURES osx_architecture_count)
if(osx_architecture_count EQUAL 1)
  string(TOLOWER "${CMAKE_OSX_ARCHITECTURES}" kernel_processor)
endif()
if(kernel_processor MATCHES "^(x86_64|amd64|x64)$")
  set(KERNEL_ARCHITECTURE x86_64)
elseif(kernel_processor MATCHES "^(aarch64|arm64)$")
  set(KERNEL_ARCHITECTURE arm64)
else()
  set(KERNEL_ARCHITECTURE plain)
endif()
message(STATUS "Kernel variants for ${CMAKE_SYSTEM_PROCESSOR}: ${KERNEL_ARCHITECTURE}")

# Never FMA: -mno-fma keeps AVX2 from bringing it in. The AVX-512 files go
# without it, because in Clang it would switch AVX-512F off again;
# -ffp-contract=off keeps the compiler from fusing there, as on arm64.
# Kernels split large jobs across threads (std::thread).
find_package(Threads REQUIRED)

set(KERNEL_AVX2_OPTIONS -mavx2 -mno-fma)
set(KERNEL_AVX512_OPTIONS -mavx512f)
set(KERNEL_AVX512BW_OPTIONS -mavx512f -mavx512bw)

function(add_kernel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  set(sources)
  foreach(source IN LISTS ARG_SOURCES)
    if(source MATCHES "_(sse2|avx2|avx512|avx512bw)\\.cpp$")
      if(NOT KERNEL_ARCHITECTURE STREQUAL "x86_64")
        continue()
      endif()
      if(source MATCHES "_avx2\\.cpp$")
        set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${KERNEL_AVX2_OPTIONS}")
      elseif(source MATCHES "_avx512\\.cpp$")
        set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${KERNEL_AVX512_OPTIONS}")
      elseif(source MATCHES "_avx512bw\\.cpp$")
        set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${KERNEL_AVX512BW_OPTIONS}")
      endif()
    elseif(source MATCHES "_neon\\.cpp$" AND NOT KERNEL_ARCHITECTURE STREQUAL "arm64")
      continue()
    endif()
    list(APPEND sources ${source})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC Threads::Threads)
endfunction()
