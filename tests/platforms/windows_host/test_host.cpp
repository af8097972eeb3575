// A small stand-in for GNU Octave for Windows' interpreter DLL, so that the
// Windows modules can be loaded and called under wine. It is built as the
// DLL they import (liboctinterp-10.dll), exporting the mx*/mex* functions
// they call over arrays of its own, and linked against the shared C++
// runtime as Octave is, while the modules carry their own: an error is a C++
// exception thrown here that unwinds through the module's frames to
// test_host_call, as Octave's execution_exception does. It also exports
// Octave's interrupt flags under the names the modules look up.
//
// Where Octave's behaviour shows in a result (message texts, what a
// warning prints), it is Octave 7's, which the Linux results come from.
#define OCTINTERP_DLL
#define TEST_HOST_BUILD

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "test_host_api.h"

// Octave's interrupt flags (liboctave's quit.h), where the modules find them
// by name among the process's modules. An interrupt: both set by the signal
// handler; octave_interrupt_state -1 while the interpreter handles it.
extern "C" {
__declspec(dllexport) volatile int octave_interrupt_state = 0;
__declspec(dllexport) volatile int octave_signal_caught = 0;
__declspec(dllexport) void octave_handle_signal();
}

namespace {

// What the interpreter throws for an error, and for an interrupt.
struct HostError {
    std::string identifier;
    std::string message;
};
struct HostInterrupt {};

std::atomic<long> arrays_alive{0};

size_t element_bytes(mxClassID id)
{
    switch (id) {
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS:
        return 8;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS:
        return 4;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
        return 2;
    case mxSTRUCT_CLASS:
    case mxCELL_CLASS:
        return sizeof(mxArray*);
    default:  // int8, uint8, logical, char (Octave's mxChar is char)
        return 1;
    }
}

}  // namespace

class mxArray {
public:
    mxClassID id = mxDOUBLE_CLASS;
    bool complex = false;
    bool sparse = false;
    std::vector<mwSize> dims{0, 0};
    void* real = nullptr;
    void* imaginary = nullptr;
    // Sparse: row of each stored element, and where each column's start.
    mwIndex* rows = nullptr;
    mwIndex* starts = nullptr;
    mwSize capacity = 0;
    // Structure: the field names, and element k's fields at
    // members[k * field_names.size() ...]; cell: one member per element.
    std::vector<std::string> field_names;
    std::vector<mxArray*> members;

    mxArray() { ++arrays_alive; }
    mxArray(const mxArray&) = delete;
    mxArray& operator=(const mxArray&) = delete;
    ~mxArray()
    {
        std::free(real);
        std::free(imaginary);
        std::free(rows);
        std::free(starts);
        for (mxArray* member : members) delete member;
        --arrays_alive;
    }

    mwSize count() const
    {
        mwSize product = 1;
        for (mwSize size : dims) product *= size;
        return product;
    }
};

