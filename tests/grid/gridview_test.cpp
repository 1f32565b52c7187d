#include "ui/grid/cellvalidator.h"
#include "ui/grid/gridview.h"

#include "modeltesterwatch.h"
#include "printers.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using torvel::CellValidator;
using torvel::GridModel;
using torvel::GridView;

namespace {

struct Leave {
    int col, row, newCol, newRow;
    QString textSeen;   // the left cell's text as the handler read it
};

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
        model.setColumnHeader(2, QStringLiteral("子商品代码"));
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

        QObject::connect(&view, &GridView::leaveCell,
                         [this](int col, int row, int newCol, int newRow, bool *cancel) {
                             leaves.push_back({col, row, newCol, newRow, model.text(col, row)});
                             *cancel = cancelLeave;
                         });
        QObject::connect(&view, &GridView::keyDown,
                         [this](int key, Qt::KeyboardModifiers mods, bool *handled) {
                             keys.push_back({key, int(mods)});
                             if (key == handleKey)
                                 *handled = true;
                         });
    }

    void place(int col, int row)
    {
        model.setActiveCell(col, row);
        ASSERT_EQ(view.currentIndex(), model.index(row - 1, col - 1));
    }

    // Keys go where a user's would: to the open editor, else to the grid.
    QWidget *keyTarget() { return view.isEditing() ? static_cast<QWidget *>(view.cellEditor()) : &view; }
    void type(const QString &text)
    {
        for (QChar c : text)
            QTest::keyClick(keyTarget(), c.toLatin1());
    }
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(keyTarget(), key, mods);
    }
    void click(int col, int row)
    {
        const QRect r = view.visualRect(model.index(row - 1, col - 1));
        ASSERT_TRUE(r.isValid());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, r.center());
    }
    Cell current() const { return {view.currentIndex().column() + 1, view.currentIndex().row() + 1}; }

    GridModel model{19, 5};
    QWidget window;
    QLineEdit other;
    GridView view;
    QToolButton toolButton;
    std::vector<Leave> leaves;
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
        {"left", {}, Qt::Key_Left, Qt::NoModifier, {2, 2}, {1, 2}},
        {"down", {}, Qt::Key_Down, Qt::NoModifier, {2, 2}, {2, 3}},
        {"up", {}, Qt::Key_Up, Qt::NoModifier, {2, 2}, {2, 1}},
        {"tab", {}, Qt::Key_Tab, Qt::NoModifier, {2, 2}, {3, 2}},
        {"backtab", {}, Qt::Key_Backtab, Qt::ShiftModifier, {2, 2}, {1, 2}},
        {"enter", {}, Qt::Key_Return, Qt::NoModifier, {2, 2}, {3, 2}},
        {"tab past the hidden columns", {}, Qt::Key_Tab, Qt::NoModifier, {9, 2}, {1, 3}},
        {"tab in editor", QStringLiteral("a1"), Qt::Key_Tab, Qt::NoModifier, {2, 2}, {3, 2}},
        {"backtab in editor", QStringLiteral("a1"), Qt::Key_Backtab, Qt::ShiftModifier, {2, 2}, {1, 2}},
        {"enter in editor", QStringLiteral("a1"), Qt::Key_Enter, Qt::KeypadModifier, {2, 2}, {3, 2}},
        {"down in editor", QStringLiteral("a1"), Qt::Key_Down, Qt::NoModifier, {2, 2}, {2, 3}},
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
            ASSERT_TRUE(view.isEditing());
            EXPECT_EQ(view.editorText(), c.typed);
            EXPECT_EQ(model.text(c.from.col, c.from.row), QString()) << "not committed while typing";
        }
        press(c.key, c.mods);
        ASSERT_EQ(leaves.size(), 1u);
        EXPECT_EQ(leaves[0].col, c.from.col);
        EXPECT_EQ(leaves[0].row, c.from.row);
        EXPECT_EQ(leaves[0].newCol, c.to.col);
        EXPECT_EQ(leaves[0].newRow, c.to.row);
        EXPECT_EQ(leaves[0].textSeen, c.typed) << "the handler reads what was typed";
        EXPECT_EQ(current().col, c.to.col);
        EXPECT_EQ(current().row, c.to.row);
        EXPECT_EQ(model.ActiveCol(), c.to.col);
        EXPECT_EQ(model.ActiveRow(), c.to.row);
        EXPECT_FALSE(view.isEditing());
    }
}

