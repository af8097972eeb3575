// The MEX back end of the host layer (host/host.h includes it): MATLAB, and
// GNU Octave's MEX interface. Host differences are handled here once:
// - Octave's mxGetField raises an error on a non-structure, MATLAB's returns
//   null; struct_field checks mxIsStruct first and returns null on both.
// - mwSize is a signed 64-bit integer in Octave and size_t in MATLAB; sizes
//   leave this header as int64_t.
// - Octave puts the function name in front of an error text, MATLAB does not;
//   callers should match error texts by suffix or by identifier.
// - The interrupt flags of either host are found at run time (below), so one
//   module binary serves both.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "mex.h"

#include "common/windows_headers.h"

#if defined(_WIN32)
#include <psapi.h>
#else
#include <dlfcn.h>
#endif

namespace host {

// An argument; null for an absent one.
using Value = const mxArray*;

inline bool present(Value value)
{
    return value != nullptr;
}

// An array being made.
class Result {
public:
    explicit Result(mxArray* array) : array_(array) {}
    mxArray* array() const { return array_; }

private:
    mxArray* array_;
};

// Raises a host error with an identifier (callers can catch by it); never returns.
[[noreturn]] inline void fail(const char* id, const char* text)
{
    mexErrMsgIdAndTxt(id, "%s", text);
    std::abort();  // not reached: the host unwinds out of mexErrMsgIdAndTxt
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

inline bool is_real_dense(Value array)
{
    return !mxIsComplex(array) && !mxIsSparse(array);
}

inline bool is_real_dense_double(Value array)
{
    return mxIsDouble(array) && is_real_dense(array);
}

inline bool is_real_dense_single(Value array)
{
    return mxIsSingle(array) && is_real_dense(array);
}

inline bool is_text(Value array)
{
    return mxIsChar(array);
}

inline bool is_sparse(Value array)
{
    return mxIsSparse(array);
}

inline bool is_complex(Value array)
{
    return mxIsComplex(array);
}

// A sparse array's structure, column by column: the row of each stored
// element, and where each column's elements start (columns + 1 offsets).
// Its stored elements are element_data<double> (or <bool> for a logical
// one). mwIndex is a signed 64-bit integer in Octave and size_t in MATLAB:
// read as int64_t either way (a type and its unsigned form may alias).
static_assert(sizeof(mwIndex) == sizeof(int64_t), "sparse indices are read as 64-bit integers");

inline const int64_t* sparse_rows(Value array)
{
    return reinterpret_cast<const int64_t*>(mxGetIr(array));
}

inline const int64_t* sparse_starts(Value array)
{
    return reinterpret_cast<const int64_t*>(mxGetJc(array));
}

// How many elements the sparse array has room for.
inline int64_t sparse_capacity(Value array)
{
    return static_cast<int64_t>(mxGetNzmax(array));
}

// Copies text into buffer (of size bytes, at least 1), cut short to fit and
// always terminated; false when it was cut. Octave's mxGetString copies
// nothing when the text does not fit (MATLAB's copies what fits), so a text
// too long is taken whole first, in UTF-8 (at most 4 bytes a character).
inline bool copy_text(Value array, char* buffer, size_t size)
{
    buffer[0] = '\0';
    if (mxGetString(array, buffer, static_cast<mwSize>(size)) == 0) return true;
    const size_t whole_size = mxGetNumberOfElements(array) * 4 + 1;
    char* whole = static_cast<char*>(std::calloc(whole_size, 1));
    if (whole != nullptr) {
        mxGetString(array, whole, static_cast<mwSize>(whole_size));
        std::strncpy(buffer, whole, size - 1);
        std::free(whole);
    }
    buffer[size - 1] = '\0';
    return false;
}

inline bool is_real_dense_uint8(Value array)
{
    return mxIsUint8(array) && is_real_dense(array);
}

// A logical array (never complex; sparse ones are refused by is_real_dense).
// Its elements are one byte each, 0 or 1: element_data<bool>.
inline bool is_logical(Value array)
{
    return mxIsLogical(array);
}

// The element class of a real dense array; other for every other class
// (logical, char, the other integers, cells, structures...) and for complex
// or sparse arrays.
inline ElementClass element_class(Value array)
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
inline int64_t element_size(Value array)
{
    return static_cast<int64_t>(mxGetElementSize(array));
}

inline bool is_empty(Value array)
{
    return mxIsEmpty(array);
}

inline int64_t rows(Value array)
{
    return static_cast<int64_t>(mxGetM(array));
}

inline int64_t columns(Value array)
{
    return static_cast<int64_t>(mxGetN(array));
}

inline int64_t element_count(Value array)
{
    return static_cast<int64_t>(mxGetNumberOfElements(array));
}

inline int64_t dimension_count(Value array)
{
    return static_cast<int64_t>(mxGetNumberOfDimensions(array));
}

// Size along dimension k (counting from 0); 1 beyond the last dimension.
inline int64_t dimension(Value array, int64_t k)
{
    if (k >= dimension_count(array)) return 1;
    return static_cast<int64_t>(mxGetDimensions(array)[k]);
}

inline const double* double_data(Value array)
{
    return static_cast<const double*>(mxGetData(array));
}

inline double* double_data(Result& result)
{
    return static_cast<double*>(mxGetData(result.array()));
}

inline const float* single_data(Value array)
{
    return static_cast<const float*>(mxGetData(array));
}

inline const uint8_t* uint8_data(Value array)
{
    return static_cast<const uint8_t*>(mxGetData(array));
}

inline uint8_t* uint8_data(Result& result)
{
    return static_cast<uint8_t*>(mxGetData(result.array()));
}

// The elements of a real dense array whose element_class the caller has
// checked to match E (uint8_t, uint16_t, int16_t, float, double).
template <class E>
inline const E* element_data(Value array)
{
    return static_cast<const E*>(mxGetData(array));
}

template <class E>
inline E* element_data(Result& result)
{
    return static_cast<E*>(mxGetData(result.array()));
}

// Field of element 0 of a structure; null when the array is not a
// structure, has no elements, or lacks the field.
inline Value struct_field(Value array, const char* name)
{
    if (!mxIsStruct(array) || mxGetNumberOfElements(array) == 0) return nullptr;
    return mxGetField(array, 0, name);
}

// A real dense numeric or logical array, whose elements number_at reads.
inline bool is_real_numbers(Value array)
{
    return (mxIsNumeric(array) || mxIsLogical(array)) && is_real_dense(array);
}

// Element k of an array is_real_numbers accepts, as a double.
inline double number_at(Value array, int64_t k)
{
    const void* data = mxGetData(array);
    switch (mxGetClassID(array)) {
    case mxDOUBLE_CLASS:
        return static_cast<const double*>(data)[k];
    case mxSINGLE_CLASS:
        return static_cast<const float*>(data)[k];
    case mxINT8_CLASS:
        return static_cast<const int8_t*>(data)[k];
    case mxUINT8_CLASS:
    case mxLOGICAL_CLASS:  // one byte of 0 or 1
        return static_cast<const uint8_t*>(data)[k];
    case mxINT16_CLASS:
        return static_cast<const int16_t*>(data)[k];
    case mxUINT16_CLASS:
        return static_cast<const uint16_t*>(data)[k];
    case mxINT32_CLASS:
        return static_cast<const int32_t*>(data)[k];
    case mxUINT32_CLASS:
        return static_cast<const uint32_t*>(data)[k];
    case mxINT64_CLASS:
        return static_cast<double>(static_cast<const int64_t*>(data)[k]);
    case mxUINT64_CLASS:
        return static_cast<double>(static_cast<const uint64_t*>(data)[k]);
    default:
        return 0.0;  // not a class is_real_numbers accepts
    }
}

inline bool is_structure(Value array)
{
    return mxIsStruct(array);
}

// The fields of a structure (0 for any other array), and the name of field
// k, cut short to fit buffer (of size bytes, at least 1) and terminated.
inline int field_count(Value array)
{
    return mxIsStruct(array) ? mxGetNumberOfFields(array) : 0;
}

inline void copy_field_name(Value array, int k, char* buffer, size_t size)
{
    const char* name = mxGetFieldNameByNumber(array, k);
    size_t length = 0;
    for (; name != nullptr && name[length] != '\0' && length + 1 < size; ++length) buffer[length] = name[length];
    buffer[length] = '\0';
}

// A 1 x 1 structure with the given fields, each an empty matrix until set.
inline Result create_structure(const char* const* field_names, int field_count)
{
    return Result(mxCreateStructMatrix(1, 1, field_count, const_cast<const char**>(field_names)));
}

// Sets a field of a structure made by create_structure to a scalar: a real
// double, a uint32 (which prints as the whole number it is) or a logical.
inline void set_scalar_field(Result& structure, const char* name, double value)
{
    mxSetField(structure.array(), 0, name, mxCreateDoubleScalar(value));
}

inline void set_uint32_field(Result& structure, const char* name, uint32_t value)
{
    mxArray* scalar = mxCreateNumericMatrix(1, 1, mxUINT32_CLASS, mxREAL);
    *static_cast<uint32_t*>(mxGetData(scalar)) = value;
    mxSetField(structure.array(), 0, name, scalar);
}

inline void set_logical_field(Result& structure, const char* name, bool value)
{
    mxSetField(structure.array(), 0, name, mxCreateLogicalScalar(value));
}

// Results are zero-filled, as mxCreate* makes them.
inline Result create_double_column(int64_t length)
{
    return Result(mxCreateDoubleMatrix(static_cast<mwSize>(length), 1, mxREAL));
}

// A zero-filled real double array of rows x columns x pages (two dimensions
// when pages is 1).
inline Result create_double_array(int64_t rows, int64_t columns, int64_t pages)
{
    const mwSize dims[3] = {static_cast<mwSize>(rows), static_cast<mwSize>(columns), static_cast<mwSize>(pages)};
    return Result(mxCreateNumericArray(pages == 1 ? 2 : 3, dims, mxDOUBLE_CLASS, mxREAL));
}

// Sets a field of a structure made by create_structure to a rows x columns
// double matrix of values (column-major), or to another such structure.
inline void set_matrix_field(Result& structure, const char* name, const double* values, int64_t rows, int64_t columns)
{
    mxArray* matrix = mxCreateDoubleMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(columns), mxREAL);
    if (rows * columns > 0) std::memcpy(mxGetData(matrix), values, static_cast<size_t>(rows * columns) * sizeof(double));
    mxSetField(structure.array(), 0, name, matrix);
}

inline void set_structure_field(Result& structure, const char* name, const Result& inner)
{
    mxSetField(structure.array(), 0, name, inner.array());
}

inline Result create_uint8_matrix(int64_t rows, int64_t columns)
{
    return Result(
        mxCreateNumericMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(columns), mxUINT8_CLASS, mxREAL));
}

