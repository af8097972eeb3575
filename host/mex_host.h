// The one place where the modules meet the host (GNU Octave or MATLAB).
//
// Entries use these helpers instead of calling the mx/mex API directly, so
// that differences between hosts are handled once:
// - Octave's mxGetField raises an error on a non-structure, MATLAB's returns
//   null; struct_field checks mxIsStruct first and returns null on both.
// - mwSize is a signed 64-bit integer in Octave and size_t in MATLAB; sizes
//   leave this header as int64_t.
// - Octave puts the function name in front of an error text, MATLAB does not;
//   callers should match error texts by suffix or by identifier.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "mex.h"

namespace host {

// Raises a host error with an identifier (callers can catch by it); never returns.
[[noreturn]] inline void fail(const char* id, const char* text)
{
    mexErrMsgIdAndTxt(id, "%s", text);
    std::abort();  // not reached: the host unwinds out of mexErrMsgIdAndTxt
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
// failed allocation without an identifier, so a large request is first tried
// here; below a mebibyte it is not worth the call.
inline void ensure_memory(double bytes, const char* out_of_memory_id, const char* out_of_memory_text)
{
    if (bytes < 1048576.0) return;
    void* probe = bytes < 9.2e18 ? std::malloc(static_cast<size_t>(bytes)) : nullptr;
    if (probe == nullptr) fail(out_of_memory_id, out_of_memory_text);
    std::free(probe);
}

inline void print(const char* text)
{
    mexPrintf("%s", text);
}

// Raises a host warning with an identifier, so that warning('off', id)
// silences it; returns (unless the caller made that warning an error).
inline void warn(const char* id, const char* text)
{
    mexWarnMsgIdAndTxt(id, "%s", text);
}

inline bool is_real_dense(const mxArray* array)
{
    return !mxIsComplex(array) && !mxIsSparse(array);
}

inline bool is_real_dense_double(const mxArray* array)
{
    return mxIsDouble(array) && is_real_dense(array);
}

inline bool is_real_dense_single(const mxArray* array)
{
    return mxIsSingle(array) && is_real_dense(array);
}

inline bool is_text(const mxArray* array)
{
    return mxIsChar(array);
}

// Copies text into buffer (of size bytes, at least 1), cut short to fit and
// always terminated.
inline void copy_text(const mxArray* array, char* buffer, size_t size)
{
    buffer[0] = '\0';
    if (mxGetString(array, buffer, static_cast<mwSize>(size)) != 0) buffer[size - 1] = '\0';
}

inline bool is_real_dense_uint8(const mxArray* array)
{
    return mxIsUint8(array) && is_real_dense(array);
}

// The classes whose real dense arrays a module may read and write as plain
// arrays of one C++ element type.
enum class ElementClass { uint8, uint16, int16, single, double_precision, other };

// The element class of a real dense array; other for every other class
// (logical, char, the other integers, cells, structures...) and for complex
// or sparse arrays.
inline ElementClass element_class(const mxArray* array)
{
    if (!is_real_dense(array)) return ElementClass::other;
    switch (mxGetClassID(array)) {
    case mxUINT8_CLASS:
        return ElementClass::uint8;
    case mxUINT16_CLASS:
        return ElementClass::uint16;
    case mxINT16_CLASS:
        return ElementClass::int16;
    case mxSINGLE_CLASS:
        return ElementClass::single;
    case mxDOUBLE_CLASS:
        return ElementClass::double_precision;
    default:
        return ElementClass::other;
    }
}

// Bytes per element of an array.
inline int64_t element_size(const mxArray* array)
{
    return static_cast<int64_t>(mxGetElementSize(array));
}

inline bool is_empty(const mxArray* array)
{
    return mxIsEmpty(array);
}

inline int64_t rows(const mxArray* array)
{
    return static_cast<int64_t>(mxGetM(array));
}

inline int64_t columns(const mxArray* array)
{
    return static_cast<int64_t>(mxGetN(array));
}

inline int64_t element_count(const mxArray* array)
{
    return static_cast<int64_t>(mxGetNumberOfElements(array));
}

inline int64_t dimension_count(const mxArray* array)
{
    return static_cast<int64_t>(mxGetNumberOfDimensions(array));
}

// Size along dimension k (counting from 0); 1 beyond the last dimension.
inline int64_t dimension(const mxArray* array, int64_t k)
{
    if (k >= dimension_count(array)) return 1;
    return static_cast<int64_t>(mxGetDimensions(array)[k]);
}

inline const double* double_data(const mxArray* array)
{
    return static_cast<const double*>(mxGetData(array));
}

inline double* double_data(mxArray* array)
{
    return static_cast<double*>(mxGetData(array));
}

inline const float* single_data(const mxArray* array)
{
    return static_cast<const float*>(mxGetData(array));
}

inline const uint8_t* uint8_data(const mxArray* array)
{
    return static_cast<const uint8_t*>(mxGetData(array));
}

inline uint8_t* uint8_data(mxArray* array)
{
    return static_cast<uint8_t*>(mxGetData(array));
}

// The elements of a real dense array whose element_class the caller has
// checked to match E (uint8_t, uint16_t, int16_t, float, double).
template <class E>
inline const E* element_data(const mxArray* array)
{
    return static_cast<const E*>(mxGetData(array));
}

template <class E>
inline E* element_data(mxArray* array)
{
    return static_cast<E*>(mxGetData(array));
}

// Field of element 0 of a structure; null when the array is not a
// structure, has no elements, or lacks the field.
inline const mxArray* struct_field(const mxArray* array, const char* name)
{
    if (!mxIsStruct(array) || mxGetNumberOfElements(array) == 0) return nullptr;
    return mxGetField(array, 0, name);
}

enum class ScalarValue { absent, empty, unreadable, present };

// Reads the first element of a value as a double. Real dense numeric and
// logical values of any class are read by value; an empty value is reported
// as such, and anything else (text, cells, structures, complex or sparse
// values) as unreadable.
inline ScalarValue read_scalar(const mxArray* value, double* out)
{
    if (value == nullptr) return ScalarValue::absent;
    if (mxIsEmpty(value)) return ScalarValue::empty;
    if (!(mxIsNumeric(value) || mxIsLogical(value)) || !is_real_dense(value)) return ScalarValue::unreadable;
    *out = mxGetScalar(value);
    return ScalarValue::present;
}

// A 1 x 1 structure with the given fields, each an empty matrix until set.
inline mxArray* create_structure(const char* const* field_names, int field_count)
{
    return mxCreateStructMatrix(1, 1, field_count, const_cast<const char**>(field_names));
}

// Sets a field of a structure made by create_structure to a real double scalar.
inline void set_scalar_field(mxArray* structure, const char* name, double value)
{
    mxSetField(structure, 0, name, mxCreateDoubleScalar(value));
}

// Memory for count doubles for the rest of the call (count >= 1), released
// with release_memory; the host reclaims it itself should the call end in an
// error first.
inline double* temporary_doubles(int64_t count)
{
    return static_cast<double*>(mxMalloc(static_cast<size_t>(count) * sizeof(double)));
}

inline void release_memory(void* memory)
{
    mxFree(memory);
}

inline mxArray* create_double_column(int64_t length)
{
    return mxCreateDoubleMatrix(static_cast<mwSize>(length), 1, mxREAL);
}

inline mxArray* create_uint8_matrix(int64_t rows, int64_t columns)
{
    return mxCreateNumericMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(columns), mxUINT8_CLASS, mxREAL);
}

// A zero-filled real array of the class of `shape` (a real numeric array),
// rows x columns x (the dimensions of `shape` after its second). The
// dimension list is taken with mxMalloc, which the host releases itself
// should the creation raise an error.
inline mxArray* create_resized(const mxArray* shape, int64_t rows, int64_t columns)
{
    const mwSize count = mxGetNumberOfDimensions(shape);
    mwSize* dims = static_cast<mwSize*>(mxMalloc(static_cast<size_t>(count) * sizeof(mwSize)));
    std::memcpy(dims, mxGetDimensions(shape), static_cast<size_t>(count) * sizeof(mwSize));
    dims[0] = static_cast<mwSize>(rows);
    dims[1] = static_cast<mwSize>(columns);
    mxArray* result = mxCreateNumericArray(count, dims, mxGetClassID(shape), mxREAL);
    mxFree(dims);
    return result;
}

}  // namespace host
