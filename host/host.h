// The host layer: the one place where the modules meet the host (GNU Octave
// or MATLAB). Each module's entry is written once against it, and built with
// one of two back ends:
// - host/mex_host.h (default): the MEX interface, for MATLAB and for Octave's
//   MEX modules (.mex, .mexa64, .mexw64...);
// - host/octave_host.h (HOST_OCTAVE defined): Octave's own C++ interface, for
//   oct-files (.oct), whose results Octave takes over without the copy that
//   it makes of every MEX result.
//
// Both define, in namespace host, the same types and operations:
//   Value                    an argument, cheap to copy; present(v) is false
//                            for an absent one (a missing structure field)
//   Result                   an array being made: its data are written, then it
//                            is handed to the host with Call::set_result
//   Call                     the arguments, the results asked for, the results
//                            handed over, memory for the call
//   HOST_ENTRY(name, entry)  the module's entry point: runs entry(Call&)
//   fail, warn, print        errors and warnings with identifiers, console output
//   is_*, rows, columns, element_count, dimension_count, dimension,
//   element_class, element_size, element_data, double_data, single_data,
//   uint8_data, copy_text, is_logical, is_structure, struct_field, field_count,
//   copy_field_name, is_real_numbers, number_at, is_sparse, is_complex,
//   sparse_rows, sparse_starts, sparse_capacity
//                            what an argument is, and its elements
//   create_double_column, create_double_array, create_structure,
//   set_scalar_field, set_uint32_field, set_logical_field, set_matrix_field,
//   set_structure_field
//                            results, zero-filled (fields empty until set)
//   create_uint8_matrix, create_resized
//                            image results, whose every element the kernel
//                            writes: zero-filled in the MEX back end, not
//                            filled in the oct-file back end (Octave 7 and
//                            later)
//   result_copies_at_handover
//                            how many copies of a result the host holds at
//                            once while taking it over
//   interrupt primitives     for host/long_call.h
// and the operations below (read_scalar, run_kernel, ensure_memory) are
// written once over them.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/message.h"

namespace host {

// The classes whose real dense arrays a module may read and write as plain
// arrays of one C++ element type.
enum class ElementClass { uint8, uint16, int16, single, double_precision, other };

// What read_scalar found.
enum class ScalarValue { absent, empty, unreadable, present };

}  // namespace host

#if defined(HOST_OCTAVE)
#include "host/octave_host.h"
#else
#include "host/mex_host.h"
#endif

namespace host {

// Reads the first element of a value as a double. Real dense numeric and
// logical values of any class are read by value; an empty value is reported
// as such, and anything else (text, cells, structures, complex or sparse
// values) as unreadable.
inline ScalarValue read_scalar(const Value& value, double* out)
{
    if (!present(value)) return ScalarValue::absent;
    if (is_empty(value)) return ScalarValue::empty;
    if (!is_real_numbers(value)) return ScalarValue::unreadable;
    *out = number_at(value, 0);
    return ScalarValue::present;
}

// Copies text for a message: cut short to fit buffer (of at least 4 bytes),
// its last three characters then "...", so that a name too long for the
// buffer still shows how it begins.
inline void copy_text_for_message(const Value& value, char* buffer, size_t size)
{
    if (!copy_text(value, buffer, size)) std::memcpy(buffer + size - 4, "...", 4);
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

}  // namespace host

#include "host/long_call.h"
