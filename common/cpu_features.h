// Which instruction-set variants a build holds, and which of them this
// processor runs. Every build route compiles the x86 variants (*_sse2.cpp,
// *_avx2.cpp, *_avx512.cpp) only for x86-64 targets and the Advanced SIMD ones
// (*_neon.cpp) only for arm64 targets; these macros tell the dispatching code
// the same thing, from the compiler's target. Any other target has the plain
// loops alone.
//
// Deliberately not cached in a function-local static: GCC gives such statics
// of inline functions unique binding, and a module holding one can no longer
// be unloaded by the host (so "clear linsvm_fit" would keep the sampler state).
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

// True when the processor and the operating system run AVX-512 F, BW, VL and
// VBMI (the set every *_avx512.cpp file is built for) and the baseline is not
// forced. The processor tests also check that the operating system saves the
// AVX-512 registers.
inline bool cpu_has_avx512()
{
#if defined(KERNELS_HAVE_X86_64) && defined(__GNUC__)
    if (!cpu_has_avx2()) return false;
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
           __builtin_cpu_supports("avx512vl") != 0 && __builtin_cpu_supports("avx512vbmi") != 0;
#else
    return false;
#endif
}
