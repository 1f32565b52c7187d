#pragma once

// Test doubles for the two screen services: message boxes answered from a
// script and recorded, and the pointer with every change recorded.

#include "services/screen/messagebox.h"
#include "services/screen/waitcursor.h"

#include <QString>

#include <deque>
#include <vector>

namespace torvel::test {

// Replaces the message-box service for its lifetime. Boxes are answered in
// the order they were expected; a box nobody expected, or one whose text or
// flags differ from the next expectation, fails the running test. Every box
// is kept for later checks. Expectations left unmet when the recorder goes
// fails the test as well (call verify() to check earlier).
class MessageBoxRecorder : public MessageBoxService
{
public:
    struct Box
    {
        QString text;
        int flags = 0;
        QString title;
        int answer = mb::OK;
        int pointer = pointer::Default;   // the screen pointer while it was shown

        int icon() const { return flags & 0x70; }      // mb::Critical, mb::Exclamation, mb::Information
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder() override;
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    // The next box's text must contain `text` (the whole text matches too);
    // it is answered with `answer`. With flags >= 0 the flags must equal them.
    MessageBoxRecorder &expect(const QString &text, int answer = mb::OK, int flags = -1);
    // The next box's text must equal `text` exactly.
    MessageBoxRecorder &expectExact(const QString &text, int answer = mb::OK, int flags = -1);
    // The next box, whatever it says, answered with `answer`.
    MessageBoxRecorder &expectAny(int answer = mb::OK);
    // Answers every box without complaint (for tests about something else);
    // boxes are still recorded.
    void allowAll(int answer = mb::OK);

    // Fails the running test for expectations not yet met and forgets them.
    void verify();

    const std::vector<Box> &boxes() const { return m_boxes; }
    int count() const { return int(m_boxes.size()); }
    const Box &last() const;
    void clear();

    int show(const QString &text, int flags, const QString &title) override;

private:
    struct Expectation
    {
        QString text;
        bool exact = false;
        bool any = false;
        int flags = -1;
        int answer = mb::OK;
    };

    MessageBoxService *m_previous;
    std::deque<Expectation> m_script;
    std::vector<Box> m_boxes;
    bool m_allowAll = false;
    int m_allowAnswer = mb::OK;
};

// Replaces the pointer service for its lifetime and records each real change
// (a call with the value already shown changes nothing).
class PointerRecorder : public PointerService
{
public:
    PointerRecorder();
    ~PointerRecorder() override;
    PointerRecorder(const PointerRecorder &) = delete;
    PointerRecorder &operator=(const PointerRecorder &) = delete;

    void setPointer(int value) override;
    int pointer() const override { return m_value; }

    const std::vector<int> &changes() const { return m_changes; }
    void clear();

private:
    PointerService *m_previous;
    int m_value;
    std::vector<int> m_changes;
};

} // namespace torvel::test
