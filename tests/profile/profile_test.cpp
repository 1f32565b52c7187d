// The settings loader and the period functions, on the host database.

#include "profile/sysprofile.h"

#include "dbfixture.h"
#include "hostdb/hostdb.h"
#include "msgboxrecorder.h"
#include "printers.h"
#include "services/db/recordset.h"
#include "state/callstate.h"

#include <QDate>

#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

using namespace torvel;

namespace {

const char *const kNull = "<Null>";
const char *const kMissing = "<no row>";

// The fields the cases read, as text.
QString field(const std::string &key)
{
    const SysProfileRecord &p = SysProfile;
    const SysOptionsRecord &o = SysOptions;
    const std::map<std::string, std::function<QString()>> fields = {
        {"PeriodByMonth", [&] { return QString::number(p.PeriodByMonth); }},
        {"PeriodCount", [&] { return QString::number(p.PeriodCount); }},
        {"PeriodDates", [&] { return p.PeriodDates; }},
        {"InitClosed", [&] { return QString::number(p.InitClosed); }},
        {"CurrentYear", [&] { return QString::number(p.CurrentYear); }},
        {"CurrentPeriod", [&] { return QString::number(p.CurrentPeriod); }},
        {"CompanyName", [&] { return p.CompanyName; }},
        {"BrID", [&] { return QString::number(p.BrID); }},
        {"IPAddress", [&] { return p.IPAddress; }},
        {"ConnectCount", [&] { return QString::number(p.ConnectCount); }},
        {"SameOfAudit", [&] { return QString::number(p.SameOfAudit); }},
        {"ValueAddedTax", [&] { return QString::number(o.ValueAddedTax); }},
        {"AlarmForNeg", [&] { return QString::number(o.AlarmForNeg); }},
        {"ControlModule", [&] { return o.ControlModule; }},
        {"SpaceMark", [&] { return o.SpaceMark; }},
        {"FRaiseError", [&] { return QString::number(o.FRaiseError); }},
    };
    return fields.at(key)();
}

class Profile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = test::TestDatabase::createSqlite(false);
        gAdoCnn = db->connection();
        SysProfile = {};
        SysOptions = {};
    }
    void TearDown() override { gAdoCnn.reset(); }

    void setRow(const char *category, const char *key, const char *value)
    {
        Connection &c = *db->connection();
        c.Execute(QStringLiteral("DELETE FROM t_SystemProfile"));
        if (value != kMissing)
            c.Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES (%1,%2,%3)")
                          .arg(sqlQuote(QString::fromUtf8(category)), sqlQuote(QString::fromUtf8(key)),
                               value == kNull ? QStringLiteral("NULL") : sqlQuote(QString::fromUtf8(value))));
    }

    std::unique_ptr<test::TestDatabase> db;
};

// Each case loads the first value, then the second, and reads the field.
TEST_F(Profile, ConversionsAndFallbacks)
{
    const struct { const char *category, *key, *first, *second, *expected; } cases[] = {
        {"GL", "PeriodByMonth", kMissing, kMissing, "1"},
        {"GL", "PeriodByMonth", "1", "0", "0"},
        {"GL", "PeriodByMonth", "1", "yes", "0"},
        {"GL", "PeriodByMonth", "0", "1", "1"},
        {"GL", "PeriodByMonth", "1", kNull, "1"},
        {"GL", "PeriodCount", "13", kNull, "12"},
        {"GL", "PeriodCount", "1", "13", "13"},
        {"GL", "PeriodCount", "13", "", "13"},
        {"GL", "PeriodCount", "13", kMissing, "12"},
        {"GL", "PeriodDates", "x", kNull, "010102010301040105010601070108010901100111011201"},
        {"COM", "InitClosed", "1", kMissing, "0"},
        {"COM", "CurrentYear", "2025", "2026abc", "2026"},
        {"COM", "CurrentYear", "2025", "abc", "0"},
        {"COM", "CurrentYear", "2025", kMissing, "2025"},
        {"COM", "CurrentPeriod", "1", "7.5", "8"},
        {"General", "CompanyName", "A", kNull, ""},
        {"General", "CompanyName", "A", kMissing, "A"},
        {"COM", "BrID", "1", "70000", "70000"},
        {"COM", "IPAddress", "1.2.3.4", kNull, "1.2.3.4"},
        {"COM", "ConnectCount", "10", "40000", "10"},
        {"COM", "SameOfAudit", "1", "", "1"},
        {"COM", "ValueAddedTax", "1", "13.5%", "13.5"},
        {"COM", "AlarmForNeg", "1", kMissing, "1"},
        {"COM", "ControlModule", "5", kMissing, "0"},
        {"COM", "SpaceMark", "-", kNull, ""},
        {"COM", "SpaceMark", "-", "*", "*"},
        {"ARAP", "FRaiseError", "3", kNull, "0"},
        {"ARAP", "FRaiseError", "3", "abc", "3"},
        {"COM", "FRaiseError", "3", "4", "0"},   // only the ARAP row is read
    };
    for (const auto &c : cases) {
        SysProfile = {};
        SysOptions = {};
        for (const char *value : {c.first, c.second}) {
            setRow(c.category, c.key, value);
            LoadSysProfile();
        }
        EXPECT_EQ(field(c.key), QString::fromUtf8(c.expected))
            << c.category << '.' << c.key << ": " << c.first << " then " << c.second;
    }
}

