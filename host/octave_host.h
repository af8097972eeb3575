// The Octave back end of the host layer (host/host.h includes it when
// HOST_OCTAVE is defined): GNU Octave's own C++ interface, for oct-files. It
// supplies the primitives host/primitives.h lists. A result is made as an Octave array and handed over as it is, where a MEX
// result is copied once more by Octave. Everything the modules see behaves as
// through the MEX back end in Octave: the same classes and shapes read, the
// same errors, warnings and messages (with the function's name in front, as
// Octave's MEX interface puts it), the same console, the same interrupt
// flags, read here directly.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <variant>
#include <vector>

#include "oct.h"
#include "oct-map.h"
#include "pager.h"
#include "quit.h"
#include "version.h"

#include "common/windows_headers.h"
#include "host/octave_module_help.h"
#include "host/octave_unfilled_arrays.h"
#include "host/primitives.h"

namespace host {

// An argument; undefined for an absent one. Copies share the data.
using Value = octave_value;

inline bool present(const Value& value)
{
    return value.is_defined();
}

namespace octave_detail {

// A real numeric value that Octave keeps in another form (a range such as
// 1:40 or, in Octave 6, ones(1, 40); a diagonal matrix) as a plain array, as
// Octave's MEX interface makes it, so that element_data finds its elements.
// Complex and sparse values are left as they are, to be refused: a complex
// value made anew would be narrowed to real where its imaginary parts are 0.
inline octave_value plain(const octave_value& value)
{
    if ((value.isnumeric() || value.islogical()) && !value.issparse() && !value.iscomplex() && !value.isempty() &&
        value.mex_get_data() == nullptr) {
        return value.full_value();
    }
    return value;
}

// The name of the function being called, for the texts of its errors.
inline const char*& function_name()
{
    static const char* name = "";
    return name;
}

}  // namespace octave_detail

// Raises a host error with an identifier (callers can catch by it); never
// returns. The function's name goes in front, as Octave's MEX interface
// puts it.
[[noreturn]] inline void fail(const char* id, const char* text)
{
    error_with_id(id, "%s: %s", octave_detail::function_name(), text);
    std::abort();  // not reached: error_with_id throws
}

inline void print(const char* text)
{
    octave_stdout << text;
}

// Raises a host warning with an identifier, so that warning('off', id)
// silences it; returns (unless the caller made that warning an error).
inline void warn(const char* id, const char* text)
{
    warning_with_id(id, "%s: %s", octave_detail::function_name(), text);
}

inline ArrayClass array_class(const Value& array)
{
    // The tests Octave's MEX interface makes for mxIsLogical, mxIsChar,
    // mxIsStruct and mxIsNumeric, then the numeric class.
    if (array.islogical()) return ArrayClass::logical;
    if (array.is_string()) return ArrayClass::text;
    if (array.isstruct()) return ArrayClass::structure;
    if (array.iscell()) return ArrayClass::cell;
    if (array.is_function_handle()) return ArrayClass::function_handle;
    if (!array.isnumeric()) return ArrayClass::other;
    switch (array.builtin_type()) {
    case btyp_double:
    case btyp_complex:
        return ArrayClass::double_precision;
    case btyp_float:
    case btyp_float_complex:
        return ArrayClass::single;
    case btyp_int8:
        return ArrayClass::int8;
    case btyp_uint8:
        return ArrayClass::uint8;
    case btyp_int16:
        return ArrayClass::int16;
    case btyp_uint16:
        return ArrayClass::uint16;
    case btyp_int32:
        return ArrayClass::int32;
    case btyp_uint32:
        return ArrayClass::uint32;
    case btyp_int64:
        return ArrayClass::int64;
    case btyp_uint64:
        return ArrayClass::uint64;
    default:
        return ArrayClass::other;
    }
}

inline bool is_sparse(const Value& array)
{
    return array.issparse();
}

inline bool is_complex(const Value& array)
{
    return array.iscomplex();
}

inline int64_t dimension_count(const Value& array)
{
    return array.ndims();
}

inline int64_t element_count(const Value& array)
{
    return array.numel();
}

namespace raw {

// Size along dimension k, for k below dimension_count.
inline int64_t dimension(const Value& array, int64_t k)
{
    const dim_vector dims = array.dims();
    return static_cast<int64_t>(dims(static_cast<int>(k)));
}

// The elements, in storage order (of a sparse array: the stored ones),
// without a copy: the data of the array itself (Call and raw::field make
// sure that every numeric value they give has them).
inline const void* data(const Value& array)
{
    return array.mex_get_data();
}

}  // namespace raw

// A sparse array's structure, column by column: the row of each stored
// element, and where each column's elements start (columns + 1 offsets).
// Its stored elements are element_data<double> (or <bool> for a logical one).
static_assert(sizeof(octave_idx_type) == sizeof(int64_t), "sparse indices are read as 64-bit integers");

inline const int64_t* sparse_rows(const Value& array)
{
    return reinterpret_cast<const int64_t*>(array.mex_get_ir());
}

inline const int64_t* sparse_starts(const Value& array)
{
    return reinterpret_cast<const int64_t*>(array.mex_get_jc());
}

// How many elements the sparse array has room for.
inline int64_t sparse_capacity(const Value& array)
{
    return array.nzmax();
}

// Copies text (its characters in storage order) into buffer (of size bytes,
// at least 1), cut short to fit and always terminated; false when it was cut.
inline bool copy_text(const Value& array, char* buffer, size_t size)
{
    const charNDArray text = array.char_array_value();
    const size_t count = static_cast<size_t>(text.numel()) < size - 1 ? static_cast<size_t>(text.numel()) : size - 1;
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count == static_cast<size_t>(text.numel());
}

namespace raw {

// Field of element 0 of a structure that has elements; absent when it lacks
// the field.
inline Value field(const Value& structure, const char* name)
{
    const octave_map map = structure.map_value();
    if (!map.isfield(name)) return Value();
    return octave_detail::plain(map.contents(name)(0));
}

inline int field_count(const Value& structure)
{
    return static_cast<int>(structure.map_value().nfields());
}

}  // namespace raw

// The name of field k of a structure, cut short to fit buffer (of size
// bytes, at least 1) and terminated.
inline void copy_field_name(const Value& structure, int k, char* buffer, size_t size)
{
    const std::string name = structure.map_value().fieldnames()(k);
    const size_t count = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), count);
    buffer[count] = '\0';
}

