// Byte buffers fenced by inaccessible pages, so that a kernel that reads or
// writes even one byte outside its array crashes the test. The pages are
// mapped lazily: untouched bytes read as 0 and take no memory, which lets a
// test pass arrays of several GiB of which it only sets a few bytes.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

class GuardedBytes {
public:
    // Which end of the array touches its guard page. The other end is
    // fenced too, but only up to the rest of its page.
    enum class Tight { end, start };

    explicit GuardedBytes(size_t size, Tight tight = Tight::end) : size_(size)
    {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t data_bytes = (size + page - 1) / page * page;
        mapped_bytes_ = data_bytes + 2 * page;
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
        data_ = tight == Tight::end ? base_ + page + (data_bytes - size) : base_ + page;
    }

    ~GuardedBytes() { munmap(base_, mapped_bytes_); }

    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    uint8_t* data() { return data_; }
    size_t size() const { return size_; }
    uint8_t& operator[](size_t k) { return data_[k]; }

private:
    size_t size_;
    size_t mapped_bytes_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};
