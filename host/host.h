// The host layer: the one place where the modules meet the host (GNU Octave
// or MATLAB). Each module's entry is written once against it, and built with
// one of two back ends:
// - host/mex_host.h (default): the MEX interface, for MATLAB and for Octave's
//   MEX modules (.mex, .mexa64, .mexw64...);
// - host/octave_host.h (HOST_OCTAVE defined): Octave's own C++ interface, for
//   oct-files (.oct), whose results Octave takes over without the copy that
//   it makes of every MEX result.
//
// A back end supplies the primitives that host/primitives.h lists. Everything
// derived from them is written here once: what a value is (is_real_dense and
// its typed forms, is_real_numbers, is_text, is_logical, is_structure,
// element_class, element_size), its dimensions (dimension, rows, columns),
// its elements (element_data, double_data, single_data, uint8_data,
// number_at, read_scalar), structure fields (struct_field, field_count),
// results (create_double_column, create_double_array, create_uint8_matrix,
// create_resized, set_scalar_field, set_uint32_field, set_logical_field,
// set_matrix_field, set_structure_field), the image argument of an image
// entry and its result (image_argument, create_image_result), and
// run_kernel and ensure_memory;
// host/long_call.h, the stop and progress logic of a long call;
// host/element_class.h, the switch from an image class to its C++ type.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/element_class.h"
#include "host/message.h"

#if defined(HOST_OCTAVE)
#include "host/octave_host.h"
#else
#include "host/mex_host.h"
#endif

