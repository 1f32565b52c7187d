#pragma once

// What the public face's tests share: catching the error a call raises, and
// keeping the boxes the library shows.

#include "comerrors.h"
#include "msgboxrecorder.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace torvel::test {

// Keeps every box and answers OK: the public face's tests look at what was
// shown, not at a script of what should be.
class BoxRecorder : public MessageBoxRecorder
{
public:
    BoxRecorder() { allowAll(); }
    QStringList texts() const
    {
        QStringList t;
        for (const Box &b : boxes())
            t << b.text;
        return t;
    }
};

} // namespace torvel::test
