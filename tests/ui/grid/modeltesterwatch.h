#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

// Fails the running test for every complaint of a QAbstractItemModelTester
// in Warning mode while it lives.
class ModelTesterWatch
{
public:
    ModelTesterWatch() { s_previous = qInstallMessageHandler(&handler); }
    ~ModelTesterWatch() { qInstallMessageHandler(s_previous); }
    ModelTesterWatch(const ModelTesterWatch &) = delete;
    ModelTesterWatch &operator=(const ModelTesterWatch &) = delete;

private:
    static void handler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
    {
        if (ctx.category && QByteArray(ctx.category).startsWith("qt.modeltest")
            && type != QtDebugMsg && type != QtInfoMsg)
            ADD_FAILURE() << "model tester: " << msg.toStdString();
        else if (s_previous)
            s_previous(type, ctx, msg);
    }
    static inline QtMessageHandler s_previous = nullptr;
};
