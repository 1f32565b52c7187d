#include "ui/grid/cellvalidator.h"
#include "ui/grid/gridview.h"

#include "modeltesterwatch.h"
#include "printers.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <ostream>

using torvel::CellValidator;
using torvel::GridModel;
using torvel::GridView;

namespace {

struct Leave {
    int col, row, newCol, newRow;
    QString textSeen;   // the left cell's text as the handler read it
    bool operator==(const Leave &) const = default;
    friend void PrintTo(const Leave &l, std::ostream *os)
    {
        *os << '(' << l.col << ',' << l.row << ")->(" << l.newCol << ',' << l.newRow << ") \""
            << l.textSeen.toStdString() << '"';
    }
};
using Leaves = std::vector<Leave>;

struct Cell {
    int col, row;
};

// The editor's child grid: 19 columns, 10 to 19 hidden, a locked name
// column, the quantity and scrap number cells.
class GridViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int c = 10; c <= 19; ++c)
            model.setColHidden(c, true);
        model.setColWidth(1, 11.87);
        model.setCol(3);
        model.setRow(-1);
        model.setLock(true);
        model.setCol(7);
        model.setTypeNumber(0, 99999999999999.0, 2);
        model.setCol(8);
        model.setTypeNumber(0, 99.99, 2);

        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&other);
        layout->addWidget(&view);
        layout->addWidget(&toolButton);
        toolButton.setFocusPolicy(Qt::NoFocus);
        view.setGridModel(&model);
        window.resize(1000, 500);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        view.setFocus();

        QObject::connect(&view, &GridView::leaveCell, [this](int col, int row, int newCol, int newRow, bool *cancel) {
            leaves.push_back({col, row, newCol, newRow, model.text(col, row)});
            *cancel = cancelLeave;
        });
        QObject::connect(&view, &GridView::keyDown, [this](int key, Qt::KeyboardModifiers mods, bool *handled) {
            keys.push_back({key, int(mods)});
            *handled = key == handleKey;
        });
    }

    void place(int col, int row)
    {
        model.setActiveCell(col, row);
        ASSERT_EQ(view.currentIndex(), model.index(row - 1, col - 1));
    }
    // The view's cursor and the model's active cell agree on (col, row).
    void expectAt(int col, int row)
    {
        EXPECT_EQ(view.currentIndex().column() + 1, col);
        EXPECT_EQ(view.currentIndex().row() + 1, row);
        EXPECT_EQ(model.ActiveCol(), col);
        EXPECT_EQ(model.ActiveRow(), row);
    }

    // Keys go where a user's would: to the open editor, else to the grid.
    QWidget *keyTarget() { return view.isEditing() ? static_cast<QWidget *>(view.cellEditor()) : &view; }
    void type(const QString &text)
    {
        for (QChar c : text)
            QTest::keyClick(keyTarget(), c.toLatin1());
    }
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(keyTarget(), key, mods); }
    QPoint centre(int col, int row) { return view.visualRect(model.index(row - 1, col - 1)).center(); }
    void click(int col, int row) { QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centre(col, row)); }
    void commit(const QString &imeText, QWidget *target)
    {
        QInputMethodEvent ime;
        ime.setCommitString(imeText);
        QApplication::sendEvent(target, &ime);
    }

    GridModel model{19, 5};
    QWidget window;
    QLineEdit other;
    GridView view;
    QToolButton toolButton;
    Leaves leaves;
    std::vector<std::pair<int, int>> keys;
    bool cancelLeave = false;
    int handleKey = 0;
};

