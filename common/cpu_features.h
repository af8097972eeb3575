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

// The x86-64 features the variants need.
struct X86Features {
    bool avx2 = false;
    bool avx512f = false;
    bool avx512bw = false;
};

#if defined(KERNELS_HAVE_X86_64)
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#include <immintrin.h>
#else
#include <cpuid.h>
#endif

inline void x86_cpuid(unsigned leaf, unsigned subleaf, unsigned registers[4])
{
#if defined(_MSC_VER) && !defined(__clang__)
    int values[4];
    __cpuidex(values, static_cast<int>(leaf), static_cast<int>(subleaf));
    for (int k = 0; k < 4; ++k) registers[k] = static_cast<unsigned>(values[k]);
#else
    __cpuid_count(leaf, subleaf, registers[0], registers[1], registers[2], registers[3]);
#endif
}

inline unsigned long long x86_saved_state()
{
#if defined(_MSC_VER) && !defined(__clang__)
    return _xgetbv(0);
#else
    unsigned low = 0, high = 0;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));  // xgetbv
    return (static_cast<unsigned long long>(high) << 32) | low;
#endif
}

// Visual C++ before Visual Studio 2022 (17.0) fuses a * b + c under
// /fp:precise where /arch:AVX2 allows it (fp_contract was on by default): its
// vector variants would not round as written, so such builds keep to the
// baseline.
#if defined(_MSC_VER) && !defined(__clang__) && _MSC_VER < 1930
constexpr bool vector_variants_round_as_written = false;
#else
constexpr bool vector_variants_round_as_written = true;
#endif

// The features from the processor (CPUID) and the operating system (XGETBV:
// which vector registers it saves across threads), with either family's
// intrinsics. GCC and Clang answer the same from __builtin_cpu_supports;
// Visual C++ has no such test, and uses this.
inline X86Features x86_features()
{
    X86Features features;
    if (!vector_variants_round_as_written) return features;
    unsigned registers[4];
    x86_cpuid(0, 0, registers);
    if (registers[0] < 7) return features;
    x86_cpuid(1, 0, registers);
    const bool os_saves_state = (registers[2] & (1u << 27)) != 0;  // OSXSAVE
    const bool avx = (registers[2] & (1u << 28)) != 0;
    if (!os_saves_state || !avx) return features;
    const unsigned long long saved = x86_saved_state();
    const bool ymm_saved = (saved & 0x6) == 0x6;     // SSE and AVX state
    const bool zmm_saved = (saved & 0xe6) == 0xe6;   // and the AVX-512 opmask and upper registers
    x86_cpuid(7, 0, registers);
    features.avx2 = ymm_saved && (registers[1] & (1u << 5)) != 0;
    features.avx512f = features.avx2 && zmm_saved && (registers[1] & (1u << 16)) != 0;
    features.avx512bw = features.avx512f && (registers[1] & (1u << 30)) != 0;
    return features;
}
#endif

// What this processor runs, as the kernels may use it: nothing when the
// baseline is forced or the target is not x86-64.
inline X86Features usable_x86_features()
{
    X86Features usable;
#if defined(KERNELS_HAVE_X86_64)
    if (baseline_forced()) return usable;
#if defined(__GNUC__)
    __builtin_cpu_init();
    usable.avx2 = __builtin_cpu_supports("avx2") != 0;
    usable.avx512f = usable.avx2 && __builtin_cpu_supports("avx512f") != 0;
    usable.avx512bw = usable.avx512f && __builtin_cpu_supports("avx512bw") != 0;
#else
    usable = x86_features();
#endif
#endif
    return usable;
}

// True when the processor runs AVX2 and the baseline is not forced.
inline bool cpu_has_avx2()
{
    return usable_x86_features().avx2;
}

// True when the processor and the operating system run AVX-512 Foundation
// (what every *_avx512.cpp file is built for and uses, besides the AVX2 it
// implies) and the baseline is not forced: every AVX-512 processor. The
// processor test also checks that the operating system saves the AVX-512
// registers.
inline bool cpu_has_avx512f()
{
    return usable_x86_features().avx512f;
}

// True when cpu_has_avx512f() is and the processor also runs AVX-512 BW (what
// every *_avx512bw.cpp file is built for): Skylake-SP, Cascade Lake and every
// later AVX-512 processor.
inline bool cpu_has_avx512bw()
{
    return usable_x86_features().avx512bw;
}
