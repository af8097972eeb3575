// What the test host (test_host.cpp, built as the interpreter DLL the
// Windows modules import) offers its driver beyond the MEX functions: values
// to and from the byte format of encode_value.m, a module call run as the
// interpreter runs it, what the call printed and raised, and the controls of
// the interrupt and memory checks. Plain C types only: the host and the
// driver each have their own C++ runtime.
#pragma once

#include <cstddef>

// The host defines mxArray itself, as Octave does; to the driver, as to the
// modules, it is opaque.
#if defined(TEST_HOST_BUILD)
class mxArray;
#include "mexproto.h"
#else
#include "mex.h"
#endif

#if defined(TEST_HOST_BUILD)
#define TEST_HOST_API __declspec(dllexport)
#else
#define TEST_HOST_API __declspec(dllimport)
#endif

extern "C" {

using MexEntry = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// How a call ended.
enum TestHostStatus {
    TEST_HOST_OK = 0,
    TEST_HOST_ERROR = 1,         // an error raised through the host (identifier and message)
    TEST_HOST_INTERRUPTED = 2,   // the host's interrupt reached the interpreter
    TEST_HOST_OUT_OF_MEMORY = 3, // the host's own allocation failed
    TEST_HOST_FOREIGN = 4        // some other C++ exception left the module
};

// One value decoded from bytes[0..size): the array, owned by the caller
// (test_host_destroy), with *used set to the bytes read; null when the bytes
// do not hold a whole value.
TEST_HOST_API mxArray* test_host_decode(const unsigned char* bytes, size_t size, size_t* used);

// A value's bytes, valid until the next call; with mask_seconds, a structure
// field named "seconds" is encoded as an empty double.
TEST_HOST_API const unsigned char* test_host_encode(const mxArray* value, int mask_seconds, size_t* size);

TEST_HOST_API void test_host_destroy(mxArray* value);

// Calls a module's entry as the interpreter does: plhs has room for
// max(nlhs, 1) results, null on entry. Arrays and mxMalloc blocks that the
// module made and did not hand over are released when the call ends; on
// anything but TEST_HOST_OK no result is left in plhs.
TEST_HOST_API int test_host_call(const char* name, MexEntry entry, int nlhs, mxArray* plhs[], int nrhs,
                                 const mxArray* prhs[]);

// Of the last call: "ok", "error IDENTIFIER\nMESSAGE" (the message as the
// interpreter gives it) or a line naming the other status; the text printed
// (warnings included, as the interpreter prints them); the identifier of the
// last warning ("" for none).
TEST_HOST_API const char* test_host_outcome();
TEST_HOST_API const char* test_host_printed(size_t* size);
TEST_HOST_API const char* test_host_last_warning();

// What Ctrl-C does in the interpreter: marks a signal caught and an
// interrupt pending. Safe from any thread.
TEST_HOST_API void test_host_raise_interrupt();
// Whether an interrupt is still pending or being handled.
TEST_HOST_API int test_host_interrupt_state();
// The n-th console flush (mexEvalString("fflush(stdout);")) from now on
// meets Ctrl-C arriving just then, as the interpreter raises it; 0: none.
TEST_HOST_API void test_host_interrupt_at_flush(int n);

// The host refuses to allocate more than this many bytes at once for an
// array or an mxMalloc block (0: no limit).
TEST_HOST_API void test_host_refuse_over(size_t bytes);

// Arrays alive now (args and results the driver holds included).
TEST_HOST_API long test_host_arrays_alive();

// A 1 x n char array of text, for the driver's own calls.
TEST_HOST_API mxArray* test_host_text(const char* text);

}  // extern "C"