TEST_F(GridViewTest, LeaveCellOncePerKeyMove)
{
    struct Case {
        const char *name;
        QString typed;   // opens an editor first when not empty
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        Cell from, to;
    };
    const Case cases[] = {
        {"right", {}, Qt::Key_Right, Qt::NoModifier, {2, 2}, {3, 2}},
        {"down", {}, Qt::Key_Down, Qt::NoModifier, {2, 2}, {2, 3}},
        {"tab", {}, Qt::Key_Tab, Qt::NoModifier, {2, 2}, {3, 2}},
        {"enter", {}, Qt::Key_Return, Qt::NoModifier, {2, 2}, {3, 2}},
        {"tab past the hidden columns", {}, Qt::Key_Tab, Qt::NoModifier, {9, 2}, {1, 3}},
        {"tab in editor", QStringLiteral("a1"), Qt::Key_Tab, Qt::NoModifier, {2, 2}, {3, 2}},
        {"backtab in editor", QStringLiteral("a1"), Qt::Key_Backtab, Qt::ShiftModifier, {2, 2}, {1, 2}},
        {"enter in editor", QStringLiteral("a1"), Qt::Key_Enter, Qt::KeypadModifier, {2, 2}, {3, 2}},
        {"up in editor", QStringLiteral("a1"), Qt::Key_Up, Qt::NoModifier, {2, 2}, {2, 1}},
        {"number cell tab", QStringLiteral("12.5"), Qt::Key_Tab, Qt::NoModifier, {7, 4}, {8, 4}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model.clearAll();
        place(c.from.col, c.from.row);
        leaves.clear();
        if (!c.typed.isEmpty()) {
            type(c.typed);
            EXPECT_EQ(view.editorText(), c.typed);
            EXPECT_EQ(model.text(c.from.col, c.from.row), QString()) << "not committed while typing";
        }
        press(c.key, c.mods);
        EXPECT_EQ(leaves, (Leaves{{c.from.col, c.from.row, c.to.col, c.to.row, c.typed}}));
        expectAt(c.to.col, c.to.row);
        EXPECT_FALSE(view.isEditing());
    }
}

TEST_F(GridViewTest, LeaveCellForMouseMoves)
{
    place(2, 2);
    click(5, 4);
    click(5, 4);   // the active cell: nothing to leave
    EXPECT_EQ(leaves, (Leaves{{2, 2, 5, 4, {}}}));
    expectAt(5, 4);

    // Dragging with the button down does not walk the cursor.
    const QPoint to = centre(2, 2);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, centre(5, 4));
    QMouseEvent drag(QEvent::MouseMove, QPointF(to), view.viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drag);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    EXPECT_EQ(leaves.size(), 1u);
    expectAt(5, 4);

    type(QStringLiteral("kg"));
    click(6, 1);
    EXPECT_EQ(leaves.back(), (Leave{5, 4, 6, 1, QStringLiteral("kg")}));
    expectAt(6, 1);
}

