#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace torvel {

// The forms' font family: 宋体 where the machine has it, else one it has for
// simplified Chinese; empty when it has none (Qt's default then stands).
QString formFontFamily();

// Gives a form its font family; its controls inherit it.
void applyFormFont(QWidget &form);

// Runs a form's handler. An unexpected error becomes a critical box with its
// description and nothing leaves the handler, so the dialog stays open.
void runGuarded(const std::function<void()> &handler) noexcept;

} // namespace torvel
