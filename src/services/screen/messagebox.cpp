#include "services/screen/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace torvel {

namespace {

// Real modal boxes on the user-interface thread.
class QtMessageBoxService : public MessageBoxService
{
public:
    int show(const QString &text, int flags, const QString &title) override
    {
        const bool okCancel = (flags & 0x7) == mb::OKCancel;
        // Without a widget application (a console host, a non-GUI test) a
        // box cannot be shown; the text still reaches someone.
        if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
            std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
            return mb::OK;
        }

        QMessageBox box(iconOf(flags), title, text, QMessageBox::NoButton, QApplication::activeWindow());
        box.setModal(true);
        // The button texts the host's users know, whatever translation Qt has.
        QPushButton *ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        QPushButton *cancel = nullptr;
        if (okCancel)
            cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        // Esc and the close button answer Cancel where there is one, else OK.
        box.setEscapeButton(cancel ? cancel : ok);
        box.exec();
        return cancel && box.clickedButton() == cancel ? mb::Cancel : mb::OK;
    }

private:
    static QMessageBox::Icon iconOf(int flags)
    {
        switch (flags & 0x70) {
        case mb::Critical: return QMessageBox::Critical;
        case 32: return QMessageBox::Question;
        case mb::Exclamation: return QMessageBox::Warning;
        case mb::Information: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
        }
    }
};

QtMessageBoxService &defaultService()
{
    static QtMessageBoxService service;
    return service;
}

MessageBoxService *g_service = nullptr;

} // namespace

MessageBoxService &messageBoxService()
{
    return g_service ? *g_service : defaultService();
}

void setMessageBoxService(MessageBoxService *service)
{
    g_service = service;
}

int MsgBox(const QString &text, int flags, const QString &title)
{
    return messageBoxService().show(text, flags, title);
}

void ShowErrorBox(const QString &text)
{
    MsgBox(text, mb::Critical | mb::OKOnly, kBoxTitle);
}

} // namespace torvel
