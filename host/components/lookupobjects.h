#pragma once

#include "services/com/dispatch.h"

#include <QString>

#include <utility>
#include <vector>

namespace torvel::host {

// `LookupParams`: a bag of named values that a caller fills before a pick
// list. Any name can be set and read; an unset name reads as Empty. Names are
// matched case-insensitively and keep the spelling and position of their
// first assignment, so the order in which a caller set them stays visible.
class LookupParamsObject : public DispatchObject
{
public:
    using Entry = std::pair<QString, Variant>;

    QString className() const override { return QStringLiteral("LookupParams"); }
    DispId idOfName(const QString &name) const override;
    Variant invoke(DispId id, InvokeKind kind, Args &args) override;

    void setValue(const QString &name, const Variant &value);
    Variant value(const QString &name) const;
    bool contains(const QString &name) const;
    // Distinct names in the order first set, with their current values.
    const std::vector<Entry> &entries() const { return m_entries; }
    // Every assignment in order, repeats included.
    const std::vector<Entry> &assignments() const { return m_assignments; }

private:
    int entryIndex(const QString &name) const;

    mutable std::vector<QString> m_names;   // dispatch id - 1 -> name
    std::vector<Entry> m_entries;
    std::vector<Entry> m_assignments;
};

// The chosen row of a pick list (`returnobject`): `Number`, `Name`, `ItemID`,
// `MeasureUnitID` and `Properties(field)`, field names case-insensitive.
class LookupRowObject : public MemberTableObject
{
public:
    struct Data {
        QString number;
        QString name;
        int32_t itemId = 0;
        int32_t measureUnitId = 0;
        std::vector<std::pair<QString, Variant>> properties;
    };

    explicit LookupRowObject(Data data);
    QString className() const override { return QStringLiteral("LookupRow"); }
    const Data &data() const { return m_data; }
    // Throws ItemNotFound for a field the row does not carry.
    Variant property(const QString &field) const;

private:
    Data m_data;
};

// What `ItemLookup` and `UnitLookup` return: `ReturnOK` and `returnobject`
// (Nothing when the user cancelled).
class LookupResultObject : public MemberTableObject
{
public:
    LookupResultObject(bool ok, std::shared_ptr<LookupRowObject> row);
    QString className() const override { return QStringLiteral("LookupResult"); }

    static ObjectPtr cancelled();
    static ObjectPtr chosen(LookupRowObject::Data row);

private:
    bool m_ok;
    std::shared_ptr<LookupRowObject> m_row;
};

} // namespace torvel::host
