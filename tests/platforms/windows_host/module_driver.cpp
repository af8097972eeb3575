// Loads the Windows modules (NAME.mexw64) with LoadLibrary into a process
// whose interpreter DLL is the test host (test_host.cpp), and calls them.
//
//   module_driver.exe replay MODULE_DIR CASES.bin RESULTS.bin
//       makes every call of CASES.bin (record_cases.m: the calls of the
//       Octave host tests) and writes each outcome in the results format of
//       encode_value.m, for compare_host_results.m to hold against the
//       Linux modules' outcomes;
//   module_driver.exe checks MODULE_DIR
//       Ctrl-C during long linsvm_fit calls (from another thread, and
//       arriving while the module flushes its progress lines), and results
//       the host refuses to allocate.
//
// A case recorded while the Linux modules' own allocations were refused
// (REFUSE_MODULE_MEMORY "all", or "workers": threads other than the calling
// one) is run with the module's operator new refused: the module's import
// of malloc is pointed here, and refused to calls from operator new.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/windows_headers.h"
#include "test_host_api.h"

namespace {

// A Unix path as wine's Z: drive sees it.
std::string windows_path(const std::string& path)
{
    std::string converted = path[0] == '/' ? "Z:" + path : path;
    for (char& c : converted) {
        if (c == '/') c = '\\';
    }
    return converted;
}

// A whole file (a Unix or a Windows path).
std::vector<unsigned char> read_file(const char* path)
{
    std::vector<unsigned char> bytes;
    if (FILE* file = std::fopen(windows_path(path).c_str(), "rb")) {
        unsigned char buffer[65536];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

// ------------------------------------------------- the modules' allocations

// As on Linux, where a preloaded allocator refuses operator new to the
// modules' code, the refusal is of the module's own operator new: the
// modules carry their C++ runtime, so its malloc calls from inside the
// module's operator new are refused, and no others (the runtime's own, for
// thread-local storage or exceptions, must go on working).
enum class Refusal { none, all, workers };
std::atomic<Refusal> refusal{Refusal::none};
DWORD calling_thread = 0;

struct CodeRange {
    HMODULE module;
    uintptr_t begin, end;
};
std::vector<CodeRange> operator_new_code;

bool refused(const void* caller)
{
    const Refusal mode = refusal.load();
    if (mode == Refusal::none || (mode == Refusal::workers && GetCurrentThreadId() == calling_thread)) return false;
    const uintptr_t at = reinterpret_cast<uintptr_t>(caller);
    for (const CodeRange& range : operator_new_code) {
        if (at >= range.begin && at < range.end) return true;
    }
    return false;
}

void* refusing_malloc(size_t size)
{
    return refused(__builtin_return_address(0)) ? nullptr : std::malloc(size);
}

// The aligned forms of operator new allocate with _aligned_malloc.
void* refusing_aligned_malloc(size_t size, size_t alignment)
{
    return refused(__builtin_return_address(0)) ? nullptr : _aligned_malloc(size, alignment);
}

// Where the module's operator new (_Znwy: operator new(size_t); the array
// and aligned forms call it or have their own symbol) lies, from the COFF
// symbol table of its file: from its address to the next symbol's.
bool find_operator_new(const std::string& path, HMODULE module)
{
    const std::vector<unsigned char> file = read_file(path.c_str());
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file.data() + dos->e_lfanew);
    const IMAGE_FILE_HEADER& header = nt->FileHeader;
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    const size_t symbols_at = header.PointerToSymbolTable;
    const size_t count = header.NumberOfSymbols;
    if (symbols_at == 0 || symbols_at + count * IMAGE_SIZEOF_SYMBOL > file.size()) return false;
    const char* strings = reinterpret_cast<const char*>(file.data() + symbols_at + count * IMAGE_SIZEOF_SYMBOL);
    std::vector<uintptr_t> starts;
    std::vector<uintptr_t> new_starts;
    for (size_t k = 0; k < count; ++k) {
        IMAGE_SYMBOL symbol;
        std::memcpy(&symbol, file.data() + symbols_at + k * IMAGE_SIZEOF_SYMBOL, sizeof symbol);
        if (symbol.SectionNumber > 0 && symbol.SectionNumber <= header.NumberOfSections) {
            const uintptr_t address = reinterpret_cast<uintptr_t>(module) +
                                      sections[symbol.SectionNumber - 1].VirtualAddress + symbol.Value;
            starts.push_back(address);
            const std::string name = symbol.N.Name.Short != 0
                                         ? std::string(reinterpret_cast<const char*>(symbol.N.ShortName),
                                                       strnlen(reinterpret_cast<const char*>(symbol.N.ShortName), 8))
                                         : std::string(strings + symbol.N.Name.Long);
            if (name.compare(0, 5, "_Znwy") == 0 || name.compare(0, 5, "_Znay") == 0) new_starts.push_back(address);
        }
        k += symbol.NumberOfAuxSymbols;
    }
    for (uintptr_t begin : new_starts) {
        uintptr_t end = UINTPTR_MAX;
        for (uintptr_t start : starts) {
            if (start > begin && start < end) end = start;
        }
        operator_new_code.push_back({module, begin, end});
    }
    return !new_starts.empty();
}

// Points the module's imports of the C runtime's malloc and _aligned_malloc
// at the refusing ones.
bool hook_malloc(HMODULE module)
{
    unsigned char* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    bool hooked_malloc = false;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name != 0; ++dll) {
        if (_stricmp(reinterpret_cast<const char*>(base + dll->Name), "msvcrt.dll") != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(
            base + (dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
            const char* name =
                reinterpret_cast<const char*>(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            const bool is_malloc = std::strcmp(name, "malloc") == 0;
            if (!is_malloc && std::strcmp(name, "_aligned_malloc") != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            slots->u1.Function = is_malloc ? reinterpret_cast<ULONGLONG>(refusing_malloc)
                                           : reinterpret_cast<ULONGLONG>(refusing_aligned_malloc);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            hooked_malloc = hooked_malloc || is_malloc;
        }
    }
    return hooked_malloc;
}

// ------------------------------------------------------------ the modules

std::string module_dir;
struct Loaded {
    HMODULE module;
    MexEntry entry;
};
std::map<std::string, Loaded> loaded;

MexEntry module_entry(const std::string& name)
{
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second.entry;
    const std::string path = windows_path(module_dir + "/" + name + ".mexw64");
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "module_driver: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
        std::exit(2);
    }
    auto entry = reinterpret_cast<MexEntry>(reinterpret_cast<void*>(GetProcAddress(module, "mexFunction")));
    if (entry == nullptr || !find_operator_new(path, module) || !hook_malloc(module)) {
        std::fprintf(stderr, "module_driver: %s lacks mexFunction, operator new's symbol or malloc's import\n", path.c_str());
        std::exit(2);
    }
    loaded[name] = Loaded{module, entry};
    return entry;
}

// Unloads a module, as "clear NAME" does, so that its next call starts as
// its first (which is where some modules allocate).
void unload(const std::string& name)
{
    auto found = loaded.find(name);
    if (found == loaded.end()) return;
    const HMODULE module = found->second.module;
    FreeLibrary(module);
    loaded.erase(found);
    for (size_t k = operator_new_code.size(); k-- > 0;) {
        if (operator_new_code[k].module == module) operator_new_code.erase(operator_new_code.begin() + static_cast<std::ptrdiff_t>(k));
    }
}

// A call's results: max(nargout, 1) slots; destroyed with the object.
struct Results {
    std::vector<mxArray*> slots;
    explicit Results(int nargout) : slots(static_cast<size_t>(nargout > 1 ? nargout : 1), nullptr) {}
    Results(const Results&) = delete;
    Results& operator=(const Results&) = delete;
    ~Results()
    {
        for (mxArray* value : slots) test_host_destroy(value);
    }
};

int call(const std::string& name, int nargout, Results& results, const std::vector<mxArray*>& arguments)
{
    std::vector<const mxArray*> prhs(arguments.begin(), arguments.end());
    return test_host_call(name.c_str(), module_entry(name), nargout, results.slots.data(),
                          static_cast<int>(prhs.size()), prhs.data());
}

// ------------------------------------------------------------ replay

class CaseReader {
public:
    explicit CaseReader(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}
    bool ok() const { return ok_; }
    template <class T>
    T number()
    {
        T value{};
        if (bytes_.size() - at_ < sizeof value) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    std::string text()
    {
        const uint32_t length = number<uint32_t>();
        if (!ok_ || bytes_.size() - at_ < length) {
            ok_ = false;
            return std::string();
        }
        std::string value(reinterpret_cast<const char*>(bytes_.data() + at_), length);
        at_ += length;
        return value;
    }
    mxArray* value()
    {
        size_t used = 0;
        mxArray* decoded = ok_ ? test_host_decode(bytes_.data() + at_, bytes_.size() - at_, &used) : nullptr;
        if (decoded == nullptr) ok_ = false;
        at_ += used;
        return decoded;
    }

private:
    std::vector<unsigned char> bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

class ResultWriter {
public:
    explicit ResultWriter(const char* path) : file_(std::fopen(windows_path(path).c_str(), "wb")) {}
    ~ResultWriter()
    {
        if (file_ != nullptr) std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    void bytes(const void* data, size_t size) { std::fwrite(data, 1, size, file_); }
    template <class T>
    void number(T value)
    {
        bytes(&value, sizeof value);
    }
    void part(const void* data, size_t size)
    {
        number<uint64_t>(size);
        bytes(data, size);
    }

private:
    FILE* file_;
};

int replay(const char* cases_path, const char* results_path)
{
    CaseReader in(read_file(cases_path));
    char magic[9] = {};
    for (int k = 0; k < 8; ++k) magic[k] = static_cast<char>(in.number<uint8_t>());
    const uint32_t version = in.number<uint32_t>();
    const uint32_t count = in.number<uint32_t>();
    if (!in.ok() || std::strcmp(magic, "MEXCASES") != 0 || version != 1) {
        std::fprintf(stderr, "module_driver: %s is not a cases file\n", cases_path);
        return 2;
    }
    ResultWriter out(results_path);
    if (!out.ok()) {
        std::fprintf(stderr, "module_driver: cannot write %s\n", results_path);
        return 2;
    }
    out.bytes("MEXRESLT", 8);
    out.number<uint32_t>(1);
    out.number<uint32_t>(count);
    std::map<std::string, int> per_module;
    for (uint32_t index = 0; index < count; ++index) {
        const std::string label = in.text();
        const std::string name = in.text();
        const int32_t nargout = in.number<int32_t>();
        const std::string refuse = in.text();
        const uint32_t nargin = in.number<uint32_t>();
        std::vector<mxArray*> arguments;
        for (uint32_t k = 0; k < nargin && in.ok(); ++k) arguments.push_back(in.value());
        if (!in.ok()) {
            std::fprintf(stderr, "module_driver: case %u of %s is damaged\n", index, cases_path);
            return 2;
        }
        Results results(nargout);
        if (!refuse.empty()) unload(name);  // as the test of refused memory does
        refusal = refuse == "all" ? Refusal::all : refuse == "workers" ? Refusal::workers : Refusal::none;
        const int status = call(name, nargout, results, arguments);
        refusal = Refusal::none;
        for (mxArray* argument : arguments) test_host_destroy(argument);
        ++per_module[name];

        out.number<uint32_t>(index);
        out.number<uint8_t>(1);
        const std::string outcome = test_host_outcome();
        out.part(outcome.data(), outcome.size());
        size_t printed_size = 0;
        const char* printed = test_host_printed(&printed_size);
        out.part(printed, printed_size);
        const std::string warning = test_host_last_warning();
        out.part(warning.data(), warning.size());
        std::vector<unsigned char> outputs(4, 0);
        uint32_t output_count = 0;
        if (status == TEST_HOST_OK) {
            for (mxArray* value : results.slots) {
                if (value == nullptr) break;
                size_t size = 0;
                const unsigned char* bytes = test_host_encode(value, 1, &size);
                outputs.insert(outputs.end(), bytes, bytes + size);
                ++output_count;
            }
        }
        std::memcpy(outputs.data(), &output_count, sizeof output_count);
        out.part(outputs.data(), outputs.size());
    }
    std::printf("module_driver: %u calls replayed (", count);
    const char* separator = "";
    for (const auto& module : per_module) {
        std::printf("%s%s %d", separator, module.first.c_str(), module.second);
        separator = ", ";
    }
    std::printf("); results in %s\n", results_path);
    return 0;
}

// ------------------------------------------------------------ checks

int failures = 0;

// One line per check; a failed one also shows the call's outcome.
void report(bool passed, const std::string& what, const std::string& outcome = std::string())
{
    std::printf("%s  %s\n", passed ? "ok   " : "FAIL ", what.c_str());
    if (!passed && !outcome.empty()) std::printf("       outcome: %s\n", outcome.c_str());
    if (!passed) ++failures;
}

// Values made with the host functions the modules import (the host exports
// only those).
mxArray* text(const char* value) { return test_host_text(value); }

mxArray* matrix(mwSize rows, mwSize columns, mxClassID id, double (*element)(mwSize))
{
    const mwSize dims[2] = {rows, columns};
    mxArray* array = mxCreateNumericArray(2, dims, id, mxREAL);
    for (mwSize k = 0; k < rows * columns; ++k) {
        const double value = element(k);
        if (id == mxDOUBLE_CLASS) {
            static_cast<double*>(mxGetData(array))[k] = value;
        } else {
            static_cast<uint8_t*>(mxGetData(array))[k] = static_cast<uint8_t>(value);
        }
    }
    return array;
}

mxArray* scalar(double value)
{
    const mwSize dims[2] = {1, 1};
    mxArray* array = mxCreateNumericArray(2, dims, mxDOUBLE_CLASS, mxREAL);
    *static_cast<double*>(mxGetData(array)) = value;
    return array;
}

// A training set of 2000 examples of 32 features, made by integer
// arithmetic, and labels from a hyperplane.
constexpr mwSize features = 32, examples = 2000;
double feature(mwSize k) { return static_cast<double>((k * 7919 + 13) % 2001) / 256.0 - 3.90625; }
double label(mwSize k) { return feature(k * features) + feature(k * features + 1) > 0 ? 1.0 : -1.0; }

double field_number(const mxArray* structure, const char* name)
{
    const mxArray* field = mxGetField(structure, 0, name);
    if (field == nullptr || mxGetNumberOfElements(field) == 0) return -1;
    switch (mxGetClassID(field)) {
    case mxDOUBLE_CLASS:
        return *static_cast<const double*>(mxGetData(field));
    case mxUINT32_CLASS:
        return *static_cast<const uint32_t*>(mxGetData(field));
    case mxLOGICAL_CLASS:
        return *static_cast<const unsigned char*>(mxGetData(field));
    default:
        return -1;
    }
}

std::string first_line(const std::string& outcome) { return outcome.substr(0, outcome.find('\n')); }

// Raises Ctrl-C from another thread once `delay_ms` have passed, as the
// console does; should the call then not return within a minute, the
// module ignored it, and the process ends rather than hang.
class InterruptLater {
public:
    explicit InterruptLater(int delay_ms)
        : thread_([this, delay_ms] {
              Sleep(static_cast<DWORD>(delay_ms));
              test_host_raise_interrupt();
              for (int waited = 0; !returned_.load(); waited += 10) {
                  if (waited > 60000) {
                      std::printf("FAIL   linsvm_fit went on for a minute after Ctrl-C\n");
                      std::fflush(stdout);
                      ExitProcess(1);
                  }
                  Sleep(10);
              }
          })
    {
    }
    ~InterruptLater()
    {
        returned_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> returned_{false};
    std::thread thread_;
};

std::vector<mxArray*> training_arguments(std::vector<mxArray*> options)
{
    std::vector<mxArray*> arguments = {matrix(features, examples, mxDOUBLE_CLASS, feature),
                                       matrix(1, examples, mxDOUBLE_CLASS, label)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return arguments;
}

void destroy(std::vector<mxArray*>& arguments)
{
    for (mxArray* argument : arguments) test_host_destroy(argument);
    arguments.clear();
}

void check_interrupts()
{
    {
        std::vector<mxArray*> arguments = training_arguments({text("nbite"), scalar(2e9), text("seed"), scalar(1)});
        Results results(1);
        int status;
        {
            InterruptLater interrupt(300);
            status = call("linsvm_fit", 1, results, arguments);
        }
        report(status == TEST_HOST_ERROR && first_line(test_host_outcome()) == "error linsvm_fit:interrupted",
               "Ctrl-C from another thread ends a long call with linsvm_fit:interrupted", test_host_outcome());
        report(test_host_interrupt_state() == 0, "the module marks the interrupt handled");
        destroy(arguments);
    }
    {
        std::vector<mxArray*> arguments =
            training_arguments({text("nbite"), scalar(2e9), text("seed"), scalar(1), text("interrupt"), text("return")});
        Results stopped(2);
        int status;
        {
            InterruptLater interrupt(300);
            status = call("linsvm_fit", 2, stopped, arguments);
        }
        const double steps = status == TEST_HOST_OK ? field_number(stopped.slots[1], "steps") : -1;
        report(status == TEST_HOST_OK && field_number(stopped.slots[1], "interrupted") == 1 && steps > 0 && steps < 2e9,
               "with 'interrupt', 'return' Ctrl-C returns the steps made", test_host_outcome());
        if (status == TEST_HOST_OK) {
            // The same call of that many steps gives the same bits.
            test_host_destroy(arguments[3]);
            arguments[3] = scalar(steps);
            Results whole(2);
            const int again = call("linsvm_fit", 2, whole, arguments);
            const size_t bytes = (features + 1) * sizeof(double);
            report(again == TEST_HOST_OK &&
                       std::memcmp(mxGetData(whole.slots[0]), mxGetData(stopped.slots[0]), bytes) == 0 &&
                       field_number(whole.slots[1], "state") == field_number(stopped.slots[1], "state"),
                   "and those are the weights and state of a call of that many steps, bit for bit");
        }
        destroy(arguments);
    }
    // Ctrl-C arriving just as the module flushes its start line, then its
    // first progress line: the interpreter raises it through the flush.
    for (int flush = 1; flush <= 2; ++flush) {
        std::vector<mxArray*> arguments =
            training_arguments({text("nbite"), scalar(2e9), text("seed"), scalar(1), text("verbose"), scalar(1)});
        Results results(1);
        test_host_interrupt_at_flush(flush);
        const int status = call("linsvm_fit", 1, results, arguments);
        test_host_interrupt_at_flush(0);
        report(status == TEST_HOST_ERROR && first_line(test_host_outcome()) == "error linsvm_fit:interrupted" &&
                   test_host_interrupt_state() == 0,
               flush == 1 ? "Ctrl-C raised by the flush of the start line gives linsvm_fit:interrupted"
                          : "Ctrl-C raised by the flush of a progress line gives linsvm_fit:interrupted",
               test_host_outcome());
        destroy(arguments);
    }
}

double ramp(mwSize k) { return static_cast<double>(k % 251); }

// Results larger than the host will give: the host's error reaches the
// interpreter through the module's frames, all the module made is
// released, and the next call works.
void check_refused_results()
{
    struct Case {
        const char* module;
        std::vector<mxArray*> (*arguments)();
    };
    const Case cases[] = {
        {"scale_bilinear", [] { return std::vector<mxArray*>{matrix(64, 64, mxUINT8_CLASS, ramp), matrix(1, 2, mxDOUBLE_CLASS, [](mwSize) { return 1500.0; })}; }},
        {"resize_image", [] { return std::vector<mxArray*>{matrix(64, 64, mxUINT8_CLASS, ramp), matrix(1, 2, mxDOUBLE_CLASS, [](mwSize) { return 1500.0; })}; }},
        {"luma_u8", [] {
             const mwSize dims[3] = {1200, 1000, 3};
             mxArray* image = mxCreateNumericArray(3, dims, mxUINT8_CLASS, mxREAL);
             std::memset(mxGetData(image), 90, 1200 * 1000 * 3);
             return std::vector<mxArray*>{image};
         }},
        {"linsvm_fit", [] {
             return training_arguments({text("lambda"), matrix(1, 20000, mxDOUBLE_CLASS, [](mwSize k) { return 1e-3 + static_cast<double>(k) * 1e-6; }),
                                        text("nbite"), scalar(10), text("seed"), scalar(1)});
         }},
    };
    const long alive_before = test_host_arrays_alive();
    for (const Case& c : cases) {
        std::vector<mxArray*> arguments = c.arguments();
        const long alive_with_arguments = test_host_arrays_alive();
        test_host_refuse_over(1 << 20);
        int status;
        {
            Results results(1);
            status = call(c.module, 1, results, arguments);
        }
        test_host_refuse_over(0);
        const std::string outcome = test_host_outcome();
        report((status == TEST_HOST_OUT_OF_MEMORY || (status == TEST_HOST_ERROR && outcome.find("failed to allocate") != std::string::npos)) &&
                   test_host_arrays_alive() == alive_with_arguments,
               std::string(c.module) + ": the host's refusal of its result reaches the interpreter, nothing left behind",
               outcome);
        Results results(1);
        status = call(c.module, 1, results, arguments);
        report(status == TEST_HOST_OK && results.slots[0] != nullptr, std::string(c.module) + ": the next call works",
               test_host_outcome());
        destroy(arguments);
    }
    report(test_host_arrays_alive() == alive_before, "every array made in the checks is released");
}

}  // namespace

int main(int argc, char** argv)
{
    calling_thread = GetCurrentThreadId();
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "replay" && argc == 5) {
        module_dir = argv[2];
        return replay(argv[3], argv[4]);
    }
    if (mode == "checks" && argc == 3) {
        module_dir = argv[2];
        check_interrupts();
        check_refused_results();
        std::printf("module_driver: %d checks failed\n", failures);
        return failures > 0 ? 1 : 0;
    }
    std::fprintf(stderr, "usage: module_driver replay MODULE_DIR CASES.bin RESULTS.bin\n"
                         "       module_driver checks MODULE_DIR\n");
    return 2;
}
