// Registration round trip in a separate process against the real
// libtorvel.so, with the registry file in a temporary folder.

#include "printers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<QString, QString> parseLines(const QByteArray &out)
{
    std::map<QString, QString> values;
    for (const QByteArray &line : out.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return values;
}

} // namespace

TEST(Registration, RoundTripInAnotherProcess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString registry = dir.filePath(QStringLiteral("sub/registry.ini"));
    // Another library's entry must survive both registration and removal.
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    {
        QFile f(registry);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Other.Thing]\nCLSID={11111111-2222-3333-4444-555555555555}\n");
    }

    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TORVEL_REGISTRY"), registry);
    host.setProcessEnvironment(env);
    host.start(QStringLiteral(ROUNDTRIP_HOST), {QStringLiteral(TORVEL_LIBRARY)});
    ASSERT_TRUE(host.waitForFinished(60000));
    ASSERT_EQ(host.exitStatus(), QProcess::NormalExit) << host.readAllStandardError().toStdString();
    ASSERT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();
    const auto v = parseLines(host.readAllStandardOutput());

    EXPECT_EQ(v.at(QStringLiteral("Register")), QStringLiteral("0"));
    EXPECT_EQ(v.at(QStringLiteral("ReturnBomID")), QStringLiteral("321"));
    EXPECT_EQ(v.at(QStringLiteral("ReturnOK")), QStringLiteral("False"));
    EXPECT_EQ(v.at(QStringLiteral("PutReadOnly")), QStringLiteral("0x80020003"));
    EXPECT_EQ(v.at(QStringLiteral("CanUnloadWhileHeld")), QStringLiteral("1"));
    EXPECT_EQ(v.at(QStringLiteral("CanUnloadAfterRelease")), QStringLiteral("0"));
    EXPECT_EQ(v.at(QStringLiteral("Unregister")), QStringLiteral("0"));
    EXPECT_EQ(v.at(QStringLiteral("CreateAfterUnregister")), QStringLiteral("0x80040154"));
    EXPECT_EQ(v.at(QStringLiteral("CreateAfterUnregisterObject")), QStringLiteral("null"));
    EXPECT_TRUE(v.at(QStringLiteral("CreateAfterUnregisterMessage")).contains(QStringLiteral("TORVEL.BomInfo")));

    QFile f(registry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[Other.Thing]")));
    for (const char *gone : {"[TORVEL.", "A393DEF0", "TypeLib\\", "libtorvel"})
        EXPECT_FALSE(text.contains(QLatin1String(gone))) << gone << " left in\n" << text.toStdString();
}
