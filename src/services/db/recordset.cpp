#include "services/db/recordset.h"

#include "services/db/filter.h"

namespace torvel {

namespace {

const QString kSource = QStringLiteral("TORVEL");

[[noreturn]] void noCurrentRecord()
{
    throw ComError(errc::NoCurrentRecord, kSource,
                   QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。"));
}

} // namespace

Recordset::Recordset(QStringList fieldNames, std::vector<Row> rows)
    : m_fieldNames(std::move(fieldNames))
    , m_rows(std::move(rows))
{
    // A short row would make Fields() read past its end.
    for (const Row &row : m_rows) {
        if (row.size() != size_t(m_fieldNames.size()))
            throw ComError(errc::InvalidProcedureCall, kSource,
                           QStringLiteral("记录的列数 %1 与字段数 %2 不符").arg(row.size()).arg(m_fieldNames.size()));
    }
    m_visible.resize(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_visible[i] = int(i);
}

void Recordset::checkOpen() const
{
    if (!m_open)
        throw ComError(errc::ObjectClosed, kSource, QStringLiteral("对象关闭时，不允许操作。"));
}

bool Recordset::Eof() const
{
    checkOpen();
    return m_visible.empty() || m_pos >= int(m_visible.size());
}

bool Recordset::Bof() const
{
    checkOpen();
    return m_visible.empty() || m_pos < 0;
}

// On an empty set the moves to an end leave it at Eof and Bof rather than
// failing: "no rows" is already what the caller reads next.
void Recordset::MoveFirst()
{
    checkOpen();
    m_pos = 0;
}

void Recordset::MoveLast()
{
    checkOpen();
    m_pos = m_visible.empty() ? 0 : int(m_visible.size()) - 1;
}

void Recordset::MoveNext()
{
    if (Eof())
        noCurrentRecord();
    ++m_pos;
}

void Recordset::MovePrevious()
{
    if (Bof())
        noCurrentRecord();
    --m_pos;
}

int Recordset::RecordCount() const
{
    checkOpen();
    return int(m_visible.size());
}

int Recordset::AbsolutePosition() const
{
    if (Eof() || Bof())
        return 0;
    return m_pos + 1;
}

int Recordset::fieldIndex(const QString &name) const
{
    const QString wanted = name.trimmed();
    for (int i = 0; i < m_fieldNames.size(); ++i) {
        if (m_fieldNames[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const Recordset::Row &Recordset::currentRow() const
{
    if (Eof() || Bof())
        noCurrentRecord();
    return m_rows[size_t(m_visible[size_t(m_pos)])];
}

Variant Recordset::Fields(const QString &name) const
{
    checkOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw ComError(errc::ItemNotFound, kSource,
                       QStringLiteral("在对应所需名称或序数的集合中，未找到项目：%1").arg(name));
    return currentRow()[size_t(index)];
}

Variant Recordset::Fields(int index) const
{
    checkOpen();
    if (index < 0 || index >= m_fieldNames.size())
        throw ComError(errc::ItemNotFound, kSource,
                       QStringLiteral("在对应所需名称或序数的集合中，未找到项目：%1").arg(index));
    return currentRow()[size_t(index)];
}

void Recordset::setFilter(const QString &criteria)
{
    checkOpen();
    m_filter = criteria;
    m_pos = 0;
    m_visible.clear();
    // A criteria that cannot be read leaves no row visible before the error
    // goes up: a caller that ignores the error sees "not found", never a row
    // the criteria did not select.
    const FilterExpr expr = FilterExpr::parse(criteria, m_fieldNames);
    m_visible.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (expr.matches(m_rows[i]))
            m_visible.push_back(int(i));
    }
}

bool Recordset::Find(const QString &criterion)
{
    checkOpen();
    FilterExpr expr;
    try {
        expr = FilterExpr::parse(criterion, m_fieldNames);
        if (!expr.isSingleComparison())
            throw ComError(errc::InvalidFilter, kSource, QStringLiteral("查找条件只能有一个比较"));
    } catch (const ComError &) {
        // As with a bad filter: no row is left current to be read as found.
        m_pos = int(m_visible.size());
        throw;
    }
    if (m_pos < 0)
        m_pos = 0;
    for (; m_pos < int(m_visible.size()); ++m_pos) {
        if (expr.matches(m_rows[size_t(m_visible[size_t(m_pos)])]))
            return true;
    }
    return false;
}

void Recordset::Close()
{
    m_open = false;
}

} // namespace torvel
