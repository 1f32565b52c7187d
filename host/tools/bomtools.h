#pragma once

// The planner's tools over the host database, outside the library's dialogs:
// where an item is used, copying a BOM, and BOMs to and from CSV. They run on
// the host's own connection, write through the same statements the editor's
// saves send and check an import with the editor's rules. The workbench and
// torvel-host's subcommands are thin callers of these.

#include "services/db/connection.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;

namespace torvel::host {

// ---- where used -------------------------------------------------------------

// One use of an item: a child line naming it, or a substitute-class line
// whose class the item belongs to (viaClass).
struct UseRow
{
    bool viaClass = false;
    QString classNumber;      // the line's class, for a class use
    QString className;
    int32_t bomId = 0;
    QString bomNumber;
    QString bomName;
    int32_t groupId = 0;
    QString groupNumber;
    QString groupName;
    int status = 0;           // 0 使用, 1 未使用
    int32_t entry = 0;        // the line's FBOMEntryID
    double qty = 0;
    double scrapPercent = 0;  // as the editor shows it
};

struct WhereUsed
{
    int32_t itemId = 0;       // 0: no item has that code
    QString itemNumber;
    QString itemName;
    std::vector<UseRow> uses; // child uses first, then class uses; by BOM number
};

// Through the child lines' item and class indexes: a handful of index reads
// whatever the size of the tables.
WhereUsed whereUsed(Connection &connection, const QString &itemCode);

// The child item codes of a BOM's lines in entry order: what a where-used
// search on the selected BOM offers.
QStringList childCodesOfBom(Connection &connection, int32_t bomId);

// The uses as tab-separated text (a terminal) or as CSV rows, each with a header row.
QString whereUsedText(const WhereUsed &result);
QString whereUsedCsv(const WhereUsed &result);

// ---- copy -------------------------------------------------------------------

// A new BOM numbered `number` with BOM `bomId`'s header and lines, in group
// `groupId` (0: the source's group), in one transaction. Refused, as the
// editor refuses it, when the number is empty or used; also when the source
// or the group does not exist. Failures throw ComError with the text to show.
// Answers the new BOM's id.
int32_t copyBom(Connection &connection, int32_t bomId, const QString &number, int32_t groupId = 0);

// ---- CSV --------------------------------------------------------------------

// The columns of a BOM file, one row per line: the header's columns repeat
// on every line of a BOM. A BOM without lines is one row whose line columns
// are empty. Items, classes and auxiliary properties by code, units by name.
enum class CsvColumn {
    BomNumber, BomName, Status, ItemNumber, AuxProp,
    ClassNumber, ChildNumber, ChildAuxProp, Unit, Qty, Scrap, Remark, Count
};
QStringList csvHeader();

// Which BOMs an export writes: one BOM, one group's, or (both 0) all.
struct ExportScope
{
    int32_t bomId = 0;
    int32_t groupId = 0;
};

// Writes UTF-8 with the byte-order mark, so spreadsheet programs read the
// Chinese text, BOMs in id order and lines in entry order. Answers the number
// of rows written after the header.
int exportBoms(Connection &connection, const ExportScope &scope, QIODevice &out);

// One record of a CSV text as read: its fields, and for each the file line
// (from 1) where it starts.
struct CsvRecord
{
    QStringList fields;
    std::vector<int> lines;
};

// A problem with the file, named by file line and column (both from 1; column
// 0 for the whole line).
struct ImportIssue
{
    int line = 0;
    int column = 0;
    QString message;
    QString text() const;   // "第3行第7列：..."
};

// Reads a CSV text: fields separated by commas, quoted fields with doubled
// quotes inside and line breaks kept, CRLF or LF. A malformed record (an
// unclosed quote, text after a closing quote, a quote inside a plain field)
// is an issue, and reading goes on at the next line.
std::vector<CsvRecord> readCsv(const QString &text, std::vector<ImportIssue> *issues);
// One field as written: quoted when it holds a comma, quote or line break.
QString csvField(const QString &value);

struct ImportOptions
{
    bool replace = false;   // a BOM whose number exists is rewritten, else an error
    int32_t groupId = 0;    // the group of new BOMs; needed when the file has any
    // Called as rows are checked and written (done, total); false cancels the
    // import, which then writes nothing.
    std::function<bool(int done, int total)> progress;
};

struct ImportResult
{
    std::vector<ImportIssue> issues;   // any: nothing was written
    bool cancelled = false;
    int added = 0;                     // BOMs
    int replaced = 0;
    int lines = 0;
    bool ok() const { return issues.empty() && !cancelled; }
};

// Checks every row with the editor's rules first and reports every problem
// together; a file with any problem writes nothing. A valid file is written
// in one transaction: new BOMs as the editor adds them, existing ones (with
// `replace`) as it updates them, keeping their group. Database failures throw
// ComError, with nothing written.
ImportResult importBoms(Connection &connection, const QByteArray &data, const ImportOptions &options);

} // namespace torvel::host
