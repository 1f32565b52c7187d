#pragma once

#include <QString>

class QTemporaryDir;

namespace torvel::bench {

// Reports "<program>: what" and ends the run: a figure measured past a failure
// would be meaningless.
[[noreturn]] void die(const QString &what);

// The main of a widget benchmark: a QApplication on the offscreen platform
// (unless QT_QPA_PLATFORM names another), then the benchmarks the command line
// selects.
int runOffscreenBenchmarks(int argc, char **argv);

// A temporary folder of this process, gone when it ends.
QTemporaryDir &tempDir();

// Where a benchmark keeps a database that is slow to build, so that later runs
// reuse it: $TORVEL_BENCH_CACHE/<version>, else <defaultDir>/<version>; an
// empty TORVEL_BENCH_CACHE builds afresh in tempDir(). Change the version
// whenever the schema or the generated rows change. Created if missing.
QString cacheFolder(const QString &defaultDir, const char *version);

} // namespace torvel::bench
