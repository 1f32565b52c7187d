#include "ui/common/formsupport.h"

#include "services/com/comerror.h"
#include "services/screen/messagebox.h"

#include <QFontDatabase>
#include <QWidget>

#include <exception>

namespace torvel {

QString formFontFamily()
{
    // The font database does not change while the process runs.
    static const QString family = [] {
        const QStringList all = QFontDatabase::families();
        for (const QString &name : {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")})
            if (all.contains(name, Qt::CaseInsensitive))
                return name;
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        return chinese.isEmpty() ? QString() : chinese.first();
    }();
    return family;
}

void applyFormFont(QWidget &form)
{
    const QString family = formFontFamily();
    if (family.isEmpty())
        return;
    QFont font = form.font();
    font.setFamily(family);
    form.setFont(font);
}

namespace {

void showError(const QString &description) noexcept
{
    try {
        ShowErrorBox(description);
    } catch (...) {
        // A box that cannot be shown must not take the host down with it.
    }
}

} // namespace

void runGuarded(const std::function<void()> &handler) noexcept
{
    try {
        handler();
    } catch (const ComError &error) {
        showError(error.description());
    } catch (const std::exception &error) {
        showError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showError(errtext::kUnknown);
    }
}

} // namespace torvel