namespace host {

// What a value is.

inline bool is_empty(const Value& array)
{
    return element_count(array) == 0;
}

inline bool is_real_dense(const Value& array)
{
    return !is_complex(array) && !is_sparse(array);
}

inline bool is_real_dense_double(const Value& array)
{
    return array_class(array) == ArrayClass::double_precision && is_real_dense(array);
}

inline bool is_real_dense_single(const Value& array)
{
    return array_class(array) == ArrayClass::single && is_real_dense(array);
}

inline bool is_real_dense_uint8(const Value& array)
{
    return array_class(array) == ArrayClass::uint8 && is_real_dense(array);
}

inline bool is_text(const Value& array)
{
    return array_class(array) == ArrayClass::text;
}

// A logical array (never complex; sparse ones are refused by is_real_dense).
// Its elements are one byte each, 0 or 1: element_data<bool>.
inline bool is_logical(const Value& array)
{
    return array_class(array) == ArrayClass::logical;
}

inline bool is_structure(const Value& array)
{
    return array_class(array) == ArrayClass::structure;
}

// A real dense numeric or logical array, whose elements number_at reads.
inline bool is_real_numbers(const Value& array)
{
    switch (array_class(array)) {
    case ArrayClass::text:
    case ArrayClass::structure:
    case ArrayClass::cell:
    case ArrayClass::function_handle:
    case ArrayClass::other:
        return false;
    default:
        return is_real_dense(array);
    }
}

// The class of a real dense array, as an image entry reads it.
inline ElementClass element_class(const Value& array)
{
    if (!is_real_dense(array)) return ElementClass::other;
    switch (array_class(array)) {
    case ArrayClass::uint8:
        return ElementClass::uint8;
    case ArrayClass::uint16:
        return ElementClass::uint16;
    case ArrayClass::int16:
        return ElementClass::int16;
    case ArrayClass::int8:
        return ElementClass::int8;
    case ArrayClass::int32:
        return ElementClass::int32;
    case ArrayClass::uint32:
        return ElementClass::uint32;
    case ArrayClass::single:
        return ElementClass::single;
    case ArrayClass::double_precision:
        return ElementClass::double_precision;
    case ArrayClass::logical:
        return ElementClass::logical;
    default:
        return ElementClass::other;
    }
}

// Bytes per element of a real numeric or logical array (a logical element is
// one byte); 0 for the other classes, whose elements are not read as plain
// data.
inline int64_t element_size(const Value& array)
{
    switch (array_class(array)) {
    case ArrayClass::int8:
    case ArrayClass::uint8:
    case ArrayClass::logical:
        return 1;
    case ArrayClass::int16:
    case ArrayClass::uint16:
        return 2;
    case ArrayClass::single:
    case ArrayClass::int32:
    case ArrayClass::uint32:
        return 4;
    case ArrayClass::double_precision:
    case ArrayClass::int64:
    case ArrayClass::uint64:
        return 8;
    default:
        return 0;
    }
}

// Its dimensions.

// Size along dimension k (counting from 0); 1 beyond the last dimension.
inline int64_t dimension(const Value& array, int64_t k)
{
    return k < dimension_count(array) ? raw::dimension(array, k) : 1;
}

inline int64_t rows(const Value& array)
{
    return dimension(array, 0);
}

// The product of the dimensions after the first, as MEX's mxGetN gives it.
inline int64_t columns(const Value& array)
{
    int64_t count = 1;
    for (int64_t k = 1; k < dimension_count(array); ++k) count *= raw::dimension(array, k);
    return count;
}

// Its elements.

// The elements of a real array whose class the caller has checked to match
// E (uint8_t, uint16_t, int16_t, float, double; bool for logical), in
// storage order.
template <class E>
inline const E* element_data(const Value& array)
{
    return static_cast<const E*>(raw::data(array));
}

template <class E>
inline E* element_data(Result& result)
{
    return static_cast<E*>(raw::data(result));
}

inline const double* double_data(const Value& array)
{
    return element_data<double>(array);
}

inline double* double_data(Result& result)
{
    return element_data<double>(result);
}

inline const float* single_data(const Value& array)
{
    return element_data<float>(array);
}

inline const uint8_t* uint8_data(const Value& array)
{
    return element_data<uint8_t>(array);
}

inline uint8_t* uint8_data(Result& result)
{
    return element_data<uint8_t>(result);
}

// Element k of an array is_real_numbers accepts, as a double.
inline double number_at(const Value& array, int64_t k)
{
    const void* data = raw::data(array);
    switch (array_class(array)) {
    case ArrayClass::double_precision:
        return static_cast<const double*>(data)[k];
    case ArrayClass::single:
        return static_cast<const float*>(data)[k];
    case ArrayClass::int8:
        return static_cast<const int8_t*>(data)[k];
    case ArrayClass::uint8:
    case ArrayClass::logical:  // one byte of 0 or 1
        return static_cast<const uint8_t*>(data)[k];
    case ArrayClass::int16:
        return static_cast<const int16_t*>(data)[k];
    case ArrayClass::uint16:
        return static_cast<const uint16_t*>(data)[k];
    case ArrayClass::int32:
        return static_cast<const int32_t*>(data)[k];
    case ArrayClass::uint32:
        return static_cast<const uint32_t*>(data)[k];
    case ArrayClass::int64:
        return static_cast<double>(static_cast<const int64_t*>(data)[k]);
    case ArrayClass::uint64:
        return static_cast<double>(static_cast<const uint64_t*>(data)[k]);
    default:
        return 0.0;  // not a class is_real_numbers accepts
    }
}

// What read_scalar found.
enum class ScalarStatus { absent, empty, unreadable, present };

// Reads the first element of a value as a double. Real dense numeric and
// logical values of any class are read by value; an empty value is reported
// as such, and anything else (text, cells, structures, complex or sparse
// values) as unreadable.
inline ScalarStatus read_scalar(const Value& value, double* out)
{
    if (!present(value)) return ScalarStatus::absent;
    if (is_empty(value)) return ScalarStatus::empty;
    if (!is_real_numbers(value)) return ScalarStatus::unreadable;
    *out = number_at(value, 0);
    return ScalarStatus::present;
}

// Copies text for a message: cut short to fit buffer (of at least 4 bytes),
// its last three characters then "...", so that a name too long for the
// buffer still shows how it begins.
inline void copy_text_for_message(const Value& value, char* buffer, size_t size)
{
    if (!copy_text(value, buffer, size)) std::memcpy(buffer + size - 4, "...", 4);
}

// Structure fields.

// Field of element 0 of a structure; absent when the value is not a
// structure, has no elements, or lacks the field.
inline Value struct_field(const Value& array, const char* name)
{
    if (!is_structure(array) || element_count(array) == 0) return Value();
    return raw::field(array, name);
}

// The fields of a structure; 0 for any other value. copy_field_name gives
// the name of each.
inline int field_count(const Value& array)
{
    return is_structure(array) ? raw::field_count(array) : 0;
}

// Results, zero-filled (fields empty until set) unless said otherwise.

inline Result create_double_array(int64_t rows, int64_t columns, int64_t pages)
{
    const int64_t dimensions[3] = {rows, columns, pages};
    return create_array(ArrayClass::double_precision, pages == 1 ? 2 : 3,
                        [&](int64_t k) { return dimensions[k]; }, Fill::zeros);
}

inline Result create_double_column(int64_t length)
{
    return create_double_array(length, 1, 1);
}

// An image result, whose every element the kernel writes: zero-filled in the
// MEX back end, not filled in the oct-file back end (Octave 7 and later).
inline Result create_uint8_matrix(int64_t rows, int64_t columns)
{
    const int64_t dimensions[2] = {rows, columns};
    return create_array(ArrayClass::uint8, 2, [&](int64_t k) { return dimensions[k]; }, Fill::not_needed);
}

// An image result of the class of `shape` (a real numeric or a logical
// array), rows x columns x (the dimensions of `shape` after its second),
// filled as create_uint8_matrix's.
inline Result create_resized(const Value& shape, int64_t rows, int64_t columns)
{
    return create_array(array_class(shape), dimension_count(shape),
                        [&](int64_t k) { return k == 0 ? rows : k == 1 ? columns : raw::dimension(shape, k); },
                        Fill::not_needed);
}

// Sets a field of a structure made by create_structure to a scalar: a real
// double, a uint32 (which prints as the whole number it is) or a logical.
inline void set_scalar_field(Result& structure, const char* name, double value)
{
    Result scalar = create_double_array(1, 1, 1);
    *double_data(scalar) = value;
    set_field(structure, name, scalar);
}

inline void set_uint32_field(Result& structure, const char* name, uint32_t value)
{
    Result scalar = create_array(ArrayClass::uint32, 2, [](int64_t) { return int64_t{1}; }, Fill::zeros);
    *element_data<uint32_t>(scalar) = value;
    set_field(structure, name, scalar);
}

inline void set_logical_field(Result& structure, const char* name, bool value)
{
    Result scalar = create_array(ArrayClass::logical, 2, [](int64_t) { return int64_t{1}; }, Fill::zeros);
    *element_data<bool>(scalar) = value;
    set_field(structure, name, scalar);
}

// Sets a field of a structure made by create_structure to a rows x columns
// double matrix of values (column-major), or to another such structure.
inline void set_matrix_field(Result& structure, const char* name, const double* values, int64_t rows, int64_t columns)
{
    Result matrix = create_double_array(rows, columns, 1);
    if (rows * columns > 0) std::memcpy(double_data(matrix), values, static_cast<size_t>(rows * columns) * sizeof(double));
    set_field(structure, name, matrix);
}

inline void set_structure_field(Result& structure, const char* name, const Result& inner)
{
    set_field(structure, name, inner);
}

// The image argument of an image entry (the first): a real dense array of a
// class the entry takes, not empty; otherwise the call fails with the
// entry's identifier and message. Every dimension after the second counts
// planes (three for RGB), each resampled on its own.
struct ImageArgument {
    Value array;
    ElementClass element_class;
    int64_t rows;
    int64_t columns;
    int64_t planes;
};

inline ImageArgument image_argument(Call& call, ImageClasses classes, const char* identifier, const char* message)
{
    const ElementClass image_class = call.argument_count() < 1 ? ElementClass::other : element_class(call.argument(0));
    if (!is_image_class(image_class, classes) || is_empty(call.argument(0))) fail(identifier, message);
    const Value array = call.argument(0);
    int64_t planes = 1;
    for (int64_t k = 2; k < dimension_count(array); ++k) planes *= raw::dimension(array, k);
    return {array, image_class, dimension(array, 0), dimension(array, 1), planes};
}

// Runs a kernel call. A std::bad_alloc from it (its working memory refused)
// becomes a host error with the module's identifier and text, raised after
// the exception has been dealt with, so that no C++ exception crosses the
// module's entry; the module then works normally at its next call.
template <class Kernel>
void run_kernel(const char* out_of_memory_id, const char* out_of_memory_text, const Kernel& kernel)
{
    bool out_of_memory = false;
    try {
        kernel();
    } catch (const std::bad_alloc&) {
        out_of_memory = true;
    }
    if (out_of_memory) fail(out_of_memory_id, out_of_memory_text);
}

// Fails with the module's identifier and text when a result of `bytes` bytes
// cannot be had now (an address-space limit, say). Octave raises its own
// failed allocation of a MEX result without an identifier, and that of an
// oct-file result with Octave's own, so a large request is first tried here,
// as large as the host needs it while it takes the result over (Octave
// copies a MEX result); below a mebibyte it is not worth the call. The probe
// is held in a volatile so that the compiler cannot drop the malloc and free
// pair (clang does).
inline void ensure_memory(double bytes, const char* out_of_memory_id, const char* out_of_memory_text)
{
    if (bytes < 1048576.0) return;
    const double needed = bytes * result_copies_at_handover();
    void* volatile probe = needed < 9.2e18 ? std::malloc(static_cast<size_t>(needed)) : nullptr;
    if (probe == nullptr) fail(out_of_memory_id, out_of_memory_text);
    std::free(probe);
}

// The result of an image entry: the image's class and planes at rows x
// columns (see create_resized), failing with the entry's identifier when
// the host cannot hold it.
inline Result create_image_result(const ImageArgument& image, int64_t rows, int64_t columns, const char* out_of_memory_id)
{
    ensure_memory(static_cast<double>(rows) * static_cast<double>(columns) * static_cast<double>(image.planes) *
                      static_cast<double>(element_size(image.array)),
                  out_of_memory_id, "out of memory for the result");
    return create_resized(image.array, rows, columns);
}

}  // namespace host

#include "host/long_call.h"
