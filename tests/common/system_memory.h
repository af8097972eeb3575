// The system's memory-mapping interface for the tests that place arrays
// beside inaccessible pages or reserve more than they touch: the Windows API
// on Windows, mmap elsewhere.
#pragma once

#if defined(_WIN32)
// Without min and max macros, and without the RPC headers' global `byte`.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif
