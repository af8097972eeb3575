// Byte buffers fenced by inaccessible pages, so that a kernel that reads or
// writes even one byte outside its array crashes the test. The pages are
// mapped lazily: untouched bytes read as 0 and take no memory, which lets a
// test pass arrays of several GiB of which it only sets a few bytes.
//
// On Windows the whole range is committed (pages still cost nothing until
// touched) and the guards are PAGE_NOACCESS pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "tests/common/system_memory.h"

class GuardedBytes {
public:
    // Which end of the array touches its guard page. The other end is
    // fenced too, but only up to the rest of its page.
    enum class Tight { end, start };

    explicit GuardedBytes(size_t size, Tight tight = Tight::end) : size_(size)
    {
        const size_t page = page_size();
        const size_t data_bytes = (size + page - 1) / page * page;
        mapped_bytes_ = data_bytes + 2 * page;
#if defined(_WIN32)
        void* base = VirtualAlloc(nullptr, mapped_bytes_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (base == nullptr) throw std::runtime_error("VirtualAlloc failed");
        base_ = static_cast<uint8_t*>(base);
        DWORD old_protection = 0;
        if (!VirtualProtect(base_, page, PAGE_NOACCESS, &old_protection) ||
            !VirtualProtect(base_ + page + data_bytes, page, PAGE_NOACCESS, &old_protection)) {
            VirtualFree(base_, 0, MEM_RELEASE);
            throw std::runtime_error("VirtualProtect failed");
        }
#else
        void* base = mmap(nullptr, mapped_bytes_, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base == MAP_FAILED) throw std::runtime_error("mmap failed");
        base_ = static_cast<uint8_t*>(base);
        // Huge pages, where the system offers them, make touching GiB-sized
        // arrays take a thousand page faults instead of a million.
        madvise(base_, mapped_bytes_, MADV_HUGEPAGE);
        if (mprotect(base_, page, PROT_NONE) != 0 || mprotect(base_ + page + data_bytes, page, PROT_NONE) != 0) {
            munmap(base_, mapped_bytes_);
            throw std::runtime_error("mprotect failed");
        }
#endif
        data_ = tight == Tight::end ? base_ + page + (data_bytes - size) : base_ + page;
    }

    ~GuardedBytes()
    {
#if defined(_WIN32)
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, mapped_bytes_);
#endif
    }

    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    uint8_t* data() { return data_; }
    size_t size() const { return size_; }
    uint8_t& operator[](size_t k) { return data_[k]; }

private:
    static size_t page_size()
    {
#if defined(_WIN32)
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwPageSize;
#else
        return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
    }

    size_t size_;
    size_t mapped_bytes_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};
