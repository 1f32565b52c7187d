#pragma once

// The conditions the dialogs hand to the data layer's lookups (BOM::GetInfo,
// GetUnitInfo, GetAuxPropInfo, GetReplaceClassInfo). Typed text always goes
// through the quoting helper, ids as plain numbers, so no typed value can
// change a statement and a quote matches as typed.

#include <QString>

#include <cstdint>

namespace torvel {

class GridModel;

namespace lookupkey {

QString itemByNumber(const QString &number);           // " FNumber='..' "
// Number or short number, shortest number first.
QString itemByNumberOrShort(const QString &code);
// The same, restricted to the items of one substitute class.
QString itemOfClassByNumberOrShort(const QString &code, int32_t replaceClassId);
QString unitById(int32_t unitId);                      // " FMeasureUnitID=.."
QString unitByBaseUnit(int32_t baseUnitId, bool leadingBlank);   // "FItemID=.." / " FItemID=.."
QString unitByNumber(const QString &number, int32_t unitGroupId);
QString auxPropByNumber(const QString &number, int32_t auxClassId, bool gridJoint);
QString replaceClassByNumber(const QString &number);

} // namespace lookupkey

// A grid cell read as an id: the leading number of its text, rounded; a
// value beyond an id's range counts as no id.
int32_t cellId(const GridModel &grid, int col, int row);

} // namespace torvel