TEST_F(Profile, TheFirstRowOfAKeyWinsAndABrokenConnectionLeavesTheCalendarDefaults)
{
    Connection &c = *db->connection();
    c.Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('COM','CurrentYear','2026')"));
    c.Execute(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('com','currentyear','1999')"));
    LoadSysProfile();
    EXPECT_EQ(SysProfile.CurrentYear, 2026);

    SysProfile.PeriodByMonth = false;
    SysProfile.PeriodCount = 4;
    SysProfile.PeriodDates = QStringLiteral("x");
    SysProfile.InitClosed = true;
    SysOptions.ControlModule = QStringLiteral("9");
    c.Close();
    LoadSysProfile();
    EXPECT_TRUE(SysProfile.PeriodByMonth);
    EXPECT_EQ(SysProfile.PeriodCount, 12);
    EXPECT_EQ(SysProfile.PeriodDates, kDefaultPeriodDates);
    EXPECT_FALSE(SysProfile.InitClosed);
    EXPECT_EQ(SysProfile.CurrentYear, 2026);
    EXPECT_EQ(SysOptions.ControlModule, QStringLiteral("9"));
}

// What the procedure receives is the host procedures' test below; here any
// failure is the date zero, without a message.
TEST_F(Profile, PeriodFunctionsCallTheProcedureAndFallBackToDateZero)
{
    test::MessageBoxRecorder boxes;
    Variant answer = Variant::date(46082.0);
    registerProcedure(QStringLiteral("sp_GetPeriodStartDate"), [&](Connection &, std::vector<Parameter> &p) {
        p[2].value = answer;
        return RecordsetPtr();
    });
    EXPECT_EQ(GetPeriodStartDate(), 46082.0);
    for (const Variant &bad : {Variant::null(), Variant(QStringLiteral("soon"))}) {
        answer = bad;
        EXPECT_EQ(GetPeriodStartDate(), 0.0);
    }
    host::registerHostProcedures();
    gAdoCnn.reset();
    EXPECT_EQ(GetPeriodEndDate(), 0.0);
}

// The host's period procedures on every database, through the profile.
class Periods : public test::DatabaseTest
{
protected:
    bool withDemoData() const override { return false; }
};

TEST_P(Periods, CurrentYearAndPeriodGiveTheFirstAndLastDay)
{
    gAdoCnn = connection();
    connection()->Execute(QStringLiteral(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('COM','CurrentYear','2026')"));
    connection()->Execute(QStringLiteral(
        "INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES ('COM','CurrentPeriod','3')"));
    SysProfile = {};
    LoadSysProfile();
    const auto ole = [](int y, int m, int d) { return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); };
    EXPECT_EQ(GetPeriodStartDate(), ole(2026, 3, 1));
    EXPECT_EQ(GetPeriodEndDate(), ole(2026, 3, 31));

    // Without the rows a fresh process passes 0 and 0; the procedures answer
    // Null, which is the date zero.
    connection()->Execute(QStringLiteral("DELETE FROM t_SystemProfile"));
    SysProfile = {};
    LoadSysProfile();
    EXPECT_EQ(GetPeriodStartDate(), 0.0);
    EXPECT_EQ(GetPeriodEndDate(), 0.0);
    gAdoCnn.reset();
}

TORVEL_INSTANTIATE_DATABASE_TEST(Periods);

} // namespace
