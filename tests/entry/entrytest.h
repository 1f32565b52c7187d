#pragma once

// What the public face's tests share: catching the error a call raises, and
// keeping the boxes the library shows.

#include "services/comerror.h"
#include "services/messagebox.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace torvel::test {

template <class F>
ComError errorOf(F &&f)
{
    try {
        f();
    } catch (const ComError &e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return ComError(0, {}, {});
}

struct Box { QString text; int flags; QString title; };

// Keeps every box; answers OK.
class BoxRecorder : public MessageBoxService
{
public:
    BoxRecorder() { setMessageBoxService(this); }
    ~BoxRecorder() override { setMessageBoxService(nullptr); }
    int show(const QString &text, int flags, const QString &title) override
    {
        boxes.push_back({text, flags, title});
        return mb::OK;
    }
    QStringList texts() const
    {
        QStringList t;
        for (const Box &b : boxes)
            t << b.text;
        return t;
    }
    std::vector<Box> boxes;
};

} // namespace torvel::test
