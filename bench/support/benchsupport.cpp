#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace torvel::bench {

void die(const QString &what)
{
    // The program's file name once the application exists, as every caller has it.
    QString program = QCoreApplication::applicationName();
    if (program.isEmpty())
        program = QStringLiteral("bench");
    std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(what));
    std::exit(1);
}

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString cacheFolder(const QString &defaultDir, const char *version)
{
    const QByteArray env = qgetenv("TORVEL_BENCH_CACHE");
    if (!env.isNull() && env.isEmpty())
        return tempDir().path();
    const QString folder = (env.isNull() ? defaultDir : QString::fromLocal8Bit(env)) + u'/' + QLatin1String(version);
    if (!QDir().mkpath(folder))
        die(QStringLiteral("cannot create ") + folder);
    return folder;
}

int runOffscreenBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace torvel::bench