TEST_F(GridViewTest, CancelKeepsCursorAndTypedText)
{
    place(2, 2);
    cancelLeave = true;
    type(QStringLiteral("abc"));
    press(Qt::Key_Tab);
    click(4, 3);
    press(Qt::Key_Down);
    EXPECT_EQ(leaves.size(), 3u);
    expectAt(2, 2);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abc"));

    // Esc drops the typing: nothing committed, nothing left.
    type(QStringLiteral("zz"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abc"));
    EXPECT_EQ(leaves.size(), 3u);

    cancelLeave = false;
    press(Qt::Key_Down);
    EXPECT_EQ(leaves.size(), 4u);
    expectAt(2, 3);
}

TEST_F(GridViewTest, HandlerRewriteSurvivesAndHandlerMayGrowTheGrid)
{
    QObject::connect(&view, &GridView::leaveCell, [this](int col, int row, int, int, bool *) {
        if (col == 2)
            model.SetText(2, row, model.text(2, row).toUpper());
        if (col == 7 && row == model.MaxRows())
            model.setMaxRows(model.MaxRows() + 1);
    });
    place(2, 5);
    type(QStringLiteral("a01"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 5), QStringLiteral("A01"));

    place(7, 5);
    type(QStringLiteral("3"));
    press(Qt::Key_Down);
    EXPECT_TRUE(leaves.size() == 1u && view.isEditing()) << "no row below: nothing to leave for";
    press(Qt::Key_Tab);
    EXPECT_EQ(model.MaxRows(), 6);
    EXPECT_EQ(model.text(7, 5), QStringLiteral("3"));
    press(Qt::Key_Down);
    expectAt(8, 6);
}

TEST_F(GridViewTest, ToolbarCommandCommitsEditorAndStopsOnCancel)
{
    int ran = 0;
    QObject::connect(&toolButton, &QToolButton::clicked, [&] { ran += view.commitAndLeave(); });
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        ran = 0;
        leaves.clear();
        model.clearAll();
        place(2, 3);
        cancelLeave = cancel;
        type(QStringLiteral("A01"));
        QTest::mouseClick(&toolButton, Qt::LeftButton);
        EXPECT_EQ(ran, cancel ? 0 : 1);
        EXPECT_EQ(leaves, (Leaves{{2, 3, 0, 0, QStringLiteral("A01")}}));
        EXPECT_EQ(model.text(2, 3), QStringLiteral("A01"));
        expectAt(2, 3);
        EXPECT_TRUE(view.hasGridFocus()) << "the button must not take the focus";
    }
    cancelLeave = false;

    // A value the cell cannot hold stops the command and keeps the editor.
    model.setCol(8);
    model.setRow(2);
    model.setTypeNumber(5, 10, 0);
    place(8, 2);
    leaves.clear();
    ran = 0;
    type(QStringLiteral("1"));
    QTest::mouseClick(&toolButton, Qt::LeftButton);
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(leaves.empty());
    EXPECT_TRUE(view.isEditing());
    EXPECT_EQ(model.text(8, 2), QString());
    type(QStringLiteral("0"));
    QTest::mouseClick(&toolButton, Qt::LeftButton);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(model.text(8, 2), QStringLiteral("10"));
}

TEST_F(GridViewTest, KeyDownArrivesInsideAnOpenEditor)
{
    using Keys = std::vector<std::pair<int, int>>;
    place(2, 2);
    type(QStringLiteral("x"));
    ASSERT_TRUE(view.isEditing());
    EXPECT_EQ(keys, (Keys{{Qt::Key_X, 0}})) << "the key that opened the editor is raised once";

    QObject::connect(&view, &GridView::keyDown, [this](int key, Qt::KeyboardModifiers, bool *) {
        if (key == Qt::Key_F7)
            model.SetText(model.ActiveCol(), model.ActiveRow(), QStringLiteral("P100"));
    });
    keys.clear();
    press(Qt::Key_F7);
    EXPECT_EQ(view.editorText(), QStringLiteral("P100")) << "the lookup's result replaces the typing";
    // QTest presses Shift itself first, as a keyboard would.
    press(Qt::Key_F9, Qt::ShiftModifier);
    EXPECT_EQ(keys, (Keys{{Qt::Key_F7, 0}, {Qt::Key_Shift, Qt::ShiftModifier}, {Qt::Key_F9, Qt::ShiftModifier}}));
    EXPECT_TRUE(view.isEditing());

    handleKey = Qt::Key_Y;   // a handled key never reaches the editor
    type(QStringLiteral("y"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("P100"));
}

TEST_F(GridViewTest, LockedCellCannotBeEdited)
{
    model.SetText(3, 2, QStringLiteral("名称"));
    place(3, 2);
    type(QStringLiteral("xyz"));
    EXPECT_FALSE(view.isEditing());
    press(Qt::Key_F2);
    EXPECT_FALSE(view.isEditing());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, centre(3, 2));
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(3, 2), QStringLiteral("名称"));
}

// Typed quotes are the form's real-key test; here what an input method
// commits, into the open editor or while none is open.
TEST_F(GridViewTest, SwallowedCharactersNeverReachACell)
{
    view.setSwallowedCharacters(QStringLiteral("\"'"));
    model.SetText(2, 3, QStringLiteral("keep"));
    place(2, 3);
    commit(QStringLiteral("\""), &view);
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(2, 3), QStringLiteral("keep"));
    commit(QStringLiteral("商'品"), &view);
    ASSERT_TRUE(view.isEditing());
    commit(QStringLiteral("'q\""), view.cellEditor());
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 3), QStringLiteral("商品q"));
    // The usual way: a preedit first, then the commit.
    place(2, 3);
    QInputMethodEvent preedit(QStringLiteral("sp"), {});
    QApplication::sendEvent(&view, &preedit);
    commit(QStringLiteral("\"货'物"), &view);
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 3), QStringLiteral("货物"));
}

