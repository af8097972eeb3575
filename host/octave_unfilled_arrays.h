// Image results of the oct-file back end taken unfilled from the allocator
// of Octave's own arrays (host/octave_host.h includes it).
#pragma once

#include <memory>
#include <tuple>
#include <type_traits>

#include "oct.h"
#include "version.h"

namespace host {

namespace octave_detail {

#if OCTAVE_MAJOR_VERSION >= 7
// The allocator of Octave's Array<T, Alloc>, deduced from an array class A
// (NDArray, uint8NDArray... derive from it): the one the array frees its data
// with, whether Octave was built with std::allocator or a polymorphic one.
// void when Array has no single such parameter, or cannot take over data
// allocated with it; image_array then lets Octave allocate.
template <class T, class... Alloc>
std::tuple<Alloc...> array_allocators(const Array<T, Alloc...>*);

template <class A, class = void>
struct ArrayAllocator {
    using type = void;
};

template <class A>
struct ArrayAllocator<A, std::void_t<decltype(array_allocators(static_cast<const A*>(nullptr)))>> {
    using Allocators = decltype(array_allocators(static_cast<const A*>(nullptr)));
    using T = typename A::element_type;
    template <class Alloc>
    static constexpr bool adopts =
        std::is_same_v<typename std::allocator_traits<Alloc>::pointer, T*> &&
        std::is_constructible_v<Array<T, Alloc>, T*, const dim_vector&, const Alloc&>;
    template <class... Alloc>
    static auto single(std::tuple<Alloc...>*) -> void;
    template <class Alloc>
    static auto single(std::tuple<Alloc>*) -> std::conditional_t<adopts<Alloc>, Alloc, void>;
    using type = decltype(single(static_cast<Allocators*>(nullptr)));
};

// An array that owns memory for dims taken from its own allocator and left
// as it comes. Should the array's bookkeeping not be had, the memory is
// given back; once the array exists, it frees the memory itself.
template <class T, class Alloc>
Array<T, Alloc> adopt_unfilled(const dim_vector& dims)
{
    Alloc allocator;
    const size_t count = static_cast<size_t>(dims.safe_numel());
    T* data = std::allocator_traits<Alloc>::allocate(allocator, count);
    try {
        return Array<T, Alloc>(data, dims, allocator);
    } catch (...) {
        std::allocator_traits<Alloc>::deallocate(allocator, data, count);
        throw;
    }
}
#endif

// An array of dims for an image result, whose every element the kernel
// writes. Octave 7 and later fill an array they allocate (each element
// constructed), so the memory is taken unfilled from the array's own
// allocator instead: the kernel's pass is then the only one over it, and its
// threads share the first touch of its fresh pages, which costs more than
// the writing on some systems. Octave 6 allocates the array its own way
// (new[], which it also frees), so it is left to do so.
template <class A>
A image_array(const dim_vector& dims)
{
#if OCTAVE_MAJOR_VERSION >= 7
    using Alloc = typename ArrayAllocator<A>::type;
    if constexpr (!std::is_void_v<Alloc>) return A(adopt_unfilled<typename A::element_type, Alloc>(dims));
    else return A(dims);
#else
    return A(dims);
#endif
}

}  // namespace octave_detail

}  // namespace host
