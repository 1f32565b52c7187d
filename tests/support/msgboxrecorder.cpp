#include "msgboxrecorder.h"

#include "printers.h"

#include <gtest/gtest.h>

namespace torvel::test {

namespace {

std::string describe(const QString &text, int flags, const QString &title)
{
    return QStringLiteral("\"%1\" (flags %2, title \"%3\")").arg(text).arg(flags).arg(title).toStdString();
}

} // namespace

MessageBoxRecorder::MessageBoxRecorder()
    : m_previous(&messageBoxService())
{
    setMessageBoxService(this);
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    verify();
    setMessageBoxService(m_previous);
}

MessageBoxRecorder &MessageBoxRecorder::expect(const QString &text, int answer, int flags)
{
    m_script.push_back({text, false, false, flags, answer});
    return *this;
}

MessageBoxRecorder &MessageBoxRecorder::expectExact(const QString &text, int answer, int flags)
{
    m_script.push_back({text, true, false, flags, answer});
    return *this;
}

MessageBoxRecorder &MessageBoxRecorder::expectAny(int answer)
{
    m_script.push_back({QString(), false, true, -1, answer});
    return *this;
}

void MessageBoxRecorder::allowAll(int answer)
{
    m_allowAll = true;
    m_allowAnswer = answer;
}

void MessageBoxRecorder::verify()
{
    for (const Expectation &e : m_script) {
        ADD_FAILURE() << "expected message box never shown: "
                      << (e.any ? std::string("(any text)") : "\"" + e.text.toStdString() + "\"");
    }
    m_script.clear();
}

const MessageBoxRecorder::Box &MessageBoxRecorder::last() const
{
    static const Box none;
    if (m_boxes.empty()) {
        ADD_FAILURE() << "no message box was shown";
        return none;
    }
    return m_boxes.back();
}

void MessageBoxRecorder::clear()
{
    m_boxes.clear();
}

int MessageBoxRecorder::show(const QString &text, int flags, const QString &title)
{
    // Unexpected boxes are answered so that nothing irreversible follows:
    // Cancel where it is offered (the question's "no"), else OK.
    int answer = (flags & 0x7) == mb::OKCancel ? mb::Cancel : mb::OK;
    if (!m_script.empty()) {
        const Expectation e = m_script.front();
        m_script.pop_front();
        const bool textOk = e.any || (e.exact ? text == e.text : text.contains(e.text));
        if (!textOk) {
            ADD_FAILURE() << "message box " << describe(text, flags, title) << " where \""
                          << e.text.toStdString() << "\" was expected";
        }
        if (e.flags >= 0 && e.flags != flags) {
            ADD_FAILURE() << "message box " << describe(text, flags, title) << " should have flags "
                          << e.flags;
        }
        answer = e.answer;
    } else if (m_allowAll) {
        answer = m_allowAnswer;
    } else {
        ADD_FAILURE() << "unexpected message box " << describe(text, flags, title);
    }
    m_boxes.push_back({text, flags, title, answer, pointerService().pointer()});
    return answer;
}

PointerRecorder::PointerRecorder()
    : m_previous(&pointerService())
    , m_value(m_previous->pointer())
{
    setPointerService(this);
}

PointerRecorder::~PointerRecorder()
{
    setPointerService(m_previous);
}

void PointerRecorder::setPointer(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    m_changes.push_back(value);
}

void PointerRecorder::clear()
{
    m_changes.clear();
}

} // namespace torvel::test