TEST_F(GridViewTest, LeaveCellForMouseMoves)
{
    place(2, 2);
    click(5, 4);
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].newCol, 5);
    EXPECT_EQ(leaves[0].newRow, 4);
    EXPECT_EQ(model.ActiveCol(), 5);
    EXPECT_EQ(model.ActiveRow(), 4);

    click(5, 4);
    EXPECT_EQ(leaves.size(), 1u) << "clicking the active cell leaves nothing";

    // Dragging with the button down does not walk the cursor.
    const QRect from = view.visualRect(model.index(3, 4));
    const QRect to = view.visualRect(model.index(1, 1));
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from.center());
    QMouseEvent drag(QEvent::MouseMove, QPointF(to.center()), view.viewport()->mapToGlobal(QPointF(to.center())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drag);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to.center());
    EXPECT_EQ(leaves.size(), 1u);
    EXPECT_EQ(current().col, 5);
    EXPECT_EQ(current().row, 4);

    type(QStringLiteral("kg"));
    ASSERT_TRUE(view.isEditing());
    click(6, 1);
    ASSERT_EQ(leaves.size(), 2u);
    EXPECT_EQ(leaves[1].col, 5);
    EXPECT_EQ(leaves[1].row, 4);
    EXPECT_EQ(leaves[1].newCol, 6);
    EXPECT_EQ(leaves[1].newRow, 1);
    EXPECT_EQ(leaves[1].textSeen, QStringLiteral("kg"));
    EXPECT_EQ(current().col, 6);
}

TEST_F(GridViewTest, CancelKeepsCursorAndTypedText)
{
    place(2, 2);
    cancelLeave = true;
    type(QStringLiteral("abc"));
    press(Qt::Key_Tab);
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(current().col, 2);
    EXPECT_EQ(current().row, 2);
    EXPECT_EQ(model.ActiveCol(), 2);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abc"));

    click(4, 3);
    EXPECT_EQ(leaves.size(), 2u);
    EXPECT_EQ(current().col, 2);
    EXPECT_EQ(current().row, 2);
    press(Qt::Key_Down);
    EXPECT_EQ(leaves.size(), 3u);
    EXPECT_EQ(current().row, 2);

    // Esc drops the typing: nothing committed, nothing left.
    type(QStringLiteral("zz"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abc"));
    EXPECT_EQ(leaves.size(), 3u);

    cancelLeave = false;
    press(Qt::Key_Down);
    EXPECT_EQ(leaves.size(), 4u);
    EXPECT_EQ(current().row, 3);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abc"));
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
    EXPECT_EQ(current().col, 8);
    press(Qt::Key_Down);
    EXPECT_EQ(current().row, 6);
}

TEST_F(GridViewTest, ToolbarCommandCommitsEditorAndStopsOnCancel)
{
    int ran = 0;
    QObject::connect(&toolButton, &QToolButton::clicked, [&] {
        if (view.commitAndLeave())
            ++ran;
    });
    struct Case {
        bool cancel;
        int ran;
    };
    for (const Case c : {Case{false, 1}, Case{true, 0}}) {
        SCOPED_TRACE(c.cancel);
        ran = 0;
        leaves.clear();
        model.clearAll();
        place(2, 3);
        cancelLeave = c.cancel;
        type(QStringLiteral("A01"));
        ASSERT_TRUE(view.isEditing());
        QTest::mouseClick(&toolButton, Qt::LeftButton);
        EXPECT_EQ(ran, c.ran);
        ASSERT_EQ(leaves.size(), 1u);
        EXPECT_EQ(leaves[0].col, 2);
        EXPECT_EQ(leaves[0].row, 3);
        EXPECT_EQ(leaves[0].newCol, 0);
        EXPECT_EQ(leaves[0].newRow, 0);
        EXPECT_EQ(leaves[0].textSeen, QStringLiteral("A01"));
        EXPECT_EQ(model.text(2, 3), QStringLiteral("A01"));
        EXPECT_EQ(current().row, 3);
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
    place(2, 2);
    type(QStringLiteral("x"));
    ASSERT_TRUE(view.isEditing());
    ASSERT_EQ(keys.size(), 1u) << "the key that opened the editor is raised once";
    EXPECT_EQ(keys[0].first, int(Qt::Key_X));

    QObject::connect(&view, &GridView::keyDown, [this](int key, Qt::KeyboardModifiers, bool *) {
        if (key == Qt::Key_F7)
            model.SetText(model.ActiveCol(), model.ActiveRow(), QStringLiteral("P100"));
    });
    press(Qt::Key_F7);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].first, int(Qt::Key_F7));
    EXPECT_EQ(keys[1].second, int(Qt::NoModifier));
    EXPECT_EQ(view.editorText(), QStringLiteral("P100")) << "the lookup's result replaces the typing";

    // QTest presses Shift itself first, as a keyboard would.
    keys.clear();
    press(Qt::Key_F9, Qt::ShiftModifier);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].first, int(Qt::Key_Shift));
    EXPECT_EQ(keys[1].first, int(Qt::Key_F9));
    EXPECT_EQ(keys[1].second, int(Qt::ShiftModifier));
    EXPECT_TRUE(view.isEditing());

    handleKey = Qt::Key_Y;   // a handled key never reaches the editor
    type(QStringLiteral("y"));
    EXPECT_EQ(view.editorText(), QStringLiteral("P100"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("P100"));
}

