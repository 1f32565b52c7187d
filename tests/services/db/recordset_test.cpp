// The client-side record set: moving, fields, the filter grammar and Find.

#include "printers.h"

#include "services/db/filter.h"
#include "services/db/recordset.h"

#include <gtest/gtest.h>

#include "comerrors.h"

using namespace torvel;
using torvel::test::errorNumber;

namespace {

Variant i32(int v) { return Variant(int32_t(v)); }

// Rows of a master table as a lookup reads it: ids, codes, names, a class,
// a Null and a number kept as text.
Recordset items()
{
    const Variant null = Variant::null();
    return Recordset({"FItemID", "FNumber", "FName", "FItemClassID", "FClassID", "FPrice", "FNote"},
                     {
                         {i32(1), "A-01", "螺丝", i32(480), i32(480), 1.5, "x"},
                         {i32(2), "a-02", "Bolt", i32(480), i32(12), 2.0, null},
                         {i32(3), "B'01", "O'Brien", i32(7), i32(480), 10.25, "12"},
                         {i32(4), "B-02", "bolt 50%", i32(7), i32(480), null, "9"},
                         {i32(5), "C_01", "垫片", i32(480), i32(480), -3.0, ""},
                         {i32(6), "c-10", "Washer  ", null, i32(3), 0.0, "abc"},
                     });
}

std::vector<int> visibleIds(Recordset &rs, const QString &idField = QStringLiteral("FItemID"))
{
    std::vector<int> ids;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ids.push_back(rs.Fields(idField).toInt32());
    return ids;
}

TEST(Recordset, MovesThroughRowsAndRefusesMovingPastTheEnds)
{
    Recordset rs = items();
    EXPECT_EQ(rs.RecordCount(), 6);
    EXPECT_FALSE(rs.Bof());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    rs.MoveLast();
    EXPECT_EQ(rs.AbsolutePosition(), 6);
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.AbsolutePosition(), 0);
    EXPECT_EQ(errorNumber([&] { rs.MoveNext(); }), errc::NoCurrentRecord);
    EXPECT_EQ(errorNumber([&] { rs.Fields("FName"); }), errc::NoCurrentRecord);
    rs.MovePrevious();
    EXPECT_EQ(rs.Fields("FItemID").toInt32(), 6);
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
    EXPECT_FALSE(rs.Eof());
    EXPECT_EQ(errorNumber([&] { rs.MovePrevious(); }), errc::NoCurrentRecord);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("FItemID").toInt32(), 1);

    Recordset empty({"FItemID"}, {});
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Bof());
    empty.MoveFirst();
    empty.MoveLast();
    EXPECT_EQ(errorNumber([&] { empty.MoveNext(); }), errc::NoCurrentRecord);
    EXPECT_EQ(errorNumber([] { Recordset({"A", "B"}, {{i32(1)}}); }), errc::InvalidProcedureCall);
}

TEST(Recordset, FieldsByNameIgnoreCase)
{
    Recordset rs = items();
    EXPECT_EQ(rs.Fields("FITEMCLASSID").toInt32(), 480);
    EXPECT_EQ(rs.Fields(2).toString(), "螺丝");
    EXPECT_EQ(rs.fieldIndex("fname"), 2);
    EXPECT_EQ(rs.fieldIndex("FNam"), -1);
    EXPECT_EQ(errorNumber([&] { rs.Fields("FNoSuch"); }), errc::ItemNotFound);
    EXPECT_EQ(errorNumber([&] { rs.Fields(7); }), errc::ItemNotFound);
    EXPECT_EQ(errorNumber([&] { rs.Fields(-1); }), errc::ItemNotFound);
}

TEST(Recordset, DetachedSetKeepsRowsAndClosedSetRefusesUse)
{
    Recordset rs = items();
    rs.setActiveConnection(nullptr);
    EXPECT_TRUE(rs.isDetached());
    EXPECT_EQ(rs.RecordCount(), 6);
    rs.Close();
    EXPECT_FALSE(rs.isOpen());
    EXPECT_EQ(errorNumber([&] { rs.Eof(); }), errc::ObjectClosed);
    EXPECT_EQ(errorNumber([&] { rs.setFilter("FItemID=1"); }), errc::ObjectClosed);
    rs.Close();   // a second close is harmless
}

