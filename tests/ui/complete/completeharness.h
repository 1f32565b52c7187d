#pragma once

// Opens frmBOMComplete the way a host does, through BomInfo.CompleteBom, with
// a script running inside its modal loop, on a small database of known rows;
// boxes and the outside components are scripted.

#include "bomdata/gridmodel.h"
#include "dbfixture.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "ui/complete/frmbomcomplete.h"
#include "ui/complete/notes.h"

#include <gtest/gtest.h>

#include <functional>

namespace torvel::test {

// Ids of the test data: BOM 1 (parent P100) has a fixed line of C200 with
// property 红色 (scrap 5 %, remark 注's), a line of substitute class 50 with
// quantity 0 and a fixed line of C201; BOM 2 has no lines; BOM 3 three fixed
// lines. Note 7 completes BOM 1 with B-01. Class 50 holds P100, C201, B-01,
// B-0002 and B'03 (short numbers BB, BB, CB); X-1 is of class 51.
namespace data {
inline constexpr int32_t kLampBom = 1, kEmptyBom = 2, kFixedBom = 3, kNote = 7;
inline constexpr int32_t kLamp = 100, kShade = 200, kHolder = 201;
inline constexpr int32_t kBulbShort = 301, kBulbLong = 302, kBulbColour = 303, kOtherClass = 304;
inline constexpr int32_t kRed = 901, kBlue = 902;
} // namespace data

void seedCompletionData(Connection &cnn);

using Script = std::function<void(FrmBomComplete &)>;

// CompleteBom on `cnn` with `script` inside the dialog's loop; a dialog the
// script leaves open is cancelled. Returns what CompleteBom returns.
int32_t completeBom(const ConnectionPtr &cnn, int32_t noteId, int32_t bomId, const Script &script);

// The rows of one completion in entry order: "entry|bom|class|item|aux|unit|qty|scrap|remark".
QStringList notesOf(Connection &cnn, int32_t noteId);
// Every note row, for "nothing was written".
QStringList allNotes(Connection &cnn);

// Grid input as the clerk gives it: the cursor on a cell, text put into it,
// leaving it with Tab, a key pressed in the grid.
void setCursor(FrmBomComplete &form, int col, int row);
void typeAndLeave(FrmBomComplete &form, int col, int row, const QString &text);
void press(FrmBomComplete &form, Qt::Key key);
QString cells(const GridModel &grid, int row, std::initializer_list<int> cols);

class CompletionTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    int32_t complete(int32_t noteId, int32_t bomId, const Script &script)
    {
        return completeBom(cnn, noteId, bomId, script);
    }
    // The next statement containing `fragment` fails as the database would.
    void failStatement(const QString &fragment) { m_failOn = fragment; }

    std::unique_ptr<TestDatabase> db;
    ConnectionPtr cnn;
    MessageBoxRecorder boxes;
    FakePickView pick;
    FakeBaseFind baseFind;

private:
    QString m_failOn;
};

} // namespace torvel::test
