// A hint to bring the cache line at an address close to the processor for a
// read; no effect on results, and none at all where the compiler has no hint.
// Static: files built for different instruction sets each keep their own
// copy, so that none can stand in for another's at link time.
#pragma once

#if defined(_MSC_VER) && !defined(__clang__) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

static inline void prefetch(const void* address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 0, 3);
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
    (void)address;
#endif
}
