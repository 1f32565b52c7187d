#pragma once

// Catching the error a call must raise, for tests of every layer.

#include "services/com/comerror.h"

#include <gtest/gtest.h>

namespace torvel::test {

// The error `f` raised; a call that raised none fails the test.
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

// The number of the error `f` raised, 0 when it raised none.
template <class F>
int errorNumber(F &&f)
{
    try {
        f();
    } catch (const ComError &e) {
        return e.number();
    }
    return 0;
}

} // namespace torvel::test
