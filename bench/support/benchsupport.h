#pragma once

#include <QString>

namespace torvel::bench {

// Reports "<program>: what" and ends the run: a figure measured past a failure
// would be meaningless.
[[noreturn]] void die(const QString &what);

// The main of a widget benchmark: a QApplication on the offscreen platform
// (unless QT_QPA_PLATFORM names another), then the benchmarks the command line
// selects.
int runOffscreenBenchmarks(int argc, char **argv);

} // namespace torvel::bench
