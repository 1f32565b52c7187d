#pragma once

// Opens frmBom the way BomInfo.Show does (through the dialog seam, with a
// script running inside its modal loop) on a small database of our own, with
// message boxes, the pointer and the outside components scripted.

#include "bomdata/bom.h"
#include "dbfixture.h"
#include "state/callstate.h"
#include "state/dialogseam.h"
#include "fakecomponents.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/db/connection.h"
#include "services/text/helpers.h"
#include "ui/editor/bomeditorlogic.h"
#include "ui/editor/frmbom.h"
#include "bomdata/gridmodel.h"
#include "ui/grid/gridview.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace torvel::test {

// Ids of the test data.
namespace data {
inline constexpr int32_t kGroup = 7;
inline constexpr int32_t kLampBom = 1;      // BOM-001, parent P100, three lines
inline constexpr int32_t kChandBom = 2;     // BOM-002, parent P101, one assembly line (P102)
inline constexpr int32_t kEmptyBom = 3;     // BOM-003, parent P101, no lines
inline constexpr int32_t kLamp = 100;       // P100 assembly, auxiliary class 3001
inline constexpr int32_t kChandelier = 101; // P101 assembly, no auxiliary class
inline constexpr int32_t kBulb = 201;       // C201 child, unit 箱
inline constexpr int32_t kWire = 202;       // C202 child, unit group 2 (千克)
// C200 (200) child with auxiliary class 3001, S1 (211) child; C203 (203)
// child whose base unit is missing; TH01 (50) substitute class 灯泡类.
inline constexpr int32_t kRed = 901;        // auxiliary property R 红色 (class 3001)
inline constexpr int32_t kBlue = 902;       // auxiliary property B 蓝色
} // namespace data

class EditorTest : public ::testing::Test
{
public:
    void SetUp() override;
    void TearDown() override;

    // Opens the editor on the call state as it is and runs `script` inside
    // its modal loop. A script that leaves the dialog open has it closed
    // (Esc's way) so that a failing test never hangs.
    void runEditor(const std::function<void(FrmBom &)> &script);
    void runEditor(int32_t bomId, const std::function<void(FrmBom &)> &script)
    {
        prepareCall(bomId);
        runEditor(script);
    }
    // As BomInfo's creation and its InterID/GroupID properties leave the state.
    void prepareCall(int32_t bomId, int32_t groupId = data::kGroup);

    // SQL helpers on the test database.
    void exec(const QString &sql);
    QString scalar(const QString &sql);
    int count(const QString &sql) { return scalar(sql).toInt(); }
    // Statements run since the hook was armed (SELECTs included).
    void countStatements() { m_statements.clear(); m_counting = true; }
    const QStringList &statements() const { return m_statements; }
    // Statements run since countStatements() other than SELECTs.
    QStringList writes() const;

    MessageBoxRecorder boxes;
    PointerRecorder pointer;
    FakePickView pick;
    FakeBaseFind baseFind;
    FakeSecurity security{true};
    FakeShareProps shareProps;

private:
    std::unique_ptr<TestDatabase> m_db;
    ConnectionPtr m_cnn;
    QStringList m_statements;
    bool m_counting = false;
};

// Table-driven cases: a struct with a `name` that names the instantiations.
template <typename Case>
class EditorCases : public EditorTest, public ::testing::WithParamInterface<Case>
{};
inline constexpr auto kCaseName = [](const auto &info) { return std::string(info.param.name); };

// Several values in one comparable text, joined by '|'.
QString cells(const GridModel &grid, int row, std::initializer_list<int> cols);
QString fields(FrmBom &form, std::initializer_list<const char *> names);
// The BOM's parent item as copied from the header: id, number, name, unit
// id, unit name, unit number, auxiliary class, unit group.
QString parentItem(const BOM &bom);
// A pending edit: the modified flag and "Save" enabled, which go together.
void expectPending(FrmBom &form, bool pending);
// Toolbar1_ButtonClick with the button's key.
void click(FrmBom &form, const char *key);

// Controls by name.
QLineEdit *textBox(FrmBom &form, const char *name);
QComboBox *statusBox(FrmBom &form);
QAction *toolButton(FrmBom &form, const char *key);
GridView *gridView(FrmBom &form);

// Keyboard as the user uses it.
void typeText(QWidget *widget, const QString &text);
void pressKey(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Focus into a control as a click would put it there.
void focusControl(QWidget *widget);
// Types into a field and leaves it with Tab.
void enterField(FrmBom &form, const char *name, const QString &text);

// Grid: puts text into a cell as if typed, with the cursor on it, and leaves
// the cell with a key (Tab moves right, Up/Down change rows).
void putCell(FrmBom &form, int col, int row, const QString &text);
void leaveCellBy(FrmBom &form, Qt::Key key = Qt::Key_Tab);
void setCursor(FrmBom &form, int col, int row);

} // namespace torvel::test
