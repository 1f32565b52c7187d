#include "ui/lookups/pickcalls.h"

#include "bomdata/bom.h"
#include "state/callstate.h"
#include "services/com/comerror.h"
#include "services/text/helpers.h"
#include "services/db/recordset.h"

namespace torvel::pick {

namespace {

bool isTrue(const Variant &value)
{
    if (value.type() == Variant::Type::Boolean)
        return value.toBool();
    // A numeric True is -1; anything else counts as a cancel.
    return value.isNumeric() && value.toDouble() == -1.0;
}

std::optional<PickedRow> pickedRow(const Variant &result)
{
    ObjectPtr answer = result.toObject();
    if (!answer || !isTrue(answer->get(QStringLiteral("ReturnOK"))))
        return std::nullopt;
    PickedRow picked;
    picked.row = answer->get(QStringLiteral("returnobject")).toObject();
    picked.number = NullToValue(picked.row->get(QStringLiteral("Number")), QString()).toString();
    picked.name = NullToValue(picked.row->get(QStringLiteral("Name")), QString()).toString();
    return picked;
}

} // namespace

Variant PickedRow::property(const QString &field) const
{
    Args args{Variant(field)};
    return row->get(QStringLiteral("Properties"), args);
}

QString PickedRow::textProperty(const QString &field) const
{
    return NullToValue(property(field), QString()).toString();
}

int32_t PickedRow::idProperty(const QString &field) const
{
    return roundToInt32(Val(NullToValue(property(field), int32_t(0)).toString()));
}

std::optional<PickedRow> pickItem(const QString &filter, bool firstShow, const std::optional<QString> &lookupKey,
                                  ObjectPtr lookup)
{
    if (!lookup)
        lookup = CreateObject(QStringLiteral("PickView.GLView"));
    ObjectPtr params = CreateObject(QStringLiteral("LookupParams"));
    params->put(QStringLiteral("BeShortNumber"), Variant(false));
    params->put(QStringLiteral("GetDataType"), Variant(int32_t(1)));
    if (firstShow)
        params->put(QStringLiteral("FirstShow"), Variant(int32_t(1)));
    if (lookupKey)
        params->put(QStringLiteral("LookupKey"), Variant(*lookupKey));
    Args args{Variant(int16_t(4)), Variant(QString()), Variant(filter), Variant(params)};
    std::optional<PickedRow> picked = pickedRow(lookup->call(QStringLiteral("ItemLookup"), args));
    if (!picked)
        return std::nullopt;
    picked->itemId = roundToInt32(Val(NullToValue(picked->row->get(QStringLiteral("ItemID")), int32_t(0)).toString()));
    return picked;
}

std::optional<PickedRow> pickUnit(const Variant &unitGroup, ObjectPtr lookup)
{
    if (!lookup)
        lookup = CreateObject(QStringLiteral("PickView.GLView"));
    Args args{unitGroup};
    std::optional<PickedRow> picked = pickedRow(lookup->call(QStringLiteral("UnitLookup"), args));
    if (!picked)
        return std::nullopt;
    picked->measureUnitId =
        roundToInt32(Val(NullToValue(picked->row->get(QStringLiteral("MeasureUnitID")), int32_t(0)).toString()));
    return picked;
}

std::optional<BaseFindChoice> pickBase(const std::vector<std::pair<QString, Variant>> &properties, bool readCode)
{
    ObjectPtr finder = CreateObject(QStringLiteral("BaseFind.clsBase"));
    finder->put(QStringLiteral("ActiveConnection"), Variant(gAdoCnn.object()));
    for (const auto &[name, value] : properties)
        finder->put(name, value);
    finder->call(QStringLiteral("Show"));
    BaseFindChoice choice;
    choice.name = NullToValue(finder->get(QStringLiteral("ReturnName")), QString()).toString();
    if (choice.name.isEmpty())
        return std::nullopt;
    choice.innerId =
        roundToInt32(Val(NullToValue(finder->get(QStringLiteral("ReturnInnerID")), int32_t(0)).toString()));
    if (readCode)
        choice.code = NullToValue(finder->get(QStringLiteral("ReturnCode")), QString()).toString();
    return choice;
}

UnitText readUnit(BOM &bom, const QString &key)
{
    UnitText unit;
    RecordsetPtr rs = bom.GetUnitInfo(key);
    // No unit is a read error, never an empty one: the line or header would
    // keep a unit id that names nothing.
    if (!rs)
        throw ComError(errc::ObjectRequired, QStringLiteral("TORVEL"), errtext::kNoRecordset);
    unit.number = Trim(NullToValue(rs->Fields(QStringLiteral("FNumber")), QString()).toString());
    unit.name = Trim(NullToValue(rs->Fields(QStringLiteral("FName")), QString()).toString());
    return unit;
}

} // namespace torvel::pick
