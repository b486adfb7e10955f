#pragma once
// cyclomarkator-count --trend LOG.csv --plot FILE: the trend picture of a
// cycle log, PNG or SVG. Every damaged line of the log is said on stderr.
#include "CountOptions.h"

// The exit code: 0 drawn, 1 an empty log, no cycle log or damaged lines (the
// picture shows the rest), 2 a log or picture that cannot be opened, 3 a
// picture that could not be written.
int runTrend(const CountOptions& options);
