// The Octave back end of the host layer (host/host.h includes it when
// HOST_OCTAVE is defined): GNU Octave's own C++ interface, for oct-files. A
// result is made as an Octave array and handed over as it is, where a MEX
// result is copied once more by Octave. Everything the modules see behaves as
// through the MEX back end in Octave: the same classes and shapes read, the
// same errors, warnings and messages (with the function's name in front, as
// Octave's MEX interface puts it), the same console, the same interrupt
// flags, read here directly.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
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

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

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

inline bool is_real_dense(const Value& array)
{
    return !array.iscomplex() && !array.issparse();
}

inline bool is_real_dense_double(const Value& array)
{
    return array.is_double_type() && is_real_dense(array);
}

inline bool is_real_dense_single(const Value& array)
{
    return array.is_single_type() && is_real_dense(array);
}

inline bool is_real_dense_uint8(const Value& array)
{
    return array.is_uint8_type() && is_real_dense(array);
}

// A logical array (never complex; sparse ones are refused by is_real_dense).
// Its elements are one byte each, 0 or 1: element_data<bool>.
inline bool is_logical(const Value& array)
{
    return array.islogical();
}

inline bool is_sparse(const Value& array)
{
    return array.issparse();
}

inline bool is_complex(const Value& array)
{
    return array.iscomplex();
}

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

inline bool is_text(const Value& array)
{
    return array.is_string();
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

// The element class of a real dense array; other for every other class
// (logical, char, the other integers, cells, structures...) and for complex
// or sparse arrays.
inline ElementClass element_class(const Value& array)
{
    if (!is_real_dense(array)) return ElementClass::other;
    switch (array.builtin_type()) {
    case btyp_uint8:
        return ElementClass::uint8;
    case btyp_uint16:
        return ElementClass::uint16;
    case btyp_int16:
        return ElementClass::int16;
    case btyp_float:
        return ElementClass::single;
    case btyp_double:
        return ElementClass::double_precision;
    default:
        return ElementClass::other;
    }
}

// Bytes per element of an array of a class element_class knows (8 otherwise).
inline int64_t element_size(const Value& array)
{
    switch (element_class(array)) {
    case ElementClass::uint8:
        return 1;
    case ElementClass::uint16:
    case ElementClass::int16:
        return 2;
    case ElementClass::single:
        return 4;
    default:
        return 8;
    }
}

inline bool is_empty(const Value& array)
{
    return array.isempty();
}

inline int64_t dimension_count(const Value& array)
{
    return array.ndims();
}

// Size along dimension k (counting from 0); 1 beyond the last dimension.
inline int64_t dimension(const Value& array, int64_t k)
{
    const dim_vector dims = array.dims();
    return k < dims.ndims() ? static_cast<int64_t>(dims(static_cast<int>(k))) : 1;
}

inline int64_t rows(const Value& array)
{
    return dimension(array, 0);
}

// The product of the dimensions after the first, as MEX's mxGetN gives it.
inline int64_t columns(const Value& array)
{
    const dim_vector dims = array.dims();
    int64_t count = 1;
    for (int k = 1; k < dims.ndims(); ++k) count *= dims(k);
    return count;
}

inline int64_t element_count(const Value& array)
{
    return array.numel();
}

// The elements of a real dense array, in storage order, without a copy: the
// data of the array itself (Call and struct_field make sure that every
// numeric value they give has them).
template <class E>
inline const E* element_data(const Value& array)
{
    return static_cast<const E*>(array.mex_get_data());
}

inline const double* double_data(const Value& array)
{
    return element_data<double>(array);
}

inline const float* single_data(const Value& array)
{
    return element_data<float>(array);
}

inline const uint8_t* uint8_data(const Value& array)
{
    return element_data<uint8_t>(array);
}

// Field of element 0 of a structure; absent when the array is not a
// structure, has no elements, or lacks the field.
inline Value struct_field(const Value& array, const char* name)
{
    if (!array.isstruct() || array.numel() == 0) return Value();
    const octave_map map = array.map_value();
    if (!map.isfield(name)) return Value();
    return octave_detail::plain(map.contents(name)(0));
}

// A real dense numeric or logical array, whose elements number_at reads.
inline bool is_real_numbers(const Value& array)
{
    return (array.isnumeric() || array.islogical()) && is_real_dense(array);
}

// Element k of an array is_real_numbers accepts, as a double.
inline double number_at(const Value& array, int64_t k)
{
    const octave_value element = array.fast_elem_extract(static_cast<octave_idx_type>(k));
    return element.is_defined() ? element.double_value() : array.array_value()(static_cast<octave_idx_type>(k));
}

inline bool is_structure(const Value& array)
{
    return array.isstruct();
}

// The fields of a structure (0 for any other array), and the name of field
// k, cut short to fit buffer (of size bytes, at least 1) and terminated.
inline int field_count(const Value& array)
{
    return array.isstruct() ? static_cast<int>(array.map_value().nfields()) : 0;
}

inline void copy_field_name(const Value& array, int k, char* buffer, size_t size)
{
    const std::string name = array.map_value().fieldnames()(k);
    const size_t count = name.size() < size - 1 ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), count);
    buffer[count] = '\0';
}

