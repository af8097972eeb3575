// linsvm_fit's options as the entry reads them from the host: every value
// checked, the ignored parts warned of and the corrections applied.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "svm/model_layout.h"
#include "svm/trainer_options.h"

struct EntryOptions {
    TrainerOptions trainer;
    bool nbite_corrected = false;  // nbite is 20 times each group's examples
    LambdaValue* path = nullptr;
    int32_t path_length = 1;
    bool by_c = false;
    host::Value weights;
    host::Value w0;
    // One-vs-rest: the classes, in the order of the models; class_of by column.
    const double* classes = nullptr;
    int32_t class_count = 0;
    const int32_t* class_of = nullptr;
    // Cross-validation: fold numbers (0 .. fold_count - 1) by column.
    int32_t fold_count = 0;
    const int32_t* fold_of = nullptr;
    Averaging averaging = Averaging::none;
    int64_t average_after = 0;  // Averaging::after_step

    int32_t model_count() const { return (class_count > 0 ? class_count : 1) * path_length; }
};

// The options of a call on the N examples of d features with these labels:
// a structure as the third argument, or name/value pairs from it on. Every
// value is checked before anything is printed; then the ignored parts of the
// options are warned of, and the corrections are applied and reported, in
// the order lambda, nbite, seed.
EntryOptions read_options(host::Call& call, const double* labels, int32_t d, int32_t N);
