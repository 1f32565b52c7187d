#include "services/screen/waitcursor.h"

#include "services/com/comerror.h"

#include <QCursor>
#include <QGuiApplication>

namespace torvel {

namespace {

// The screen pointer through Qt's application-wide override cursor. The
// value is kept even without a GUI application, so counting works in a
// console host and in tests.
class QtPointerService : public PointerService
{
public:
    void setPointer(int value) override
    {
        if (value == m_value)
            return;
        m_value = value;
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            m_overridden = false;
            return;
        }
        if (value == pointer::Default) {
            if (m_overridden)
                QGuiApplication::restoreOverrideCursor();
            m_overridden = false;
            return;
        }
        const QCursor cursor(shapeOf(value));
        if (m_overridden) {
            QGuiApplication::changeOverrideCursor(cursor);
        } else {
            QGuiApplication::setOverrideCursor(cursor);
            m_overridden = true;
        }
    }

    int pointer() const override { return m_value; }

private:
    static Qt::CursorShape shapeOf(int value)
    {
        switch (value) {
        case pointer::Hourglass: return Qt::WaitCursor;
        case 13: return Qt::BusyCursor;   // arrow and hourglass
        case 3: return Qt::IBeamCursor;
        default: return Qt::ArrowCursor;
        }
    }

    int m_value = pointer::Default;
    bool m_overridden = false;
};

QtPointerService &defaultService()
{
    static QtPointerService service;
    return service;
}

PointerService *g_service = nullptr;
int16_t g_waitCount = 0;

} // namespace

PointerService &pointerService()
{
    return g_service ? *g_service : defaultService();
}

void setPointerService(PointerService *service)
{
    g_service = service;
}

void BeginWait()
{
    if (g_waitCount == INT16_MAX)
        throw ComError(errc::Overflow, QStringLiteral("TORVEL"), errtext::kOverflow);
    ++g_waitCount;
    if (g_waitCount == 1)
        pointerService().setPointer(pointer::Hourglass);
}

void EndWait()
{
    --g_waitCount;
    if (g_waitCount < 0)
        g_waitCount = 0;
    if (g_waitCount == 0)
        pointerService().setPointer(pointer::Default);
}

int16_t waitCount()
{
    return g_waitCount;
}

} // namespace torvel
