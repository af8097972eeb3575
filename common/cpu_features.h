// Run-time choice of instruction set. The default build targets plain x86-64;
// kernels with a faster variant pick it here, once per call.
//
// Deliberately not cached in a function-local static: GCC gives such statics
// of inline functions unique binding, and a module holding one can no longer
// be unloaded by the host (so "clear linsvm_fit" would keep the sampler state).
#pragma once

#include <cstdlib>

// True when the processor runs AVX2 and MEX_KERNELS_BASELINE is not set to a
// non-empty value other than "0" (which forces the x86-64 baseline paths, so
// the two can be compared on one machine).
inline bool cpu_has_avx2()
{
    const char* force = std::getenv("MEX_KERNELS_BASELINE");
    if (force != nullptr && force[0] != '\0' && !(force[0] == '0' && force[1] == '\0')) return false;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
}