// An array being made: an Octave array whose data are written in place, made
// an Octave value only when it is handed over (a 1 x 1 value would otherwise
// be narrowed to a scalar before its data are written).
class Result {
public:
    using Array = std::variant<NDArray, FloatNDArray, int8NDArray, uint8NDArray, int16NDArray, uint16NDArray,
                               int32NDArray, uint32NDArray, int64NDArray, uint64NDArray, boolNDArray,
                               octave_scalar_map>;

    // The data are taken while `array` is their only owner: Octave's array
    // classes have no move constructor, so the copy into the variant shares
    // them, and fortran_vec on a shared array would copy them all (twice
    // the memory, and a filled copy).
    template <class A>
    explicit Result(A array) : data_(writable_data(array)), array_(std::move(array))
    {
    }

    void* data() const { return data_; }
    octave_scalar_map& structure() { return std::get<octave_scalar_map>(array_); }
    octave_value value() const
    {
        return std::visit([](const auto& array) { return octave_value(array); }, array_);
    }

private:
    template <class A>
    static void* writable_data(A& array)
    {
        if constexpr (std::is_same_v<A, octave_scalar_map>) return nullptr;
        else return array.fortran_vec();
    }

    void* data_;
    Array array_;
};

namespace raw {

inline void* data(Result& result)
{
    return result.data();
}

}  // namespace raw

// A 1 x 1 structure with the given fields, each an empty matrix until set.
inline Result create_structure(const char* const* field_names, int field_count)
{
    octave_scalar_map structure;
    for (int k = 0; k < field_count; ++k) structure.assign(field_names[k], Matrix());
    return Result(structure);
}

// Sets a field of a structure made by create_structure.
inline void set_field(Result& structure, const char* name, const Result& value)
{
    structure.structure().assign(name, value.value());
}

namespace octave_detail {

template <class A>
Result new_array(const dim_vector& dims, Fill fill)
{
    if (fill == Fill::zeros) return Result(A(dims, typename A::element_type()));
    return Result(image_array<A>(dims));
}

}  // namespace octave_detail