TEST_F(GridViewTest, LockedCellCannotBeEdited)
{
    model.SetText(3, 2, QStringLiteral("名称"));
    place(3, 2);
    EXPECT_FALSE(model.flags(model.index(1, 2)) & Qt::ItemIsEditable);
    type(QStringLiteral("xyz"));
    EXPECT_FALSE(view.isEditing());
    press(Qt::Key_F2);
    EXPECT_FALSE(view.isEditing());
    const QRect r = view.visualRect(model.index(1, 2));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(3, 2), QStringLiteral("名称"));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 192));

    // Unlocked again, the same keys edit it.
    model.setCol(3);
    model.setRow(2);
    model.setLock(false);
    type(QStringLiteral("xyz"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(3, 2), QStringLiteral("xyz"));
}

TEST_F(GridViewTest, NumberCellStoresOnlyValuesWithinItsBoundsAndDecimals)
{
    struct Case {
        QString typed;
        QString stored;
    };
    const Case cases[] = {
        {QStringLiteral("123"), QStringLiteral("12")},      // 123 > 99.99: the 3 is refused
        {QStringLiteral("5.678"), QStringLiteral("5.67")},  // 2 decimals
        {QStringLiteral("-1"), QStringLiteral("1")},        // no minus when the minimum is 0
        {QStringLiteral("9x9"), QStringLiteral("99")},
        {QStringLiteral("99.99"), QStringLiteral("99.99")},
        {QStringLiteral("1,5"), QStringLiteral("15")},
        {QStringLiteral("7."), QStringLiteral("7")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        model.SetText(8, 2, QString());
        place(8, 2);
        type(c.typed);
        press(Qt::Key_Tab);
        EXPECT_EQ(model.text(8, 2), c.stored);
        EXPECT_FALSE(view.isEditing());
    }
    model.SetText(8, 2, QStringLiteral("5"));
    EXPECT_EQ(model.data(model.index(1, 7)).toString(), QStringLiteral("5.00"));
}

TEST_F(GridViewTest, SwallowedCharactersNeverReachACell)
{
    view.setSwallowedCharacters(QStringLiteral("\"'"));

    // Typed, also as the key that would open the editor.
    model.SetText(2, 2, QStringLiteral("keep"));
    place(2, 2);
    type(QStringLiteral("\""));
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(2, 2), QStringLiteral("keep"));
    type(QStringLiteral("a\"b'c"));
    EXPECT_EQ(view.editorText(), QStringLiteral("abc"));

    // Pasted.
    QApplication::clipboard()->setText(QStringLiteral("x\"y'z"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(view.editorText(), QStringLiteral("abcxyz"));

    // Composed by an input method.
    QInputMethodEvent ime;
    ime.setCommitString(QStringLiteral("'q\""));
    QApplication::sendEvent(view.cellEditor(), &ime);
    EXPECT_EQ(view.editorText(), QStringLiteral("abcxyzq"));

    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 2), QStringLiteral("abcxyzq"));

    // Composed while no editor is open: a swallowed commit leaves the cell
    // alone, anything else opens the editor without the swallowed part.
    model.SetText(2, 3, QStringLiteral("keep"));
    place(2, 3);
    QInputMethodEvent onlyQuote;
    onlyQuote.setCommitString(QStringLiteral("\""));
    QApplication::sendEvent(&view, &onlyQuote);
    EXPECT_FALSE(view.isEditing());
    EXPECT_EQ(model.text(2, 3), QStringLiteral("keep"));
    QInputMethodEvent word;
    word.setCommitString(QStringLiteral("商'品"));
    QApplication::sendEvent(&view, &word);
    ASSERT_TRUE(view.isEditing());
    EXPECT_EQ(view.editorText(), QStringLiteral("商品"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 3), QStringLiteral("商品"));
    // The usual way: a preedit first, then the commit.
    model.SetText(2, 3, QStringLiteral("keep"));
    place(2, 3);
    QInputMethodEvent preedit(QStringLiteral("sp"), {});
    QApplication::sendEvent(&view, &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\"货'物"));
    QApplication::sendEvent(&view, &commit);
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(2, 3), QStringLiteral("货物"));

    // In a number cell too.
    place(7, 2);
    type(QStringLiteral("4'2"));
    press(Qt::Key_Tab);
    EXPECT_EQ(model.text(7, 2), QStringLiteral("42"));
}

