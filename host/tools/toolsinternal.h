#pragma once

// What the tools' units share: the texts they show, value readers and the
// editor's header insert.

#include "services/com/variant.h"
#include "services/db/connection.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace torvel::host::tools {

inline const QString kBomGone = QStringLiteral("商品结构清单不存在或已被删除");
inline const QString kGroupGone = QStringLiteral("商品结构清单类别不存在");
inline const QString kNumberUsed = QStringLiteral("商品结构清单编号有重复,请重新录入商品结构清单编号。");

// Null-safe readers: empty text and 0 for a Null.
QString text(const Variant &v);
int32_t id(const Variant &v);
double number(const Variant &v);
QString statusText(int status);

// A statement's rows, kept with their record set: a range-for over a
// temporary set's rows() would read freed rows.
std::vector<std::vector<Variant>> rowsOf(Connection &connection, const QString &sql);

// Throws the refusal as a ComError whose description is the message.
[[noreturn]] void refuse(const QString &message);

// Why a BOM number cannot be used as typed (empty, or a character the editor
// never takes); empty when it can.
QString numberCheck(const QString &number);

// The editor's insert of a new header, and the new row's id after it.
QString addStatement(const QString &number, const QString &name, int32_t group, int32_t item, int32_t aux,
                     int32_t unit, int32_t status);
int32_t newBomId(Connection &connection, const QString &number);

} // namespace torvel::host::tools
