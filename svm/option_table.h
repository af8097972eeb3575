// linsvm_fit's options: their names, in the order the messages list them.
// Host-free: the entry reads their values (svm/linsvm_fit_options.cpp).
#pragma once

enum class Option {
    lambda,
    C,
    biasmult,
    nbite,
    seed,
    weights,
    w0,
    startstep,
    verbose,
    interrupt,
    classes,
    folds,
    average,
};
constexpr int option_count = static_cast<int>(Option::average) + 1;

const char* option_name(Option option);

// The option whose name is `name` exactly; false for none.
bool option_named_exactly(const char* name, Option* option);

// The option whose name is `name` ignoring case; false for none.
bool option_named(const char* name, Option* option);

// "lambda, C, biasmult, ... or average", for the messages that list the options.
const char* option_list();