TEST_F(GridViewTest, CodeMovesAndRowChangesRaiseNoLeaveCell)
{
    ModelTesterWatch watch;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    place(2, 3);
    model.setActiveCell(5, 4);
    expectAt(5, 4);
    model.DeleteRows(4, 1);   // the cursor is on the row that moved up
    expectAt(5, 4);
    model.SetText(2, 4, QStringLiteral("old"));
    model.InsertRows(4, 1);   // the cursor is on the new row
    expectAt(5, 4);
    EXPECT_EQ(model.text(2, 4), QString());
    EXPECT_EQ(model.text(2, 5), QStringLiteral("old"));
    model.setMaxRows(2);
    expectAt(5, 2);
    model.setMaxRows(10);
    model.clearAll();
    expectAt(5, 2);
    EXPECT_TRUE(leaves.empty());
    // The rest of the model's changes, for the tester.
    model.InsertRows(11, 1);
    model.setCol(-1);
    model.setRow(-1);
    model.setLock(true);
    model.setMaxCols(25);
    model.setMaxCols(18);
    model.setMaxRows(0);
    model.setMaxRows(1);
    EXPECT_EQ(model.columnCount(), 18);
}

TEST_F(GridViewTest, FocusColumnsAndWidths)
{
    EXPECT_EQ(view.columnWidth(0), qRound(11.87 * view.fontMetrics().averageCharWidth()));
    model.setColHidden(4, true);
    EXPECT_TRUE(view.isColumnHidden(3));

    place(2, 2);
    EXPECT_TRUE(view.hasGridFocus());
    type(QStringLiteral("a"));
    ASSERT_TRUE(view.isEditing());
    EXPECT_TRUE(view.hasGridFocus()) << "the editor's focus is the grid's";
    other.setFocus();
    EXPECT_FALSE(view.hasGridFocus());
    EXPECT_EQ(model.text(2, 2), QStringLiteral("a")) << "leaving the grid commits the typing";
}

TEST(CellValidator, NumberRules)
{
    struct Case {
        const char *input;
        double min, max;
        int decimals;
        QValidator::State state;
    };
    const Case cases[] = {
        {"", 0, 99.99, 2, QValidator::Acceptable},
        {"100", 0, 99.99, 2, QValidator::Invalid},
        {".", 0, 99.99, 2, QValidator::Intermediate},
        {"1.5", 0, 100, 0, QValidator::Invalid},
        {"-", 0, 10, 2, QValidator::Invalid},
        {"-", -10, 10, 2, QValidator::Intermediate},
        {"-3", -10, -5, 2, QValidator::Intermediate},
        {"3", 5, 10, 0, QValidator::Intermediate},
        {"1e3", 0, 1e6, 2, QValidator::Invalid},
        {"1 ", 0, 10, 2, QValidator::Invalid},
        {"99999999999999", 0, 99999999999999.0, 4, QValidator::Acceptable},
        {"999999999999999", 0, 99999999999999.0, 4, QValidator::Invalid},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        CellValidator v;
        v.setNumber(c.min, c.max, c.decimals);
        QString s = QString::fromLatin1(c.input);
        int pos = int(s.size());
        EXPECT_EQ(v.validate(s, pos), c.state);
    }
}

TEST(CellValidator, SwallowedCharactersAreRemovedAndTheCursorFollows)
{
    CellValidator v;
    v.setSwallowedCharacters(QStringLiteral("\"'"));
    QString s = QStringLiteral("a\"b'|c'");
    int pos = 5;   // after "a\"b'|"
    EXPECT_EQ(v.validate(s, pos), QValidator::Acceptable);
    EXPECT_EQ(s, QStringLiteral("ab|c"));
    EXPECT_EQ(pos, 3);
}

} // namespace
