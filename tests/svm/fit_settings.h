// Kept for the files that include the tests' training helpers by this name;
// they are in fit_testing.h.
#pragma once

#include "tests/svm/fit_testing.h"
