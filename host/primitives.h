// What a back end of the host layer supplies (host/mex_host.h,
// host/octave_host.h), and the two types they share. host/host.h derives
// everything else from these, once; a back end includes this header and
// nothing else of the layer, so that it compiles on its own.
//
// In namespace host:
//   Value, present(v)        an argument, cheap to copy; present is false for
//                            an absent one (a missing structure field)
//   array_class(v), is_sparse(v), is_complex(v)
//   dimension_count(v), element_count(v), raw::dimension(v, k)
//                            (k below dimension_count)
//   raw::data(v), raw::data(result), sparse_rows(v), sparse_starts(v),
//   sparse_capacity(v)       the elements, and a sparse array's structure
//   copy_text(v, buffer, size)
//   raw::field(v, name), raw::field_count(v), copy_field_name(v, k, ...)
//                            on a structure (raw::field: one with elements)
//   fail, warn, print, flush_console
//   Result, create_array(class, count, dimension_at, fill),
//   create_structure(names, count), set_field(structure, name, result)
//   result_copies_at_handover()
//                            how many copies of a result the host holds at
//                            once while taking it over
//   Call, HOST_ENTRY(name, entry)
//                            the arguments, the results asked for and handed
//                            over, memory for the call (Call::temporary); the
//                            module's entry point, running entry(Call&)
// In namespace host::signals, the interrupt state for host/long_call.h:
//   look_up(), interrupt_pending(), interrupt_being_handled(),
//   set_interrupt_pending(bool), signal_caught(), clear_caught_signal(),
//   handle_signals() (the host's response to a caught signal)
#pragma once

namespace host {

// Every class of value a module can meet.
enum class ArrayClass {
    double_precision,
    single,
    int8,
    uint8,
    int16,
    uint16,
    int32,
    uint32,
    int64,
    uint64,
    logical,
    text,
    structure,
    cell,
    function_handle,
    other
};

// What a new array's elements hold: zeros, or anything, for a result whose
// every element the kernel writes (a back end may then skip the fill).
enum class Fill { zeros, not_needed };

}  // namespace host
