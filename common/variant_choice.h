// How every kernel chooses the variant it runs: the first of the variants
// this processor runs (each kernel lists them fastest first), or the plain
// loop when it runs none. A kernel keeps the choice in a static of its own,
// made at its module's first call: the processor does not change under a
// loaded module, and a call then costs no processor query, environment read
// or list.
#pragma once

#include <vector>

template <class Variant>
Variant fastest_or_plain(const std::vector<Variant>& variants, const Variant& plain)
{
    return variants.empty() ? plain : variants.front();
}
