#pragma once

#include <cstdint>

namespace torvel {

// The screen pointer values the platform used.
namespace pointer {
inline constexpr int Default = 0;
inline constexpr int Hourglass = 11;
} // namespace pointer

// Sets the screen pointer; the default implementation uses Qt's override
// cursor. Setting the value already shown does nothing.
class PointerService
{
public:
    virtual ~PointerService() = default;
    virtual void setPointer(int value) = 0;
    virtual int pointer() const = 0;
};

PointerService &pointerService();
void setPointerService(PointerService *service);   // nullptr restores the default

// Counted requests for the hourglass; the pointer returns to default only
// when the last one ends. EndWait at zero stays at zero.
void BeginWait();
void EndWait();
int16_t waitCount();

// Holds one wait request for its lifetime.
class WaitCursor
{
public:
    WaitCursor() { BeginWait(); }
    ~WaitCursor() { EndWait(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace torvel