TEST_F(GridViewTest, CodeMovesAndRowChangesRaiseNoLeaveCell)
{
    ModelTesterWatch watch;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    place(2, 3);
    model.setActiveCell(5, 4);
    EXPECT_EQ(current().col, 5);
    EXPECT_EQ(current().row, 4);

    // Deleting the active row leaves the cursor on the row that moved up.
    model.DeleteRows(4, 1);
    EXPECT_EQ(current().row, 4);
    EXPECT_EQ(model.ActiveRow(), 4);
    // Inserting at the active row puts the cursor on the new row.
    model.SetText(2, 4, QStringLiteral("old"));
    model.InsertRows(4, 1);
    EXPECT_EQ(current().row, 4);
    EXPECT_EQ(model.text(2, 4), QString());
    EXPECT_EQ(model.text(2, 5), QStringLiteral("old"));
    // Shrinking below the cursor keeps it inside.
    model.setMaxRows(2);
    EXPECT_EQ(current().row, 2);
    EXPECT_EQ(model.ActiveRow(), 2);
    model.setMaxRows(10);
    model.clearAll();
    EXPECT_EQ(current().row, 2);
    EXPECT_TRUE(leaves.empty());
}

TEST_F(GridViewTest, FocusColumnsAndWidths)
{
    for (int c = 1; c <= 19; ++c)
        EXPECT_EQ(view.isColumnHidden(c - 1), c >= 10) << "col " << c;
    EXPECT_EQ(view.columnWidth(0), qRound(11.87 * view.fontMetrics().averageCharWidth()));
    model.setColWidth(6, 5.12);
    EXPECT_EQ(view.columnWidth(5), view.pixelsForCharacters(5.12));
    model.setColHidden(4, true);
    EXPECT_TRUE(view.isColumnHidden(3));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("子商品代码"));

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
        {"99.99", 0, 99.99, 2, QValidator::Acceptable},
        {"100", 0, 99.99, 2, QValidator::Invalid},
        {"99.999", 0, 99.99, 2, QValidator::Invalid},
        {"1.", 0, 99.99, 2, QValidator::Acceptable},
        {".", 0, 99.99, 2, QValidator::Intermediate},
        {"1.5", 0, 100, 0, QValidator::Invalid},
        {"-", 0, 10, 2, QValidator::Invalid},
        {"-", -10, 10, 2, QValidator::Intermediate},
        {"-11", -10, 10, 2, QValidator::Invalid},
        {"-3", -10, -5, 2, QValidator::Intermediate},
        {"3", 5, 10, 0, QValidator::Intermediate},
        {"0", 5, 10, 0, QValidator::Intermediate},
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

    v.setNumber(0, 100, 2);
    s = QStringLiteral("'1'2\"");
    pos = int(s.size());
    EXPECT_EQ(v.validate(s, pos), QValidator::Acceptable);
    EXPECT_EQ(s, QStringLiteral("12"));
    EXPECT_EQ(pos, 2);
}

} // namespace
