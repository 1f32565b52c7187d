#include "librarycalls.h"

namespace torvel::host {

namespace {

// Results as the dispatch interface types them (I4, Boolean); a host reads
// what it is given, so other numeric tags are taken too.
int32_t asInt(const Value &v)
{
    const TvVariant &r = v.raw();
    switch (r.vt) {
    case TV_VT_I2: return r.iVal;
    case TV_VT_I4: return r.lVal;
    case TV_VT_R8: return int32_t(r.dblVal);
    case TV_VT_BOOL: return r.boolVal ? -1 : 0;
    default: return 0;
    }
}

bool asBool(const Value &v)
{
    return asInt(v) != 0;
}

} // namespace

LibraryCalls::LibraryCalls(ObjectFactory create, QString connectionString)
    : m_create(std::move(create)), m_connectionString(std::move(connectionString))
{
}

Value LibraryCalls::connection()
{
    if (!m_connection) {
        Object c = m_create("TORVEL.Connection");
        c.call(c.idOf("Open"), {Value::text(m_connectionString.toStdString())});
        m_connection = std::move(c);
    }
    return Value::object(m_connection.get());
}

ShowResult LibraryCalls::showGroup(int32_t id, int32_t parentId)
{
    const Value cnn = connection();
    Object g = m_create("TORVEL.BOMGroupInfo");
    g.put(TV_DISPID_ActiveConnection, cnn);
    g.put(TV_DISPID_InterID, Value::i4(id));
    g.put(TV_DISPID_ParentID, Value::i4(parentId));
    g.call(TV_DISPID_Show);
    return {asBool(g.get(TV_DISPID_ReturnOK)), asInt(g.get(TV_DISPID_ReturnGroupID))};
}

ShowResult LibraryCalls::showBom(int32_t id, int32_t groupId)
{
    const Value cnn = connection();
    Object b = m_create("TORVEL.BomInfo");
    b.put(TV_DISPID_ActiveConnection, cnn);
    b.put(TV_DISPID_InterID, Value::i4(id));
    b.put(TV_DISPID_GroupID, Value::i4(groupId));
    b.call(TV_DISPID_Show);
    return {asBool(b.get(TV_DISPID_ReturnOK)), asInt(b.get(TV_DISPID_ReturnBomID))};
}

int32_t LibraryCalls::selectBom(int32_t itemId)
{
    const Value cnn = connection();
    return asInt(m_create("TORVEL.BomInfo").call(TV_DISPID_SelectBom, {cnn, Value::i4(itemId)}));
}

int32_t LibraryCalls::completeBom(int32_t noteId, int32_t bomId)
{
    const Value cnn = connection();
    return asInt(m_create("TORVEL.BomInfo").call(TV_DISPID_CompleteBom, {cnn, Value::i4(noteId), Value::i4(bomId)}));
}

void LibraryCalls::lookBomReport(int32_t bomId, double oleDate)
{
    const Value cnn = connection();
    m_create("TORVEL.BomInfo").call(TV_DISPID_LookBomReport, {cnn, Value::i4(bomId), Value::date(oleDate)});
}

} // namespace torvel::host