// A zero-filled real array of the class of `shape` (a real numeric or a
// logical array), rows x columns x (the dimensions of `shape` after its
// second). The dimension list is taken with mxMalloc, which the host releases
// itself should the creation raise an error.
inline Result create_resized(Value shape, int64_t rows, int64_t columns)
{
    const mwSize count = mxGetNumberOfDimensions(shape);
    mwSize* dims = static_cast<mwSize*>(mxMalloc(static_cast<size_t>(count) * sizeof(mwSize)));
    std::memcpy(dims, mxGetDimensions(shape), static_cast<size_t>(count) * sizeof(mwSize));
    dims[0] = static_cast<mwSize>(rows);
    dims[1] = static_cast<mwSize>(columns);
    mxArray* result = mxIsLogical(shape) ? mxCreateLogicalArray(count, dims)
                                         : mxCreateNumericArray(count, dims, mxGetClassID(shape), mxREAL);
    mxFree(dims);
    return Result(result);
}

// One call of a module: its arguments, the results asked for and handed
// over, and memory that lasts as long as the call.
class Call {
public:
    Call(int nlhs, mxArray** plhs, int nrhs, const mxArray** prhs)
        : results_requested_(nlhs), results_(plhs), argument_count_(nrhs), arguments_(prhs)
    {
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    int argument_count() const { return argument_count_; }
    // Argument k, for k below argument_count().
    Value argument(int k) const { return arguments_[k]; }
    // How many results the caller asked for (0 when it takes none; result 0
    // may be set all the same).
    int results_requested() const { return results_requested_; }
    void set_result(int k, const Result& result) { results_[k] = result.array(); }

    // Memory for count elements (count >= 1) of a plain type until the call
    // returns: the host releases what mxMalloc gave when the call ends, by an
    // error or not.
    template <class T>
    T* temporary(int64_t count)
    {
        return static_cast<T*>(mxMalloc(static_cast<size_t>(count) * sizeof(T)));
    }

private:
    int results_requested_;
    mxArray** results_;
    int argument_count_;
    const mxArray** arguments_;
};

// The interrupt flags of the host, for host/long_call.h. GNU Octave:
// octave_interrupt_state (> 0: an interrupt is pending; -1: being handled),
// octave_signal_caught (some signal waits for the interpreter) and
// octave_handle_signal, from liboctave. MATLAB: utIsInterruptPending and
// utSetInterruptPending, from libut. Found at run time, once per load.
namespace signals {

// The address of a symbol exported by any module of the host process, or null.
inline void* find_host_symbol(const char* name)
{
#if defined(_WIN32)
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return nullptr;
    const DWORD count = bytes / sizeof(HMODULE) < 1024 ? bytes / sizeof(HMODULE) : 1024;
    for (DWORD k = 0; k < count; ++k) {
        if (FARPROC address = GetProcAddress(modules[k], name)) return reinterpret_cast<void*>(address);
    }
    return nullptr;
#else
    return dlsym(RTLD_DEFAULT, name);
#endif
}

struct HostFlags {
    // Octave: an int (sig_atomic_t or std::atomic<int>) in every version;
    // octave_signal_caught is read and cleared through its first byte, which
    // holds its 0 or 1 whether Octave declares it int or bool (little-endian
    // targets).
    volatile int* octave_interrupt_state = nullptr;
    volatile unsigned char* octave_signal_caught = nullptr;
    void (*octave_handle_signal)() = nullptr;
    // MATLAB.
    bool (*is_interrupt_pending)() = nullptr;
    void (*set_interrupt_pending)(bool) = nullptr;

    HostFlags()
    {
        octave_interrupt_state = static_cast<volatile int*>(find_host_symbol("octave_interrupt_state"));
        octave_signal_caught = static_cast<volatile unsigned char*>(find_host_symbol("octave_signal_caught"));
        octave_handle_signal = reinterpret_cast<void (*)()>(find_host_symbol("octave_handle_signal"));
        if (octave_interrupt_state == nullptr) {
            is_interrupt_pending = reinterpret_cast<bool (*)()>(find_host_symbol("utIsInterruptPending"));
            set_interrupt_pending = reinterpret_cast<void (*)(bool)>(find_host_symbol("utSetInterruptPending"));
        }
    }
};

inline HostFlags& flags()
{
    static HostFlags found;
    return found;
}

inline void look_up()
{
    flags();
}

// Whether the host is GNU Octave (whose interrupt flag was found).
inline bool host_is_octave()
{
    return flags().octave_interrupt_state != nullptr;
}

inline bool interrupt_pending() noexcept
{
    HostFlags& host = flags();
    if (host.octave_interrupt_state != nullptr) return *host.octave_interrupt_state > 0;
    return host.is_interrupt_pending != nullptr && host.is_interrupt_pending();
}

// Octave only: a signal waits for the interpreter's response.
inline bool signal_waiting() noexcept
{
    HostFlags& host = flags();
    return host.octave_signal_caught != nullptr && host.octave_handle_signal != nullptr &&
           *host.octave_signal_caught != 0;
}

// Hands the waiting signals to Octave, as its own octave_quit does; may
// throw what Octave raises in response (its exit on SIGTERM).
inline void respond_to_signals()
{
    HostFlags& host = flags();
    *host.octave_signal_caught = 0;
    host.octave_handle_signal();
}

// Octave marks an interrupt it has just raised as being handled.
inline bool interrupt_being_handled() noexcept
{
    HostFlags& host = flags();
    return host.octave_interrupt_state != nullptr && *host.octave_interrupt_state < 0;
}

inline void set_interrupt_pending(bool pending) noexcept
{
    HostFlags& host = flags();
    if (host.octave_interrupt_state != nullptr) {
        *host.octave_interrupt_state = pending ? 1 : 0;
        if (!pending && host.octave_signal_caught != nullptr) *host.octave_signal_caught = 0;
    } else if (host.set_interrupt_pending != nullptr) {
        host.set_interrupt_pending(pending);
    }
}

// Shows what was printed while the call runs: Octave's fflush(stdout);
// MATLAB flushes its command window on drawnow.
inline void flush_console()
{
    mexEvalString(host_is_octave() ? "fflush(stdout);" : "drawnow;");
}

}  // namespace signals

// How many copies of a result the host holds at once while taking it over,
// for ensure_memory: Octave copies a MEX result into an array of its own
// before it frees the module's; MATLAB takes the module's array as it is.
inline double result_copies_at_handover()
{
    return signals::host_is_octave() ? 2.0 : 1.0;
}

}  // namespace host

// The module's entry point: MEX's mexFunction, running entry(host::Call&).
#define HOST_ENTRY(name, entry)                                                             \
    void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])            \
    {                                                                                       \
        host::Call call(nlhs, plhs, nrhs, prhs);                                            \
        entry(call);                                                                        \
    }
