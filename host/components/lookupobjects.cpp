#include "components/lookupobjects.h"

namespace torvel::host {

DispId LookupParamsObject::idOfName(const QString &name) const
{
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return DispId(i + 1);
    }
    m_names.push_back(name);
    return DispId(m_names.size());
}

Variant LookupParamsObject::invoke(DispId id, InvokeKind kind, Args &args)
{
    if (id < 1 || size_t(id) > m_names.size())
        throw ComError(errc::MemberNotFound, className(), QStringLiteral("对象不支持该属性或方法"));
    const QString &name = m_names[size_t(id - 1)];
    if (kind == InvokeKind::PropertyPut) {
        if (args.empty())
            throw ComError(errc::InvalidProcedureCall, className(), QStringLiteral("缺少要设置的值: ") + name);
        setValue(name, args.back());
        return Variant();
    }
    return value(name);
}

int LookupParamsObject::entryIndex(const QString &name) const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

void LookupParamsObject::setValue(const QString &name, const Variant &value)
{
    m_assignments.emplace_back(name, value);
    const int index = entryIndex(name);
    if (index < 0)
        m_entries.emplace_back(name, value);
    else
        m_entries[size_t(index)].second = value;
}

Variant LookupParamsObject::value(const QString &name) const
{
    const int index = entryIndex(name);
    return index < 0 ? Variant() : m_entries[size_t(index)].second;
}

bool LookupParamsObject::contains(const QString &name) const
{
    return entryIndex(name) >= 0;
}

// ---------------------------------------------------------------------------

LookupRowObject::LookupRowObject(Data data)
    : m_data(std::move(data))
{
    addProperty(QStringLiteral("Number"), 1, [this](Args &) { return Variant(m_data.number); });
    addProperty(QStringLiteral("Name"), 2, [this](Args &) { return Variant(m_data.name); });
    addProperty(QStringLiteral("ItemID"), 3, [this](Args &) { return Variant(m_data.itemId); });
    addProperty(QStringLiteral("MeasureUnitID"), 4, [this](Args &) { return Variant(m_data.measureUnitId); });
    addProperty(QStringLiteral("Properties"), 5, [this](Args &args) {
        if (args.empty())
            throw ComError(errc::InvalidProcedureCall, className(), QStringLiteral("Properties 需要字段名"));
        return property(args.front().toString());
    });
}

Variant LookupRowObject::property(const QString &field) const
{
    for (const auto &[name, value] : m_data.properties) {
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return value;
    }
    throw ComError(errc::ItemNotFound, className(), QStringLiteral("找不到字段: ") + field);
}

// ---------------------------------------------------------------------------

LookupResultObject::LookupResultObject(bool ok, std::shared_ptr<LookupRowObject> row)
    : m_ok(ok)
    , m_row(std::move(row))
{
    addProperty(QStringLiteral("ReturnOK"), 1, [this](Args &) { return Variant(m_ok); });
    addProperty(QStringLiteral("returnobject"), 2, [this](Args &) { return Variant(ObjectPtr(m_row)); });
}

ObjectPtr LookupResultObject::cancelled()
{
    return std::make_shared<LookupResultObject>(false, nullptr);
}

ObjectPtr LookupResultObject::chosen(LookupRowObject::Data row)
{
    return std::make_shared<LookupResultObject>(true, std::make_shared<LookupRowObject>(std::move(row)));
}

} // namespace torvel::host