TEST(RecordsetFilter, SelectsMatchingRows)
{
    const struct { const char *criteria; std::vector<int> ids; } table[] = {
        {" fitemid = 3 ", {3}}, {"[FItemID]=3", {3}}, {"FItemID<>3", {1, 2, 4, 5, 6}}, {"FItemID<=3", {1, 2, 3}},
        {"FItemID>4", {5, 6}}, {"FItemID>=4", {4, 5, 6}},
        {"FItemID='3'", {3}},                         // text against a number field, read as a number
        {"FNumber='a-01'", {1}},                      // text without regard to case
        {"FNumber='B''01'", {3}},                     // a doubled quote inside the text
        {"FNumber='B''01'and FClassID=480", {3}}, {" FNumber='A-01'and FItemClassID=7", {}},
        {" FNumber='a-02'and FClassID=480 ", {}},     // substitute classes only
        {"FItemClassID=480 OR FItemID=4", {1, 2, 4, 5}},
        {"FItemClassID=7 or FItemID=1 and FClassID=12", {3, 4}},   // AND binds tighter
        {"(FItemClassID=7 or FItemID=1) and FClassID=480", {1, 3, 4}}, {"((FItemID=1))", {1}}, {"FName='螺丝'", {1}},
        {"FName='washer'", {}},                       // trailing blanks count
        {"FName='Washer  '", {6}}, {"FName LIKE 'bolt%'", {2, 4}}, {"FName like 'BOLT*'", {2, 4}},
        {"FName LIKE '%50%'", {4}},
        {"FNumber LIKE 'C_01'", {5}},                 // _ is one character
        {"FPrice>=-3.0e0", {1, 2, 3, 5, 6}},
        {"FPrice<>1.5", {2, 3, 5, 6}},                // Null never matches, not even <>
        {"FNote=12", {3}},                            // a number against text that reads as a number
        {"FNote>10", {1, 3, 6}},                      // "9" numerically below; "x", "abc" as text above
        {"FNote=''", {5}}, {"FNote=NULL", {2}}, {"FNote<>null", {1, 3, 4, 5, 6}}, {"FNumber < 'B'", {1, 2}},
        {"FItemID=480and FItemID=480", {}},
    };
    for (const auto &c : table) {
        SCOPED_TRACE(c.criteria);
        Recordset rs = items();
        rs.setFilter(QString::fromUtf8(c.criteria));
        EXPECT_EQ(rs.RecordCount(), int(c.ids.size()));
        EXPECT_EQ(visibleIds(rs), c.ids);
        EXPECT_EQ(rs.Filter(), QString::fromUtf8(c.criteria));
    }
}

TEST(RecordsetFilter, RejectsUnreadableCriteriaAndShowsNoRow)
{
    const char *bad[] = {
        "FNumber= ", "FNumber='A-01", "FNumber='A'01'", "FNumber='x'' and FItemClassID=480", "FItemID=1'",
        "FNoSuch=1", "FItemID", "=1", "FItemID==1", "FItemID=1 and", "FItemID=1 or or FItemID=2",
        "FItemID=1 FItemID=2", "(FItemID=1", "FItemID=1)", "()", "FItemID=12abc", "FItemID=abc",
        "FItemID=\"1\"", "FItemID=1; DELETE FROM t_Item", "FItemID>NULL", "FItemID=#2023-02-30#", "X2.FIsBOM=1",
    };
    for (const char *criteria : bad) {
        SCOPED_TRACE(criteria);
        Recordset rs = items();
        EXPECT_EQ(errorNumber([&] { rs.setFilter(QString::fromUtf8(criteria)); }), errc::InvalidFilter);
        EXPECT_EQ(rs.RecordCount(), 0);
        EXPECT_EQ(errorNumber([&] { rs.Fields("FItemID"); }), errc::NoCurrentRecord);
    }
}

