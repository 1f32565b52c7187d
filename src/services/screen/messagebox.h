#pragma once

#include <QString>

namespace torvel {

// Box flags as the platform numbered them: buttons in the low bits, icon above.
namespace mb {
inline constexpr int OKOnly = 0;
inline constexpr int OKCancel = 1;
inline constexpr int Critical = 16;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int OK = 1;       // answer
inline constexpr int Cancel = 2;   // answer
} // namespace mb

inline const QString kBoxTitle = QStringLiteral("系统提示");

// Every dialog shows its boxes through this one service; tests replace it
// with a recorder that answers as scripted.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    // Returns mb::OK or mb::Cancel.
    virtual int show(const QString &text, int flags, const QString &title) = 0;
};

// The service in use; the default shows real modal Qt boxes.
MessageBoxService &messageBoxService();
// Replaces the service (nullptr restores the default). The caller keeps ownership.
void setMessageBoxService(MessageBoxService *service);

// The platform's MsgBox with our title.
int MsgBox(const QString &text, int flags = mb::OKOnly, const QString &title = kBoxTitle);

// The description alone, critical icon, OK button.
void ShowErrorBox(const QString &text);

} // namespace torvel