namespace {

// The call in progress: its module's name, the arrays made and not yet put
// inside another, and the mxMalloc blocks not yet freed; what it printed and
// raised.
struct CallState {
    bool active = false;
    std::string name;
    std::set<mxArray*> loose;
    std::set<void*> blocks;
    std::string printed;
    std::string last_warning;
    std::string outcome = "ok";
    size_t refuse_over = 0;
    int flushes_until_interrupt = 0;
};
CallState state;
std::vector<unsigned char> encoded;

void check_allocation(double bytes)
{
    if (state.refuse_over > 0 && bytes > static_cast<double>(state.refuse_over)) throw std::bad_alloc();
}

void* zeroed(double count, size_t size)
{
    check_allocation(count * static_cast<double>(size));
    void* memory = std::calloc(count > 0 ? static_cast<size_t>(count) : 1, size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

// A new array of `dims` (at least two, as Octave's), its elements zeroed.
mxArray* make_array(mxClassID id, mwSize ndims, const mwSize* dims, bool complex)
{
    mxArray* array = new mxArray;
    array->id = id;
    array->complex = complex;
    array->dims.assign(dims, dims + ndims);
    while (array->dims.size() < 2) array->dims.push_back(1);
    try {
        const double count = static_cast<double>(array->count());
        if (id == mxSTRUCT_CLASS || id == mxCELL_CLASS) {
            array->members.assign(static_cast<size_t>(count), nullptr);
        } else {
            array->real = zeroed(count, element_bytes(id));
            if (complex) array->imaginary = zeroed(count, element_bytes(id));
        }
    } catch (...) {
        delete array;
        throw;
    }
    if (state.active) state.loose.insert(array);
    return array;
}

mxArray* make_matrix(mxClassID id, mwSize rows, mwSize columns, bool complex = false)
{
    const mwSize dims[2] = {rows, columns};
    return make_array(id, 2, dims, complex);
}

std::string formatted(const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    return text;
}

// Octave gives the module's name in front of its texts, and takes one
// newline off the end of an error's message (which only keeps the traceback
// away); a warning keeps it.
std::string message_of(const std::string& text)
{
    return state.name + ": " + text;
}

std::string error_message_of(const std::string& text)
{
    std::string message = message_of(text);
    if (message.back() == '\n') message.pop_back();
    return message;
}

int field_number(const mxArray* array, const char* name)
{
    for (size_t k = 0; k < array->field_names.size(); ++k) {
        if (array->field_names[k] == name) return static_cast<int>(k);
    }
    return -1;
}

// The byte format of encode_value.m.
enum Code : uint8_t {
    code_double, code_single, code_int8, code_uint8, code_int16, code_uint16, code_int32, code_uint32,
    code_int64, code_uint64, code_logical, code_char, code_struct, code_cell
};
const mxClassID class_of_code[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,   mxUINT8_CLASS, mxINT16_CLASS,
                                   mxUINT16_CLASS, mxINT32_CLASS,  mxUINT32_CLASS, mxINT64_CLASS, mxUINT64_CLASS,
                                   mxLOGICAL_CLASS, mxCHAR_CLASS,  mxSTRUCT_CLASS, mxCELL_CLASS};

uint8_t code_of(mxClassID id)
{
    for (uint8_t code = 0; code <= code_cell; ++code) {
        if (class_of_code[code] == id) return code;
    }
    return 255;
}

class Reader {
public:
    Reader(const unsigned char* bytes, size_t size) : bytes_(bytes), size_(size) {}
    size_t used() const { return at_; }
    bool take(void* out, size_t count)
    {
        if (count > size_ - at_) return false;
        std::memcpy(out, bytes_ + at_, count);
        at_ += count;
        return true;
    }
    template <class T>
    bool number(T* out)
    {
        return take(out, sizeof(T));
    }

private:
    const unsigned char* bytes_;
    size_t size_;
    size_t at_ = 0;
};

// Reads one value; null when the bytes run out or make no sense. Made
// outside any call (the driver owns it).
mxArray* decode(Reader& in)
{
    uint8_t code = 0, flags = 0;
    uint32_t ndims = 0;
    if (!in.number(&code) || !in.number(&flags) || !in.number(&ndims) || code > code_cell || ndims < 2 || ndims > 64)
        return nullptr;
    std::vector<mwSize> dims(ndims);
    double count = 1;
    for (mwSize& size : dims) {
        uint64_t value = 0;
        if (!in.number(&value) || value > (uint64_t(1) << 40)) return nullptr;
        size = static_cast<mwSize>(value);
        count *= static_cast<double>(static_cast<int64_t>(value));
    }
    const bool complex = (flags & 1) != 0;
    const bool sparse = (flags & 2) != 0;
    const mxClassID id = class_of_code[code];
    if (count > 1e9 || (sparse && (ndims != 2 || (id != mxDOUBLE_CLASS && id != mxLOGICAL_CLASS)))) return nullptr;
    if (sparse) {
        uint64_t stored = 0;
        if (!in.number(&stored) || stored > 1000000000u) return nullptr;
        mxArray* array = new mxArray;
        array->id = id;
        array->complex = complex;
        array->sparse = true;
        array->dims = dims;
        array->capacity = static_cast<mwSize>(stored);
        const size_t columns = static_cast<size_t>(dims[1]);
        const size_t bytes = element_bytes(id);
        array->starts = static_cast<mwIndex*>(zeroed(static_cast<double>(dims[1]) + 1.0, sizeof(mwIndex)));
        array->rows = static_cast<mwIndex*>(zeroed(static_cast<double>(stored), sizeof(mwIndex)));
        array->real = zeroed(static_cast<double>(stored), bytes);
        if (complex) array->imaginary = zeroed(static_cast<double>(stored), bytes);
        if (!in.take(array->starts, (columns + 1) * sizeof(mwIndex)) || !in.take(array->rows, stored * sizeof(mwIndex)) ||
            !in.take(array->real, stored * bytes) || (complex && !in.take(array->imaginary, stored * bytes))) {
            delete array;
            return nullptr;
        }
        return array;
    }
    mxArray* array = make_array(id, static_cast<mwSize>(ndims), dims.data(), complex);
    const size_t elements = static_cast<size_t>(count);
    bool whole = true;
    if (id == mxSTRUCT_CLASS) {
        uint32_t fields = 0;
        whole = in.number(&fields) && fields < 4096;
        for (uint32_t k = 0; whole && k < fields; ++k) {
            uint32_t length = 0;
            whole = in.number(&length) && length < 4096;
            std::string name(whole ? length : 0, '\0');
            whole = whole && in.take(&name[0], length);
            array->field_names.push_back(name);
        }
        if (whole) array->members.assign(elements * fields, nullptr);
        for (size_t k = 0; whole && k < array->members.size(); ++k) whole = (array->members[k] = decode(in)) != nullptr;
    } else if (id == mxCELL_CLASS) {
        for (size_t k = 0; whole && k < elements; ++k) whole = (array->members[k] = decode(in)) != nullptr;
    } else if (id == mxCHAR_CLASS) {
        for (size_t k = 0; whole && k < elements; ++k) {
            uint16_t unit = 0;
            whole = in.number(&unit);
            static_cast<char*>(array->real)[k] = static_cast<char>(unit);
        }
    } else {
        const size_t bytes = elements * element_bytes(id);
        whole = in.take(array->real, bytes) && (!complex || in.take(array->imaginary, bytes));
    }
    if (!whole) {
        delete array;
        return nullptr;
    }
    return array;
}

void put(const void* data, size_t count)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    encoded.insert(encoded.end(), bytes, bytes + count);
}

template <class T>
void put_number(T value)
{
    put(&value, sizeof value);
}

void put_empty_double()
{
    put_number<uint8_t>(code_double);
    put_number<uint8_t>(0);
    put_number<uint32_t>(2);
    put_number<uint64_t>(0);
    put_number<uint64_t>(0);
}

void encode(const mxArray* array, bool mask_seconds)
{
    if (array == nullptr) {  // a field never set: Octave shows []
        put_empty_double();
        return;
    }
    put_number<uint8_t>(code_of(array->id));
    put_number<uint8_t>(static_cast<uint8_t>((array->complex ? 1 : 0) | (array->sparse ? 2 : 0)));
    // Octave drops trailing singleton dimensions beyond the second.
    size_t ndims = array->dims.size();
    while (ndims > 2 && array->dims[ndims - 1] == 1) --ndims;
    put_number<uint32_t>(static_cast<uint32_t>(ndims));
    for (size_t k = 0; k < ndims; ++k) put_number<uint64_t>(static_cast<uint64_t>(array->dims[k]));
    const size_t bytes = element_bytes(array->id);
    if (array->sparse) {
        const size_t columns = static_cast<size_t>(array->dims[1]);
        const size_t stored = static_cast<size_t>(array->starts[columns]);
        put_number<uint64_t>(stored);
        put(array->starts, (columns + 1) * sizeof(mwIndex));
        put(array->rows, stored * sizeof(mwIndex));
        put(array->real, stored * bytes);
        if (array->complex) put(array->imaginary, stored * bytes);
        return;
    }
    const size_t elements = static_cast<size_t>(array->count());
    if (array->id == mxSTRUCT_CLASS) {
        const size_t fields = array->field_names.size();
        put_number<uint32_t>(static_cast<uint32_t>(fields));
        for (const std::string& name : array->field_names) {
            put_number<uint32_t>(static_cast<uint32_t>(name.size()));
            put(name.data(), name.size());
        }
        for (size_t k = 0; k < elements; ++k) {
            for (size_t f = 0; f < fields; ++f) {
                if (mask_seconds && array->field_names[f] == "seconds") {
                    put_empty_double();
                } else {
                    encode(array->members[k * fields + f], mask_seconds);
                }
            }
        }
    } else if (array->id == mxCELL_CLASS) {
        for (size_t k = 0; k < elements; ++k) encode(array->members[k], mask_seconds);
    } else if (array->id == mxCHAR_CLASS) {
        for (size_t k = 0; k < elements; ++k)
            put_number<uint16_t>(static_cast<unsigned char>(static_cast<const char*>(array->real)[k]));
    } else {
        put(array->real, elements * bytes);
        if (array->complex) put(array->imaginary, elements * bytes);
    }
}

}  // namespace

// ------------------------------------------------------------ MEX functions

extern "C" {

void octave_handle_signal()
{
    if (octave_interrupt_state > 0) {
        octave_interrupt_state = -1;
        throw HostInterrupt();
    }
}

void mexErrMsgIdAndTxt(const char* id, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatted(format, arguments);
    va_end(arguments);
    throw HostError{id != nullptr ? id : "", error_message_of(text)};
}

void mexWarnMsgIdAndTxt(const char* id, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatted(format, arguments);
    va_end(arguments);
    state.printed += "warning: " + message_of(text) + "\n";
    state.last_warning = id != nullptr ? id : "";
}

int mexPrintf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string text = formatted(format, arguments);
    va_end(arguments);
    state.printed += text;
    return static_cast<int>(text.size());
}

// The modules evaluate only the console flush. The interpreter checks for
// Ctrl-C between statements: one pending (or arriving now, as the check
// arranges) is raised from here.
int mexEvalString(const char* command)
{
    if (std::strcmp(command, "fflush(stdout);") != 0) return 1;
    if (state.flushes_until_interrupt > 0 && --state.flushes_until_interrupt == 0) test_host_raise_interrupt();
    if (octave_signal_caught != 0) {
        octave_signal_caught = 0;
        octave_handle_signal();
    }
    return 0;
}

void* mxMalloc(size_t n)
{
    if (state.refuse_over > 0 && n > state.refuse_over) {
        throw HostError{"", error_message_of("failed to allocate " + std::to_string(n) + " bytes of memory")};
    }
    void* block = std::malloc(n > 0 ? n : 1);
    if (block == nullptr) throw std::bad_alloc();
    if (state.active) state.blocks.insert(block);
    return block;
}

void mxFree(void* block)
{
    state.blocks.erase(block);
    std::free(block);
}

mxArray* mxCreateNumericArray(mwSize ndims, const mwSize* dims, mxClassID id, mxComplexity complexity)
{
    return make_array(id, ndims, dims, complexity == mxCOMPLEX);
}

mxArray* mxCreateNumericMatrix(mwSize rows, mwSize columns, mxClassID id, mxComplexity complexity)
{
    return make_matrix(id, rows, columns, complexity == mxCOMPLEX);
}

mxArray* mxCreateDoubleMatrix(mwSize rows, mwSize columns, mxComplexity complexity)
{
    return make_matrix(mxDOUBLE_CLASS, rows, columns, complexity == mxCOMPLEX);
}

mxArray* mxCreateDoubleScalar(double value)
{
    mxArray* array = make_matrix(mxDOUBLE_CLASS, 1, 1);
    *static_cast<double*>(array->real) = value;
    return array;
}

mxArray* mxCreateLogicalArray(mwSize ndims, const mwSize* dims)
{
    return make_array(mxLOGICAL_CLASS, ndims, dims, false);
}

mxArray* mxCreateLogicalScalar(mxLogical value)
{
    mxArray* array = make_matrix(mxLOGICAL_CLASS, 1, 1);
    *static_cast<unsigned char*>(array->real) = value ? 1 : 0;
    return array;
}

mxArray* test_host_text(const char* text)
{
    const mwSize length = static_cast<mwSize>(std::strlen(text));
    mxArray* array = make_matrix(mxCHAR_CLASS, 1, length);
    std::memcpy(array->real, text, static_cast<size_t>(length));
    return array;
}

mxArray* mxCreateStructMatrix(mwSize rows, mwSize columns, int field_count, const char** field_names)
{
    mxArray* array = make_matrix(mxSTRUCT_CLASS, rows, columns);
    array->field_names.assign(field_names, field_names + field_count);
    array->members.assign(static_cast<size_t>(array->count()) * static_cast<size_t>(field_count), nullptr);
    return array;
}

mxClassID mxGetClassID(const mxArray* array) { return array->id; }
void* mxGetData(const mxArray* array) { return array->real; }
const mwSize* mxGetDimensions(const mxArray* array) { return array->dims.data(); }
size_t mxGetElementSize(const mxArray* array) { return element_bytes(array->id); }
mwSize mxGetNumberOfDimensions(const mxArray* array) { return static_cast<mwSize>(array->dims.size()); }
size_t mxGetNumberOfElements(const mxArray* array) { return static_cast<size_t>(array->count()); }
size_t mxGetM(const mxArray* array) { return static_cast<size_t>(array->dims[0]); }
size_t mxGetN(const mxArray* array)
{
    mwSize columns = 1;
    for (size_t k = 1; k < array->dims.size(); ++k) columns *= array->dims[k];
    return static_cast<size_t>(columns);
}
mwIndex* mxGetIr(const mxArray* array) { return array->rows; }
mwIndex* mxGetJc(const mxArray* array) { return array->starts; }
mwSize mxGetNzmax(const mxArray* array) { return array->capacity; }
bool mxIsChar(const mxArray* array) { return array->id == mxCHAR_CLASS; }
bool mxIsComplex(const mxArray* array) { return array->complex; }
bool mxIsDouble(const mxArray* array) { return array->id == mxDOUBLE_CLASS; }
bool mxIsEmpty(const mxArray* array) { return array->count() == 0; }
bool mxIsLogical(const mxArray* array) { return array->id == mxLOGICAL_CLASS; }
bool mxIsNumeric(const mxArray* array) { return array->id >= mxDOUBLE_CLASS && array->id <= mxUINT64_CLASS; }
bool mxIsSingle(const mxArray* array) { return array->id == mxSINGLE_CLASS; }
bool mxIsSparse(const mxArray* array) { return array->sparse; }
bool mxIsStruct(const mxArray* array) { return array->id == mxSTRUCT_CLASS; }
bool mxIsUint8(const mxArray* array) { return array->id == mxUINT8_CLASS; }
int mxGetNumberOfFields(const mxArray* array) { return static_cast<int>(array->field_names.size()); }

const char* mxGetFieldNameByNumber(const mxArray* array, int k)
{
    if (k < 0 || static_cast<size_t>(k) >= array->field_names.size()) return nullptr;
    return array->field_names[static_cast<size_t>(k)].c_str();
}

// Octave's raises an error for anything but a structure, as here.
mxArray* mxGetField(const mxArray* array, mwIndex index, const char* name)
{
    if (array->id != mxSTRUCT_CLASS) throw HostError{"", error_message_of("invalid type for operation")};
    const int field = field_number(array, name);
    if (field < 0 || index < 0 || index >= array->count()) return nullptr;
    return array->members[static_cast<size_t>(index) * array->field_names.size() + static_cast<size_t>(field)];
}

void mxSetField(mxArray* array, mwIndex index, const char* name, mxArray* value)
{
    const int field = field_number(array, name);
    if (array->id != mxSTRUCT_CLASS || field < 0 || index < 0 || index >= array->count()) return;
    mxArray*& member = array->members[static_cast<size_t>(index) * array->field_names.size() + static_cast<size_t>(field)];
    if (member != value) delete member;
    member = value;
    state.loose.erase(value);
}

// As Octave's: text that does not fit, terminator included, is not copied
// at all (MATLAB's copies what fits).
int mxGetString(const mxArray* array, char* buffer, mwSize size)
{
    const size_t length = static_cast<size_t>(array->count());
    if (array->id != mxCHAR_CLASS || size <= 0 || length >= static_cast<size_t>(size)) return 1;
    std::memcpy(buffer, array->real, length);
    buffer[length] = '\0';
    return 0;
}

// ------------------------------------------------------------ for the driver

mxArray* test_host_decode(const unsigned char* bytes, size_t size, size_t* used)
{
    Reader in(bytes, size);
    mxArray* value = decode(in);
    *used = in.used();
    return value;
}

const unsigned char* test_host_encode(const mxArray* value, int mask_seconds, size_t* size)
{
    encoded.clear();
    encode(value, mask_seconds != 0);
    *size = encoded.size();
    return encoded.data();
}

void test_host_destroy(mxArray* value) { delete value; }

int test_host_call(const char* name, MexEntry entry, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    state.active = true;
    state.name = name;
    state.printed.clear();
    state.last_warning.clear();
    int status = TEST_HOST_OK;
    try {
        entry(nlhs, plhs, nrhs, prhs);
        for (int k = 0; k < nlhs; ++k) {
            if (plhs[k] == nullptr) throw HostError{"Octave:undefined-function", "value on right hand side of assignment undefined"};
        }
        state.outcome = "ok";
    } catch (const HostError& error) {
        status = TEST_HOST_ERROR;
        state.outcome = "error " + error.identifier + "\n" + error.message;
    } catch (const HostInterrupt&) {
        status = TEST_HOST_INTERRUPTED;
        state.outcome = "interrupted";
        octave_interrupt_state = 0;
    } catch (const std::bad_alloc&) {
        status = TEST_HOST_OUT_OF_MEMORY;
        state.outcome = "error Octave:bad-alloc\nout of memory or dimension too large for Octave's index type";
    } catch (...) {
        status = TEST_HOST_FOREIGN;
        state.outcome = "a C++ exception other than the host's left the module";
    }
    const int slots = nlhs > 1 ? nlhs : 1;
    for (int k = 0; k < slots; ++k) {
        if (status != TEST_HOST_OK) {
            plhs[k] = nullptr;  // released with the other loose arrays
        } else if (plhs[k] != nullptr) {
            state.loose.erase(plhs[k]);
        }
    }
    for (mxArray* array : state.loose) delete array;
    state.loose.clear();
    for (void* block : state.blocks) std::free(block);
    state.blocks.clear();
    state.active = false;
    return status;
}

const char* test_host_outcome() { return state.outcome.c_str(); }

const char* test_host_printed(size_t* size)
{
    *size = state.printed.size();
    return state.printed.data();
}

const char* test_host_last_warning() { return state.last_warning.c_str(); }

void test_host_raise_interrupt()
{
    octave_signal_caught = 1;
    if (octave_interrupt_state >= 0) octave_interrupt_state = octave_interrupt_state + 1;
}

int test_host_interrupt_state() { return octave_interrupt_state; }
void test_host_interrupt_at_flush(int n) { state.flushes_until_interrupt = n; }
void test_host_refuse_over(size_t bytes) { state.refuse_over = bytes; }
long test_host_arrays_alive() { return arrays_alive.load(); }

}  // extern "C"
