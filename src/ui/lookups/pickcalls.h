#pragma once

// The dialogs' side of the outside pick lists: what they pass and what they
// read back. Components are created per call and released at once.

#include "services/com/dispatch.h"
#include "services/com/variant.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace torvel {

class BOM;

namespace pick {

// A row the user chose in PickView.GLView.
struct PickedRow
{
    QString number;
    QString name;
    int32_t itemId = 0;
    int32_t measureUnitId = 0;
    ObjectPtr row;   // the returnobject, for its Properties

    Variant property(const QString &field) const;
    QString textProperty(const QString &field) const;   // Null reads as empty
    int32_t idProperty(const QString &field) const;     // Null reads as 0
};

// ItemLookup with the item class, an empty text, `filter` and a fresh
// LookupParams (BeShortNumber, GetDataType and, when asked, FirstShow and
// LookupKey, in that order). Nothing when the user cancelled. `lookup` is
// the PickView.GLView to ask; a new one when null.
std::optional<PickedRow> pickItem(const QString &filter, bool firstShow,
                                  const std::optional<QString> &lookupKey = std::nullopt, ObjectPtr lookup = nullptr);
// UnitLookup for a unit group, passed as the caller holds it (a number).
std::optional<PickedRow> pickUnit(const Variant &unitGroup, ObjectPtr lookup = nullptr);

// What BaseFind.clsBase returned; nothing when its ReturnName is empty.
struct BaseFindChoice
{
    QString name;
    int32_t innerId = 0;
    QString code;
};

// Creates BaseFind.clsBase, gives it the call's connection, then the
// properties in the order given, and shows it.
std::optional<BaseFindChoice> pickBase(const std::vector<std::pair<QString, Variant>> &properties,
                                       bool readCode);

// A unit's number and name, trimmed. A lookup that finds none raises the
// record set's no-current-record error.
struct UnitText
{
    QString number;
    QString name;
};
UnitText readUnit(BOM &bom, const QString &key);

} // namespace pick
} // namespace torvel
