#include "state/dialogseam.h"

#include "services/com/comerror.h"
#include "services/screen/messagebox.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <map>

namespace torvel {

namespace {

struct Registry {
    std::map<QString, DialogFactory> registered;   // key: form name in lower case
    std::map<QString, DialogFactory> overrides;
    DialogScript script;
};

Registry &registry()
{
    static Registry r;
    return r;
}

DialogFactory factoryFor(const QString &formName)
{
    const QString key = formName.toLower();
    auto &r = registry();
    // An override without a factory means the form has no dialog for the scope.
    if (auto it = r.overrides.find(key); it != r.overrides.end())
        return it->second;
    if (auto it = r.registered.find(key); it != r.registered.end())
        return it->second;
    return {};
}

ComError noWindows(const QString &why)
{
    return ComError(errc::CannotCreateObject, QStringLiteral("TORVEL"), QStringLiteral("无法显示窗口: ") + why);
}

void showBox(const QString &text, int flags)
{
    try {
        MsgBox(text, flags);
    } catch (...) {
        // A box that cannot be shown must not take the host down with it.
    }
}

} // namespace

void registerDialog(const QString &formName, DialogFactory factory)
{
    registry().registered[formName.toLower()] = std::move(factory);
}

bool isDialogRegistered(const QString &formName)
{
    return bool(factoryFor(formName));
}

void setDialogScript(DialogScript script)
{
    registry().script = std::move(script);
}

void ensureGuiApplication()
{
    if (auto *app = QCoreApplication::instance()) {
        if (!qobject_cast<QApplication *>(app))
            throw noWindows(QStringLiteral("宿主程序的 Qt 应用不支持窗口"));
        return;
    }
    // Without a display, QApplication would end the process; say so instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        throw noWindows(QStringLiteral("没有可用的显示 (未设置 DISPLAY、WAYLAND_DISPLAY 或 QT_QPA_PLATFORM)"));
    // Lives for the rest of the process: the host may call again, and Qt
    // cannot make a second application after the first is gone. Qt keeps
    // argc and argv as long, which may be past an unload of this library:
    // they live on the heap, never freed.
    static int *argc = new int(1);
    static char **argv = new char *[2]{qstrdup("torvel"), nullptr};
    new QApplication(*argc, argv);
}

bool showDialog(const QString &formName, LoadErrors loadErrors)
{
    ensureGuiApplication();
    const DialogFactory factory = factoryFor(formName);
    if (!factory) {
        showBox(kFunctionNotAvailable, mb::Information);
        return false;
    }

    std::unique_ptr<QDialog> dialog;
    try {
        dialog = factory();
    } catch (const ComError &e) {
        if (loadErrors == LoadErrors::ReachCaller)
            throw;
        showBox(e.description(), mb::Critical);
        return false;
    } catch (const std::exception &e) {
        if (loadErrors == LoadErrors::ReachCaller)
            throw ComError(errc::DatabaseError, formName, QString::fromLocal8Bit(e.what()));
        showBox(QString::fromLocal8Bit(e.what()), mb::Critical);
        return false;
    } catch (...) {
        if (loadErrors == LoadErrors::ReachCaller)
            throw ComError(errc::DatabaseError, formName, errtext::kUnknown);
        showBox(errtext::kUnknown, mb::Critical);
        return false;
    }
    if (!dialog) {
        showBox(kFunctionNotAvailable, mb::Information);
        return false;
    }

    try {
        dialog->setParent(nullptr);
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        if (const DialogScript script = registry().script) {
            QPointer<QDialog> target(dialog.get());
            QTimer::singleShot(0, dialog.get(), [target, script] {
                if (!target)
                    return;
                // Nothing may leave an event handler; a failing script still
                // ends the modal loop so the caller's checks can run.
                try {
                    script(*target);
                } catch (const std::exception &e) {
                    qWarning("dialog script failed: %s", e.what());
                    target->reject();
                } catch (...) {
                    qWarning("dialog script failed");
                    target->reject();
                }
            });
        }
        dialog->exec();
    } catch (const ComError &e) {
        showBox(e.description(), mb::Critical);
    } catch (const std::exception &e) {
        showBox(QString::fromLocal8Bit(e.what()), mb::Critical);
    } catch (...) {
        showBox(errtext::kUnknown, mb::Critical);
    }
    return true;
}

ScopedDialog::ScopedDialog(const QString &formName, DialogFactory factory)
    : m_formName(formName.toLower())
{
    auto &overrides = registry().overrides;
    if (auto it = overrides.find(m_formName); it != overrides.end()) {
        m_hadPrevious = true;
        m_previous = it->second;
    }
    overrides[m_formName] = std::move(factory);
}

ScopedDialog::~ScopedDialog()
{
    auto &overrides = registry().overrides;
    if (m_hadPrevious)
        overrides[m_formName] = std::move(m_previous);
    else
        overrides.erase(m_formName);
}

} // namespace torvel