// A real array of a numeric class or logical, of `count` dimensions (at
// least 2), dimension k being dimension_at(k): zero-filled, or, should the
// fill not be needed, taken unfilled (Octave 7 and later; image_array).
template <class DimensionAt>
inline Result create_array(ArrayClass elements, int64_t count, const DimensionAt& dimension_at, Fill fill)
{
    dim_vector dims;
    dims.resize(static_cast<int>(count));
    for (int64_t k = 0; k < count; ++k) dims(static_cast<int>(k)) = static_cast<octave_idx_type>(dimension_at(k));
    switch (elements) {
    case ArrayClass::single:
        return octave_detail::new_array<FloatNDArray>(dims, fill);
    case ArrayClass::int8:
        return octave_detail::new_array<int8NDArray>(dims, fill);
    case ArrayClass::uint8:
        return octave_detail::new_array<uint8NDArray>(dims, fill);
    case ArrayClass::int16:
        return octave_detail::new_array<int16NDArray>(dims, fill);
    case ArrayClass::uint16:
        return octave_detail::new_array<uint16NDArray>(dims, fill);
    case ArrayClass::int32:
        return octave_detail::new_array<int32NDArray>(dims, fill);
    case ArrayClass::uint32:
        return octave_detail::new_array<uint32NDArray>(dims, fill);
    case ArrayClass::int64:
        return octave_detail::new_array<int64NDArray>(dims, fill);
    case ArrayClass::uint64:
        return octave_detail::new_array<uint64NDArray>(dims, fill);
    case ArrayClass::logical:
        return octave_detail::new_array<boolNDArray>(dims, fill);
    default:
        return octave_detail::new_array<NDArray>(dims, fill);
    }
}

// How many copies of a result the host holds at once while taking it over,
// for ensure_memory: Octave takes an oct-file's array as it is.
inline double result_copies_at_handover()
{
    return 1.0;
}

// One call of a module: its arguments, the results asked for and handed
// over, and memory that lasts as long as the call.
class Call {
public:
    Call(const octave_value_list& arguments, int results_requested)
        : arguments_(arguments), results_requested_(results_requested)
    {
        for (octave_idx_type k = 0; k < arguments_.length(); ++k) arguments_(k) = octave_detail::plain(arguments_(k));
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    int argument_count() const { return static_cast<int>(arguments_.length()); }
    // Argument k, for k below argument_count().
    Value argument(int k) const { return arguments_(k); }
    int results_requested() const { return results_requested_; }
    void set_result(int k, const Result& result) { results_(k) = result.value(); }
    const octave_value_list& results() const { return results_; }

    // Memory for count elements (count >= 1) of a plain type until the call
    // returns, also when it ends in an error.
    template <class T>
    T* temporary(int64_t count)
    {
        temporaries_.emplace_back(new char[static_cast<size_t>(count) * sizeof(T)]);
        return reinterpret_cast<T*>(temporaries_.back().get());
    }

private:
    octave_value_list arguments_;
    int results_requested_;
    octave_value_list results_;
    std::vector<std::unique_ptr<char[]>> temporaries_;
};

// Octave's interrupt flags, for host/long_call.h: octave_interrupt_state
// (> 0: an interrupt is pending; < 0: being handled), octave_signal_caught
// (some signal waits for the interpreter) and octave_handle_signal, used as
// Octave's own octave_quit uses them.
namespace signals {

inline void look_up() {}

inline bool interrupt_pending() noexcept
{
    return octave_interrupt_state > 0;
}

inline bool interrupt_being_handled() noexcept
{
    return octave_interrupt_state < 0;
}

inline void set_interrupt_pending(bool pending) noexcept
{
    octave_interrupt_state = pending ? 1 : 0;
}

inline bool signal_caught() noexcept
{
    return octave_signal_caught;
}

inline void clear_caught_signal() noexcept
{
    octave_signal_caught = 0;
}

// May throw what Octave raises in response (its exit on SIGTERM).
inline void handle_signals()
{
    octave_handle_signal();
}

}  // namespace signals

inline void flush_console()
{
    octave::flush_stdout();
}

}  // namespace host

// The module's entry point: the oct-file function NAME, running
// entry(host::Call&); its help is read from NAME.m when the module is loaded.
// Octave's arrays allocate in code inlined into the module: memory refused
// anywhere in the call (std::bad_alloc) becomes the module's own
// NAME:outOfMemory error, as the kernels' does through run_kernel.
#define HOST_ENTRY(name, entry)                                         \
    DEFUN_DLD(name, args, nargout, host::help_beside_module(#name))     \
    {                                                                   \
        host::octave_detail::function_name() = #name;                   \
        try {                                                           \
            host::Call call(args, nargout);                             \
            entry(call);                                                \
            return call.results();                                      \
        } catch (const std::bad_alloc&) {                               \
        }                                                               \
        host::fail(#name ":outOfMemory", "out of memory");              \
    }
