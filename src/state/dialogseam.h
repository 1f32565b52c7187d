#pragma once

#include <QString>

#include <functional>
#include <memory>

class QDialog;

namespace torvel {

// The one place that opens the library's dialogs. Every method that shows a
// form goes through showDialog: a fresh instance per call, modal, no owner,
// deleted after. Dialog libraries register their forms by name; tests put a
// fake in place for a scope.

using DialogFactory = std::function<std::unique_ptr<QDialog>()>;

// Form names: "frmBom", "frmBOMGroup", "frmBOMSelect", "frmBOMComplete", "frmBOMReport".
void registerDialog(const QString &formName, DialogFactory factory);
bool isDialogRegistered(const QString &formName);

// What happens to an error thrown while the form loads (by its factory).
enum class LoadErrors {
    Box,           // shown as a critical box with its description; the call returns normally
    ReachCaller,   // a ComError passes to the caller (the report's loading, which the host sees)
};

// Shows a fresh instance of the form modally and returns when it is closed
// or hidden. Creates the QApplication when the host has none. A form with no
// dialog shows "该功能尚未提供". No exception escapes except, with
// LoadErrors::ReachCaller, a ComError from loading, and a ComError when no
// window can be shown at all (no display, or a host application without widgets).
// Returns true when the form was shown, false when it was not available or
// failed to load.
bool showDialog(const QString &formName, LoadErrors loadErrors = LoadErrors::Box);

// Makes sure a QApplication exists, creating one for the rest of the process
// when the host has none. Throws ComError instead of aborting when there is
// no display to connect to, or when the host made a QCoreApplication.
void ensureGuiApplication();

// A test hook: the script runs inside the modal loop of every dialog shown
// while it is set (scheduled once exec has started), with the dialog. It can
// find controls by objectName, press keys, answer boxes and close the dialog.
// An empty function removes the script.
using DialogScript = std::function<void(QDialog &)>;
void setDialogScript(DialogScript script);

// Puts a dialog in place of a form's registered one for a scope (an empty
// factory: the form has none) and restores
// the earlier state afterwards; outranks registerDialog, so a library that
// registers its dialogs later does not replace a test's fake.
class ScopedDialog
{
public:
    ScopedDialog(const QString &formName, DialogFactory factory);
    ~ScopedDialog();
    ScopedDialog(const ScopedDialog &) = delete;
    ScopedDialog &operator=(const ScopedDialog &) = delete;

private:
    QString m_formName;
    DialogFactory m_previous;
    bool m_hadPrevious = false;
};

// Sets the script for a scope and removes it afterwards.
class ScopedDialogScript
{
public:
    explicit ScopedDialogScript(DialogScript script) { setDialogScript(std::move(script)); }
    ~ScopedDialogScript() { setDialogScript({}); }
    ScopedDialogScript(const ScopedDialogScript &) = delete;
    ScopedDialogScript &operator=(const ScopedDialogScript &) = delete;
};

inline const QString kFunctionNotAvailable = QStringLiteral("该功能尚未提供");

} // namespace torvel
