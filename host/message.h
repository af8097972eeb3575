// Texts of the modules' errors, warnings and printed lines, formatted into a
// fixed buffer: no heap, since a host error may unwind without running
// destructors. And the case-insensitive match of option and method names.
#pragma once

#include <cstddef>
#include <cstdio>

namespace host {

struct Message {
    char text[400];

    template <class... Args>
    explicit Message(const char* format, Args... args)
    {
        if constexpr (sizeof...(Args) == 0) {
            std::snprintf(text, sizeof text, "%s", format);
        } else {
            std::snprintf(text, sizeof text, format, args...);
        }
    }
};

// Whether two texts are equal ignoring the case of ASCII letters.
inline bool equal_ignoring_case(const char* a, const char* b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    size_t c = 0;
    for (; a[c] != '\0' && b[c] != '\0'; ++c) {
        if (lower(a[c]) != lower(b[c])) return false;
    }
    return a[c] == '\0' && b[c] == '\0';
}

}  // namespace host
