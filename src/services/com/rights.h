#pragma once

#include "services/com/variant.h"

#include <QString>

#include <cstdint>

namespace torvel {

// The host's login state, published per process by PropHub.ShareProps.
Variant GetSharedProperty(const QString &name);
QString GetPropsString();

// Asks PlatBase.SecurityInfo. Errors reach the caller unchanged (same number,
// source and description); an error is never turned into false.
bool CheckRight(int32_t subject, int32_t operation, int32_t flags);

// The one right the library asks for: modifying product structure lists.
inline constexpr int32_t kRightSubject = 501;
inline constexpr int32_t kRightOperation = 10;
inline constexpr int32_t kRightFlags = 4194304;

} // namespace torvel
