#include "svm/option_table.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "host/message.h"

namespace {

const char* const option_names[option_count] = {"lambda",    "C",       "biasmult", "nbite",  "seed",
                                                "weights",   "w0",      "startstep", "verbose", "interrupt",
                                                "classes",   "folds",   "average"};

}  // namespace

const char* option_name(Option option)
{
    return option_names[static_cast<int>(option)];
}

bool option_named_exactly(const char* name, Option* option)
{
    for (int k = 0; k < option_count; ++k) {
        if (std::strcmp(name, option_names[k]) == 0) {
            *option = static_cast<Option>(k);
            return true;
        }
    }
    return false;
}

bool option_named(const char* name, Option* option)
{
    for (int k = 0; k < option_count; ++k) {
        if (host::equal_ignoring_case(name, option_names[k])) {
            *option = static_cast<Option>(k);
            return true;
        }
    }
    return false;
}

const char* option_list()
{
    static const struct List {
        char text[200] = {};
        List()
        {
            size_t at = 0;
            for (int k = 0; k < option_count; ++k) {
                const char* separator = k == 0 ? "" : k + 1 == option_count ? " or " : ", ";
                at += static_cast<size_t>(
                    std::snprintf(text + at, sizeof text - at, "%s%s", separator, option_names[k]));
            }
        }
    } list;
    return list.text;
}