// An array being made: an Octave array whose data are written in place, made
// an Octave value only when it is handed over (a 1 x 1 value would otherwise
// be narrowed to a scalar before its data are written).
class Result {
public:
    using Array = std::variant<NDArray, FloatNDArray, uint8NDArray, uint16NDArray, int16NDArray, boolNDArray, octave_scalar_map>;

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

template <class E>
inline E* element_data(Result& result)
{
    return static_cast<E*>(result.data());
}

inline double* double_data(Result& result)
{
    return element_data<double>(result);
}

inline uint8_t* uint8_data(Result& result)
{
    return element_data<uint8_t>(result);
}

// A 1 x 1 structure with the given fields, each an empty matrix until set.
inline Result create_structure(const char* const* field_names, int field_count)
{
    octave_scalar_map structure;
    for (int k = 0; k < field_count; ++k) structure.assign(field_names[k], Matrix());
    return Result(structure);
}

// Sets a field of a structure made by create_structure to a scalar: a real
// double, a uint32 (which prints as the whole number it is) or a logical.
inline void set_scalar_field(Result& structure, const char* name, double value)
{
    structure.structure().assign(name, value);
}

inline void set_uint32_field(Result& structure, const char* name, uint32_t value)
{
    structure.structure().assign(name, octave_uint32(value));
}

inline void set_logical_field(Result& structure, const char* name, bool value)
{
    structure.structure().assign(name, octave_value(value));
}

// A zero-filled column of doubles.
inline Result create_double_column(int64_t length)
{
    return Result(NDArray(dim_vector(static_cast<octave_idx_type>(length), 1), 0.0));
}

// A zero-filled real double array of rows x columns x pages (two dimensions
// when pages is 1).
inline Result create_double_array(int64_t rows, int64_t columns, int64_t pages)
{
    const auto r = static_cast<octave_idx_type>(rows);
    const auto c = static_cast<octave_idx_type>(columns);
    const auto p = static_cast<octave_idx_type>(pages);
    return Result(NDArray(pages == 1 ? dim_vector(r, c) : dim_vector(r, c, p), 0.0));
}

// Sets a field of a structure made by create_structure to a rows x columns
// double matrix of values (column-major), or to another such structure.
inline void set_matrix_field(Result& structure, const char* name, const double* values, int64_t rows, int64_t columns)
{
    Matrix matrix(static_cast<octave_idx_type>(rows), static_cast<octave_idx_type>(columns));
    if (rows * columns > 0) std::memcpy(matrix.fortran_vec(), values, static_cast<size_t>(rows * columns) * sizeof(double));
    structure.structure().assign(name, matrix);
}

inline void set_structure_field(Result& structure, const char* name, const Result& inner)
{
    structure.structure().assign(name, inner.value());
}

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

// An image result: rows x columns of uint8, not zero-filled (Octave 7 and
// later): the kernel writes every element.
inline Result create_uint8_matrix(int64_t rows, int64_t columns)
{
    return Result(octave_detail::image_array<uint8NDArray>(
        dim_vector(static_cast<octave_idx_type>(rows), static_cast<octave_idx_type>(columns))));
}

// An image result of the class of `shape` (one element_class knows, or
// logical), rows x columns x (the dimensions of `shape` after its second),
// not zero-filled (Octave 7 and later): the kernel writes every element.
inline Result create_resized(const Value& shape, int64_t rows, int64_t columns)
{
    dim_vector dims = shape.dims();
    dims(0) = static_cast<octave_idx_type>(rows);
    dims(1) = static_cast<octave_idx_type>(columns);
    if (shape.islogical()) return Result(octave_detail::image_array<boolNDArray>(dims));
    switch (element_class(shape)) {
    case ElementClass::uint8:
        return Result(octave_detail::image_array<uint8NDArray>(dims));
    case ElementClass::uint16:
        return Result(octave_detail::image_array<uint16NDArray>(dims));
    case ElementClass::int16:
        return Result(octave_detail::image_array<int16NDArray>(dims));
    case ElementClass::single:
        return Result(octave_detail::image_array<FloatNDArray>(dims));
    default:
        return Result(octave_detail::image_array<NDArray>(dims));
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

inline bool signal_waiting() noexcept
{
    return octave_signal_caught;
}

inline void respond_to_signals()
{
    octave_signal_caught = 0;
    octave_handle_signal();
}

inline bool interrupt_being_handled() noexcept
{
    return octave_interrupt_state < 0;
}

inline void set_interrupt_pending(bool pending) noexcept
{
    octave_interrupt_state = pending ? 1 : 0;
    if (!pending) octave_signal_caught = 0;
}

inline void flush_console()
{
    octave::flush_stdout();
}

}  // namespace signals

namespace octave_detail {

// Where this module's file lies: the help file NAME.m is beside it.
inline std::string module_folder()
{
    static const char marker = 0;
#if defined(_WIN32)
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &marker, &module) ||
        GetModuleFileNameA(module, path, MAX_PATH) == 0) {
        return "";
    }
    const std::string file = path;
    const size_t slash = file.find_last_of("\\/");
#else
    Dl_info info;
    if (dladdr(&marker, &info) == 0 || info.dli_fname == nullptr) return "";
    const std::string file = info.dli_fname;
    const size_t slash = file.find_last_of('/');
#endif
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

}  // namespace octave_detail

// The help text of function `name`: the first block of comment lines of
// NAME.m beside the module, read as Octave reads a function file's help
// (leading blanks and comment characters dropped from each line), so that
// "help NAME" shows what it shows for the MEX module. Read when Octave loads
// the module; should memory be refused then, the function loads without
// help rather than not at all.
inline std::string help_beside_module(const char* name) noexcept
{
    try {
        std::ifstream file(octave_detail::module_folder() + "/" + name + ".m");
        std::ostringstream help;
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t at = line.find_first_not_of(" \t");
            if (at == std::string::npos || (line[at] != '%' && line[at] != '#')) break;
            at = line.find_first_not_of("%#", at);
            help << (at == std::string::npos ? std::string() : line.substr(at)) << '\n';
        }
        return help.str();
    } catch (...) {
        return std::string();
    }
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
