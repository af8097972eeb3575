// The oct-file back end's image results (host/octave_host.h, image_array):
// memory taken unfilled from the array's own allocator, given back when the
// array's bookkeeping cannot be had, freed by the array; and the allocator
// found for Octave's own array classes is the one their Array uses.
#include <cstdlib>
#include <new>
#include <type_traits>

#include <gtest/gtest.h>

#define HOST_OCTAVE
#include "host/host.h"

#if OCTAVE_MAJOR_VERSION >= 7

namespace {

// When above 0, the global operator new refuses its refuse_countdown-th call
// from now.
int refuse_countdown = 0;

}  // namespace

void* operator new(size_t size)
{
    if (refuse_countdown > 0 && --refuse_countdown == 0) throw std::bad_alloc();
    if (void* memory = std::malloc(size > 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept
{
    std::free(memory);
}

namespace {

// Counts the elements it has handed out and not got back. It takes memory
// from malloc, not operator new, so that a refusal hits only the array's
// bookkeeping, and marks it, so that a fill would show.
long elements_out = 0;
constexpr double fresh_mark = 7.0;

template <class T>
struct CountingAllocator {
    using value_type = T;
    CountingAllocator() = default;
    template <class U>
    CountingAllocator(const CountingAllocator<U>&)
    {
    }
    T* allocate(size_t count)
    {
        T* memory = static_cast<T*>(std::malloc(count * sizeof(T) + 1));
        for (size_t k = 0; k < count; ++k) memory[k] = T(fresh_mark);
        elements_out += static_cast<long>(count);
        return memory;
    }
    void deallocate(T* memory, size_t count)
    {
        elements_out -= static_cast<long>(count);
        std::free(memory);
    }
    bool operator==(const CountingAllocator&) const { return true; }
    bool operator!=(const CountingAllocator&) const { return false; }
};

using CountingBase = Array<double, CountingAllocator<double>>;

// An array class made as Octave's are (NDArray derives from Array<double>).
struct CountedArray : CountingBase {
    explicit CountedArray(const CountingBase& array) : CountingBase(array) {}
};

}  // namespace

// Defined in liboctave for the element types it instantiates only.
template <>
double CountingBase::resize_fill_value() const
{
    return 0.0;
}

namespace {

using host::octave_detail::ArrayAllocator;
using host::octave_detail::image_array;

TEST(OctaveResultMemory, AllocatorOfOctavesOwnArraysIsFound)
{
    EXPECT_TRUE((std::is_base_of_v<Array<double, ArrayAllocator<NDArray>::type>, NDArray>));
    EXPECT_TRUE((std::is_base_of_v<Array<float, ArrayAllocator<FloatNDArray>::type>, FloatNDArray>));
    EXPECT_TRUE((std::is_base_of_v<Array<octave_uint8, ArrayAllocator<uint8NDArray>::type>, uint8NDArray>));
    EXPECT_TRUE((std::is_base_of_v<Array<octave_int16, ArrayAllocator<int16NDArray>::type>, int16NDArray>));
    EXPECT_TRUE((std::is_same_v<ArrayAllocator<CountedArray>::type, CountingAllocator<double>>));
}

TEST(OctaveResultMemory, TakenUnfilledAndFreedByTheArray)
{
    {
        CountedArray result = image_array<CountedArray>(dim_vector(3, 4));
        ASSERT_EQ(result.numel(), 12);
        EXPECT_EQ(elements_out, 12);
        for (octave_idx_type k = 0; k < 12; ++k) EXPECT_EQ(result.xelem(k), fresh_mark);
    }
    EXPECT_EQ(elements_out, 0);
}

// Each allocation of the array's bookkeeping refused in turn, until none is
// left to refuse: the data go back every time.
TEST(OctaveResultMemory, GivenBackWhenTheArrayCannotBeMade)
{
    const dim_vector dims(5, 6, 2);
    int refused = 0;
    for (int countdown = 1; countdown < 20; ++countdown) {
        bool thrown = false;
        refuse_countdown = countdown;
        try {
            CountedArray result = image_array<CountedArray>(dims);
            refuse_countdown = 0;
            EXPECT_EQ(elements_out, 60);
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        refuse_countdown = 0;
        EXPECT_EQ(elements_out, 0) << "bookkeeping allocation " << countdown << " refused";
        if (!thrown) break;
        ++refused;
    }
    EXPECT_GE(refused, 1);
}

}  // namespace

#endif
