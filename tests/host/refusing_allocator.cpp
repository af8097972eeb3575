// Preloaded into Octave to refuse memory to the modules, as a system under
// memory pressure, a container's limit or a per-thread allocator would, while
// Octave itself goes on normally. Every operator new called from a module's
// own code (a .mex or .oct file) throws std::bad_alloc when REFUSE_MODULE_MEMORY is
// "all", or "workers" and the calling thread is not the process's main
// thread. The variable is read at every allocation, so a test turns the
// refusal on and off with setenv.
#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Whether code at this address belongs to a module. dladdr walks every
// loaded library, and Octave allocates often: the answers are kept per call
// site (modules are not unloaded while a test refuses memory).
bool in_module(const void* caller)
{
    struct Entry {
        const void* caller;
        bool in_module;
    };
    thread_local Entry cache[1024] = {};
    Entry& entry = cache[(reinterpret_cast<uintptr_t>(caller) >> 2) % 1024];
    if (entry.caller == caller) return entry.in_module;
    Dl_info info;
    bool found = false;
    if (dladdr(caller, &info) != 0 && info.dli_fname != nullptr) {
        const size_t length = std::strlen(info.dli_fname);
        found = length >= 4 && (std::strcmp(info.dli_fname + length - 4, ".mex") == 0 ||
                                std::strcmp(info.dli_fname + length - 4, ".oct") == 0);
    }
    entry = Entry{caller, found};
    return found;
}

bool refused(const void* caller)
{
    const char* mode = std::getenv("REFUSE_MODULE_MEMORY");
    if (mode == nullptr) return false;
    const bool all = std::strcmp(mode, "all") == 0;
    const bool workers = std::strcmp(mode, "workers") == 0 && syscall(SYS_gettid) != getpid();
    return (all || workers) && in_module(caller);
}

void* allocate(size_t size, size_t alignment, const void* caller)
{
    if (refused(caller)) throw std::bad_alloc();
    void* memory = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        memory = std::malloc(size > 0 ? size : 1);
    } else if (posix_memalign(&memory, alignment, size > 0 ? size : 1) != 0) {
        memory = nullptr;
    }
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void* allocate_or_null(size_t size, size_t alignment, const void* caller) noexcept
{
    try {
        return allocate(size, alignment, caller);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void* operator new(size_t size)
{
    return allocate(size, 0, __builtin_return_address(0));
}
void* operator new[](size_t size)
{
    return allocate(size, 0, __builtin_return_address(0));
}
void* operator new(size_t size, std::align_val_t alignment)
{
    return allocate(size, static_cast<size_t>(alignment), __builtin_return_address(0));
}
void* operator new[](size_t size, std::align_val_t alignment)
{
    return allocate(size, static_cast<size_t>(alignment), __builtin_return_address(0));
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size, 0, __builtin_return_address(0));
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size, 0, __builtin_return_address(0));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size, static_cast<size_t>(alignment), __builtin_return_address(0));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return allocate_or_null(size, static_cast<size_t>(alignment), __builtin_return_address(0));
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, size_t, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
