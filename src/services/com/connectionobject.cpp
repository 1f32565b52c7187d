#include "services/com/connectionobject.h"

namespace torvel {

namespace {

// Dispatch ids of the connection object: small fixed numbers, stable for hosts.
enum : DispId {
    idOpen = 1, idClose, idExecute, idBeginTrans, idCommitTrans, idRollbackTrans,
    idConnectionString, idState,
};
enum : DispId {
    idEOF = 1, idBOF, idMoveFirst, idMoveNext, idMovePrevious, idMoveLast,
    idFields, idRecordCount, idFilter, idRsClose, idFieldCount, idFieldName,
};

} // namespace

ConnectionObject::ConnectionObject()
{
    addMethod(QStringLiteral("Open"), idOpen, {{QStringLiteral("ConnectionString"), VarType::String}},
              [this](Args &a) {
                  // Reopening replaces the connection; holders of the old one keep it.
                  if (m_connection && m_connection->isOpen())
                      m_connection->Close();
                  m_connection = Connection::open(a[0].toString());
                  return Variant();
              });
    addMethod(QStringLiteral("Close"), idClose, {}, [this](Args &) {
        if (m_connection)
            m_connection->Close();
        return Variant();
    });
    addMethod(QStringLiteral("Execute"), idExecute,
              {{QStringLiteral("CommandText"), VarType::String},
               {QStringLiteral("RecordsAffected"), VarType::Variant, true, true},
               {QStringLiteral("Options"), VarType::Int32, false, true}},
              [this](Args &a) {
                  qint64 affected = 0;
                  RecordsetPtr rs = open().Execute(a[0].toString(), &affected);
                  if (a.size() > 1)
                      a[1] = Variant(int32_t(affected));
                  if (rs)
                      return Variant(ObjectPtr(std::make_shared<RecordsetObject>(rs)));
                  return Variant(int32_t(affected));
              });
    addMethod(QStringLiteral("BeginTrans"), idBeginTrans, {}, [this](Args &) {
        open().BeginTrans();
        return Variant();
    });
    addMethod(QStringLiteral("CommitTrans"), idCommitTrans, {}, [this](Args &) {
        open().CommitTrans();
        return Variant();
    });
    addMethod(QStringLiteral("RollbackTrans"), idRollbackTrans, {}, [this](Args &) {
        open().RollbackTrans();
        return Variant();
    });
    addProperty(QStringLiteral("ConnectionString"), idConnectionString, VarType::String, [this](Args &) {
        return Variant(m_connection ? m_connection->connectionString() : QString());
    });
    // ADO's adStateOpen (1) and adStateClosed (0).
    addProperty(QStringLiteral("State"), idState, VarType::Int32, [this](Args &) {
        return Variant(int32_t(m_connection && m_connection->isOpen() ? 1 : 0));
    });
}

ConnectionObject::ConnectionObject(ConnectionPtr connection)
    : ConnectionObject()
{
    m_connection = std::move(connection);
}

Connection &ConnectionObject::open() const
{
    if (!m_connection || !m_connection->isOpen())
        throw ComError(errc::ObjectClosed, kProgId, errtext::kConnectionClosed);
    return *m_connection;
}

ObjectPtr ConnectionObject::reference(const Variant &value)
{
    if (!value.isObject())
        throw ComError(errc::ObjectRequired, kProgId,
                       errtext::kConnectionRequired + value.typeName());
    ObjectPtr object = value.toObject();
    if (object && !dynamic_cast<const ConnectionObject *>(object.get()))
        throw ComError(errc::TypeMismatch, kProgId,
                       errtext::kConnectionRequired + object->className());
    return object;   // Nothing: the caller clears its reference
}

ConnectionPtr ConnectionObject::unwrap(const Variant &value)
{
    const ObjectPtr object = reference(value);
    if (!object)
        return nullptr;
    const auto *own = static_cast<const ConnectionObject *>(object.get());
    if (!own->m_connection)
        throw ComError(errc::ObjectClosed, kProgId, QStringLiteral("数据库连接对象尚未打开"));
    return own->m_connection;
}

ObjectPtr ConnectionObject::wrap(ConnectionPtr connection)
{
    return std::make_shared<ConnectionObject>(std::move(connection));
}

RecordsetObject::RecordsetObject(RecordsetPtr recordset)
    : m_recordset(std::move(recordset))
{
    auto rs = [this]() -> Recordset & { return *m_recordset; };
    addProperty(QStringLiteral("EOF"), idEOF, VarType::Bool, [rs](Args &) { return Variant(rs().Eof()); });
    addProperty(QStringLiteral("BOF"), idBOF, VarType::Bool, [rs](Args &) { return Variant(rs().Bof()); });
    addMethod(QStringLiteral("MoveFirst"), idMoveFirst, {}, [rs](Args &) { rs().MoveFirst(); return Variant(); });
    addMethod(QStringLiteral("MoveNext"), idMoveNext, {}, [rs](Args &) { rs().MoveNext(); return Variant(); });
    addMethod(QStringLiteral("MovePrevious"), idMovePrevious, {},
              [rs](Args &) { rs().MovePrevious(); return Variant(); });
    addMethod(QStringLiteral("MoveLast"), idMoveLast, {}, [rs](Args &) { rs().MoveLast(); return Variant(); });
    // A field by name or by 0-based position.
    addProperty(QStringLiteral("Fields"), idFields, VarType::Variant,
                [rs](Args &a) {
                    if (a[0].isString())
                        return rs().Fields(a[0].toString());
                    return rs().Fields(a[0].toInt32());
                },
                {}, {{QStringLiteral("Index"), VarType::Variant}});
    addProperty(QStringLiteral("RecordCount"), idRecordCount, VarType::Int32,
                [rs](Args &) { return Variant(int32_t(rs().RecordCount())); });
    addProperty(QStringLiteral("Filter"), idFilter, VarType::String,
                [rs](Args &) { return Variant(rs().Filter()); },
                [rs](const Variant &v, Args &) { rs().setFilter(v.toString()); });
    addMethod(QStringLiteral("Close"), idRsClose, {}, [rs](Args &) { rs().Close(); return Variant(); });
    addProperty(QStringLiteral("FieldCount"), idFieldCount, VarType::Int32,
                [rs](Args &) { return Variant(int32_t(rs().fieldCount())); });
    addProperty(QStringLiteral("FieldName"), idFieldName, VarType::String,
                [rs](Args &a) {
                    const int i = a[0].toInt32();
                    if (i < 0 || i >= rs().fieldCount())
                        throw ComError(errc::ItemNotFound, QStringLiteral("TORVEL.Recordset"),
                                       QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"));
                    return Variant(rs().fieldNames().at(i));
                },
                {}, {{QStringLiteral("Index"), VarType::Int32}});
}

void registerConnectionObject(ObjectRegistry &registry)
{
    registry.registerFactory(ConnectionObject::kProgId, [] { return std::make_shared<ConnectionObject>(); });
}

} // namespace torvel
