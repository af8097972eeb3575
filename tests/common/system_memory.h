// The system's memory-mapping interface for the tests that place arrays
// beside inaccessible pages or reserve more than they touch: the Windows API
// on Windows, mmap elsewhere.
#pragma once

#include "common/windows_headers.h"

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif
