// The MEX back end of the host layer (host/host.h includes it): MATLAB, and
// GNU Octave's MEX interface. It supplies the primitives host/primitives.h
// lists. Host differences are handled here once:
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

#include "mex.h"

#include "common/windows_headers.h"
#include "host/primitives.h"

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

inline ArrayClass array_class(Value array)
{
    switch (mxGetClassID(array)) {
    case mxDOUBLE_CLASS:
        return ArrayClass::double_precision;
    case mxSINGLE_CLASS:
        return ArrayClass::single;
    case mxINT8_CLASS:
        return ArrayClass::int8;
    case mxUINT8_CLASS:
        return ArrayClass::uint8;
    case mxINT16_CLASS:
        return ArrayClass::int16;
    case mxUINT16_CLASS:
        return ArrayClass::uint16;
    case mxINT32_CLASS:
        return ArrayClass::int32;
    case mxUINT32_CLASS:
        return ArrayClass::uint32;
    case mxINT64_CLASS:
        return ArrayClass::int64;
    case mxUINT64_CLASS:
        return ArrayClass::uint64;
    case mxLOGICAL_CLASS:
        return ArrayClass::logical;
    case mxCHAR_CLASS:
        return ArrayClass::text;
    case mxSTRUCT_CLASS:
        return ArrayClass::structure;
    case mxCELL_CLASS:
        return ArrayClass::cell;
    case mxFUNCTION_CLASS:
        return ArrayClass::function_handle;
    default:
        return ArrayClass::other;
    }
}

inline bool is_sparse(Value array)
{
    return mxIsSparse(array);
}

inline bool is_complex(Value array)
{
    return mxIsComplex(array);
}

inline int64_t dimension_count(Value array)
{
    return static_cast<int64_t>(mxGetNumberOfDimensions(array));
}

inline int64_t element_count(Value array)
{
    return static_cast<int64_t>(mxGetNumberOfElements(array));
}

namespace raw {

// Size along dimension k, for k below dimension_count.
inline int64_t dimension(Value array, int64_t k)
{
    return static_cast<int64_t>(mxGetDimensions(array)[k]);
}

// The elements, in storage order (of a sparse array: the stored ones).
inline const void* data(Value array)
{
    return mxGetData(array);
}

inline void* data(Result& result)
{
    return mxGetData(result.array());
}

}  // namespace raw

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

namespace raw {

// Field of element 0 of a structure that has elements; null when it lacks
// the field. (Octave's mxGetField raises an error on a non-structure.)
inline Value field(Value structure, const char* name)
{
    return mxGetField(structure, 0, name);
}

inline int field_count(Value structure)
{
    return mxGetNumberOfFields(structure);
}

}  // namespace raw

// The name of field k of a structure, cut short to fit buffer (of size
// bytes, at least 1) and terminated.
inline void copy_field_name(Value structure, int k, char* buffer, size_t size)
{
    const char* name = mxGetFieldNameByNumber(structure, k);
    size_t length = 0;
    for (; name != nullptr && name[length] != '\0' && length + 1 < size; ++length) buffer[length] = name[length];
    buffer[length] = '\0';
}

namespace mex_detail {

inline mxClassID class_id(ArrayClass elements)
{
    switch (elements) {
    case ArrayClass::single:
        return mxSINGLE_CLASS;
    case ArrayClass::int8:
        return mxINT8_CLASS;
    case ArrayClass::uint8:
        return mxUINT8_CLASS;
    case ArrayClass::int16:
        return mxINT16_CLASS;
    case ArrayClass::uint16:
        return mxUINT16_CLASS;
    case ArrayClass::int32:
        return mxINT32_CLASS;
    case ArrayClass::uint32:
        return mxUINT32_CLASS;
    case ArrayClass::int64:
        return mxINT64_CLASS;
    case ArrayClass::uint64:
        return mxUINT64_CLASS;
    default:
        return mxDOUBLE_CLASS;
    }
}

}  // namespace mex_detail

// A real array of a numeric class or logical, of `count` dimensions (at
// least 2), dimension k being dimension_at(k); zero-filled whatever `fill`
// says, as mxCreate* makes every array. The dimension list is taken with
// mxMalloc, which the host releases itself should the creation raise an
// error.
template <class DimensionAt>
inline Result create_array(ArrayClass elements, int64_t count, const DimensionAt& dimension_at, Fill)
{
    mwSize* dims = static_cast<mwSize*>(mxMalloc(static_cast<size_t>(count) * sizeof(mwSize)));
    for (int64_t k = 0; k < count; ++k) dims[k] = static_cast<mwSize>(dimension_at(k));
    mxArray* array = elements == ArrayClass::logical
                         ? mxCreateLogicalArray(static_cast<mwSize>(count), dims)
                         : mxCreateNumericArray(static_cast<mwSize>(count), dims, mex_detail::class_id(elements),
                                                mxREAL);
    mxFree(dims);
    return Result(array);
}

// A 1 x 1 structure with the given fields, each an empty matrix until set.
inline Result create_structure(const char* const* field_names, int field_count)
{
    return Result(mxCreateStructMatrix(1, 1, field_count, const_cast<const char**>(field_names)));
}

// Sets a field of a structure made by create_structure; the structure owns
// the value from then on.
inline void set_field(Result& structure, const char* name, const Result& value)
{
    mxSetField(structure.array(), 0, name, value.array());
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
    } else if (host.set_interrupt_pending != nullptr) {
        host.set_interrupt_pending(pending);
    }
}

// Octave only: a signal waits for the interpreter's response.
inline bool signal_caught() noexcept
{
    HostFlags& host = flags();
    return host.octave_signal_caught != nullptr && host.octave_handle_signal != nullptr &&
           *host.octave_signal_caught != 0;
}

inline void clear_caught_signal() noexcept
{
    HostFlags& host = flags();
    if (host.octave_signal_caught != nullptr) *host.octave_signal_caught = 0;
}

// Octave's response to the caught signals, as its own octave_quit makes it;
// may throw what Octave raises (its exit on SIGTERM).
inline void handle_signals()
{
    HostFlags& host = flags();
    if (host.octave_handle_signal != nullptr) host.octave_handle_signal();
}

}  // namespace signals

// Shows what was printed while the call runs: Octave's fflush(stdout);
// MATLAB flushes its command window on drawnow.
inline void flush_console()
{
    mexEvalString(signals::host_is_octave() ? "fflush(stdout);" : "drawnow;");
}

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
