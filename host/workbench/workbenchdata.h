#pragma once

// What the workbench reads from the host database for itself: the group tree
// and the BOMs of one group, a page at a time. The library is never asked for
// these; it is only called for the dialogs.

#include "services/db/connection.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace torvel::host {

struct GroupRow
{
    int32_t id = 0;
    int32_t parentId = 0;         // where the tree shows it
    QString number;
    QString name;
    int32_t storedParentId = 0;   // FParentID as stored, what the group editor is given
};

// Every group, parents before their children; children in number order. A
// group whose parent does not exist, or whose parent chain runs in a circle,
// is shown at the top level (parentId 0) so that no group is hidden.
std::vector<GroupRow> loadGroupTree(Connection &connection);

struct BomRow
{
    int32_t id = 0;
    QString number;
    QString name;
    int32_t itemId = 0;
    QString itemNumber;
    QString itemName;
    int status = 0;   // 0 使用, 1 未使用
    int lines = 0;
};

// Columns of the BOM list, in display order.
enum class BomColumn { Number, Name, ItemNumber, ItemName, Status, Lines, Count };

// One group's BOMs, filtered and sorted on the server, read by page. The
// filter matches the start of the BOM number, the BOM name or the parent
// item's code (indexed ranges); a filter that starts with '*' matches the rest
// of the text anywhere in those three, which reads the whole group.
struct BomQuery
{
    int32_t groupId = 0;
    QString filter;
    BomColumn sortColumn = BomColumn::Number;
    bool descending = false;

    // The statement for `limit` rows from `offset` on.
    QString pageSql(const Connection &connection, int offset, int limit) const;
};

std::vector<BomRow> fetchBomPage(Connection &connection, const BomQuery &query, int offset, int limit);

// The groups that hold at least one BOM.
std::vector<int32_t> groupsWithBoms(Connection &connection);

// The group a BOM belongs to; 0 when the BOM does not exist.
int32_t groupOfBom(Connection &connection, int32_t bomId);

// The completions stored for a BOM: each note id with its number of lines.
struct NoteRow
{
    int32_t noteId = 0;
    int lines = 0;
};
std::vector<NoteRow> notesOfBom(Connection &connection, int32_t bomId);

// Status text as the library's dialogs show it.
QString statusText(int status);

} // namespace torvel::host
