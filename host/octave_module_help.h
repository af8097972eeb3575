// The help of an oct-file, read from NAME.m beside the module when Octave
// loads it (host/octave_host.h includes it).
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "common/windows_headers.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace host {

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