TEST(RecordsetFilter, RefusesNestingDeeperThanTheParserAllows)
{
    const auto nested = [](int depth) -> QString {
        return QString(depth, u'(') + QStringLiteral("FItemID=3") + QString(depth, u')');
    };
    Recordset rs = items();
    rs.setFilter(nested(100));
    EXPECT_EQ(visibleIds(rs), std::vector<int>{3});
    // Deep enough to overflow the stack of a parser without a limit.
    EXPECT_EQ(errorNumber([&] { rs.setFilter(nested(101)); }), errc::InvalidFilter);
    EXPECT_EQ(errorNumber([&] { rs.setFilter(nested(500000)); }), errc::InvalidFilter);
    EXPECT_EQ(rs.RecordCount(), 0);
}

TEST(RecordsetFilter, AppliesToTheWholeSetAndBlankTextRemovesIt)
{
    Recordset rs = items();
    rs.MoveLast();
    rs.setFilter("FItemClassID=7");
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(rs.Fields("FItemID").toInt32(), 3);
    rs.setFilter("FItemClassID=480");   // not narrowed by the previous filter
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.rows().size(), 6u);
    rs.setFilter("   ");
    EXPECT_EQ(rs.RecordCount(), 6);
    EXPECT_EQ(errorNumber([&] { rs.setFilter("FItemID="); }), errc::InvalidFilter);
    rs.setFilter("FItemID=5");          // a good filter replaces a rejected one
    EXPECT_EQ(visibleIds(rs), std::vector<int>{5});
}

TEST(RecordsetFilter, DatesCompareAsDates)
{
    Recordset rs({"FID", "FDate", "FText"},
                 {
                     {i32(1), Variant::date(45000.0), "2023-03-15"},
                     {i32(2), Variant::date(45001.5), "2023-03-16 12:00:00"},
                     {i32(3), Variant::date(44990.0), "not a date"},
                 });
    const struct { const char *criteria; std::vector<int> ids; } cases[] = {
        {"FDate='2023-03-15'", {1}},
        {"FDate>#2023-03-15#", {2}},
        {"FDate<45000", {3}},
        {"FText=#2023-03-16 12:00:00#", {2}},
        {"FText<#2023-03-16#", {1}},                  // "not a date" compares as text
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.criteria);
        rs.setFilter(QString::fromUtf8(c.criteria));
        EXPECT_EQ(visibleIds(rs, QStringLiteral("FID")), c.ids);
    }
}

TEST(RecordsetFind, SearchesForwardFromTheCurrentRowWithinTheFilter)
{
    Recordset rs = items();
    rs.MovePrevious();
    EXPECT_TRUE(rs.Find(" FItemID=3"));   // from Bof: the first row on
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_TRUE(rs.Find("FItemID=3"));    // the current row counts
    EXPECT_EQ(rs.AbsolutePosition(), 3);
    EXPECT_FALSE(rs.Find("FItemID=1"));   // behind the current row
    EXPECT_TRUE(rs.Eof());
    EXPECT_FALSE(rs.Find("FItemID=1"));   // at Eof stays there
    rs.MoveFirst();
    EXPECT_TRUE(rs.Find("FName LIKE 'o''b*'"));
    rs.MoveNext();
    EXPECT_TRUE(rs.Find("FItemClassID=7"));
    EXPECT_EQ(rs.Fields("FItemID").toInt32(), 4);

    rs.setFilter("FItemClassID=480");
    EXPECT_FALSE(rs.Find("FItemID=3"));
    rs.MoveFirst();
    EXPECT_TRUE(rs.Find("FItemID=5"));
    EXPECT_EQ(rs.AbsolutePosition(), 3);
}

TEST(RecordsetFind, RejectsBadOrCompoundCriteria)
{
    for (const char *criterion : {"FItemID=", "FItemID=1 and FClassID=480", "FNoSuch=1", "FNumber='x"}) {
        SCOPED_TRACE(criterion);
        Recordset rs = items();
        EXPECT_EQ(errorNumber([&] { rs.Find(QString::fromUtf8(criterion)); }), errc::InvalidFilter);
        EXPECT_TRUE(rs.Eof()) << "a rejected criterion must not leave a row current";
        EXPECT_EQ(rs.RecordCount(), 6);
    }
}

} // namespace
