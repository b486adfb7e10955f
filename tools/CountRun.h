#pragma once
// One run of the offline counter: opens the input, reads it with the sample
// reader, counts, reports on `out` and problems on stderr. Returns the exit
// code: 0 done, 1 bad input data (the samples before the fault are counted
// and summed up), 2 an input that cannot be opened.
#include "CountOptions.h"

#include <cstdio>

int runCount(const CountOptions& options, std::FILE* out);
