// Which instruction-set variants a build holds, and which of them this
// processor runs. Each kernel makes its choice once, when its module is loaded
// (at the first call), from these tests. Every build route compiles the x86 variants (*_sse2.cpp,
// *_avx2.cpp, *_avx512.cpp) only for x86-64 targets and the Advanced SIMD ones
// (*_neon.cpp) only for arm64 targets; these macros tell the dispatching code
// the same thing, from the compiler's target. Any other target has the plain
// loops alone.
#pragma once

#include <cstdlib>

#if defined(__x86_64__) || defined(_M_X64)
#define KERNELS_HAVE_X86_64 1
#elif defined(__aarch64__)
// Advanced SIMD is part of every AArch64 processor: no run-time check.
#define KERNELS_HAVE_NEON 1
#endif

// True when MEX_KERNELS_BASELINE is set to a non-empty value other than "0":
// the kernels then run what every processor of the architecture has (on
// x86-64 the plain image loops and the SSE2 trainer; arm64's baseline already
// includes Advanced SIMD), so fast and baseline paths can be compared on one
// machine.
inline bool baseline_forced()
{
    const char* force = std::getenv("MEX_KERNELS_BASELINE");
    return force != nullptr && force[0] != '\0' && !(force[0] == '0' && force[1] == '\0');
}

// True when the processor runs AVX2 and the baseline is not forced. Builds by
// compilers without GCC's processor tests (MSVC) keep to the baseline.
inline bool cpu_has_avx2()
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    if (baseline_forced()) return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}

// True when the processor and the operating system run AVX-512 Foundation
// (what every *_avx512.cpp file is built for and uses, besides the AVX2 it
// implies) and the baseline is not forced: every AVX-512 processor. The
// processor test also checks that the operating system saves the AVX-512
// registers.
inline bool cpu_has_avx512f()
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    if (!cpu_has_avx2()) return false;
    return __builtin_cpu_supports("avx512f") != 0;
#else
    return false;
#endif
}

// True when cpu_has_avx512f() is and the processor also runs AVX-512 BW (what
// every *_avx512bw.cpp file is built for): Skylake-SP, Cascade Lake and every
// later AVX-512 processor.
inline bool cpu_has_avx512bw()
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    return cpu_has_avx512f() && __builtin_cpu_supports("avx512bw") != 0;
#else
    return false;
#endif
}
