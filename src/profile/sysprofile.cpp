#include "profile/sysprofile.h"

#include "services/com/comerror.h"
#include "services/db/recordset.h"
#include "services/text/helpers.h"
#include "state/callstate.h"

#include <QHash>

#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

namespace torvel {

SysProfileRecord SysProfile;
SysOptionsRecord SysOptions;

namespace {

enum class Conv { Flag, Number, Real, Defaulted, Integer, Text, NullDefaulted };

using Field = std::variant<bool *, int16_t *, int32_t *, float *, QString *>;

struct Setting
{
    const char *category;
    const char *key;
    Field field;
    Conv conv;
    Variant fallback;                  // Defaulted and NullDefaulted
    std::optional<Variant> missing;    // what a missing row gives; none: unchanged
};

// Stores a value in the field's type; throws, leaving the field alone, when it
// does not convert or fit.
void store(const Field &field, const Variant &value)
{
    std::visit(
        [&value](auto *target) {
            using T = std::remove_pointer_t<decltype(target)>;
            if constexpr (std::is_same_v<T, bool>) {
                *target = value.toBool();
            } else if constexpr (std::is_same_v<T, int16_t>) {
                *target = value.toInt16();
            } else if constexpr (std::is_same_v<T, int32_t>) {
                *target = value.toInt32();
            } else if constexpr (std::is_same_v<T, float>) {
                const double d = value.toDouble();
                if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
                    throw ComError(errc::Overflow, QStringLiteral("TORVEL"), errtext::kOverflow);
                *target = float(d);
            } else {
                *target = value.toString();
            }
        },
        field);
}

Variant converted(const Setting &s, const Variant &value)
{
    switch (s.conv) {
    case Conv::Flag: return Variant(value.toString() == QLatin1String("1"));
    case Conv::Number:
    case Conv::Real: return Variant(Val(value.toString()));
    case Conv::Defaulted: return NullToValue(value, s.fallback);
    case Conv::Integer: return value;
    case Conv::Text: return Variant(value.toString());
    case Conv::NullDefaulted: return value.isNull() ? s.fallback : value;
    }
    return value;
}

// The 61 settings in the order they are read.
std::vector<Setting> settings()
{
    SysProfileRecord &p = SysProfile;
    SysOptionsRecord &o = SysOptions;
    const Variant empty{QString()};
    std::vector<Setting> t = {
        {"GL", "PeriodByMonth", &p.PeriodByMonth, Conv::Flag, {}, Variant(true)},
        {"GL", "PeriodCount", &p.PeriodCount, Conv::Defaulted, Variant(int16_t(12)), Variant(int16_t(12))},
        {"GL", "PeriodDates", &p.PeriodDates, Conv::Defaulted, Variant(kDefaultPeriodDates), Variant(kDefaultPeriodDates)},
        {"COM", "InitClosed", &p.InitClosed, Conv::Flag, {}, Variant(false)},
        {"COM", "CurrentPeriod", &p.CurrentPeriod, Conv::Number, {}, {}},
        {"COM", "CurrentYear", &p.CurrentYear, Conv::Number, {}, {}},
        {"COM", "StartPeriod", &p.StartPeriod, Conv::Number, {}, {}},
        {"COM", "StartYear", &p.StartYear, Conv::Number, {}, {}},
        {"General", "CompanyName", &p.CompanyName, Conv::Defaulted, empty, {}},
        {"General", "CompanyAddress", &p.CompanyAddress, Conv::Defaulted, empty, {}},
        {"General", "CompanyPhone", &p.CompanyPhone, Conv::Defaulted, empty, {}},
        {"COM", "Tax", &p.Tax, Conv::Defaulted, empty, {}},
        {"COM", "Bank", &p.Bank, Conv::Defaulted, empty, {}},
        {"COM", "BankAccount", &p.BankAccount, Conv::Defaulted, empty, {}},
        {"COM", "BrID", &p.BrID, Conv::Integer, {}, {}},
        {"COM", "BrPosition", &p.BrPosition, Conv::Integer, {}, {}},
        {"COM", "IPAddress", &p.IPAddress, Conv::Text, {}, {}},
        {"COM", "ServerPort", &p.ServerPort, Conv::Integer, {}, {}},
        // Read through a 32-bit conversion, then stored in 16 bits: the same
        // rounding, and a value past 16 bits leaves the field as it was.
        {"COM", "ConnectCount", &p.ConnectCount, Conv::Integer, {}, {}},
    };
    const std::pair<const char *, int16_t *> integers[] = {
        {"EvaluateMethod", &p.EvaluateMethod}, {"SaleBackCost", &p.SaleBackCost},
        {"TransferCost", &p.TransferCost}, {"NegCost", &p.NegCost},
        {"TransferByCost", &p.TransferByCost}, {"AdjustForCost", &p.AdjustForCost},
        {"AssignCost", &p.AssignCost}, {"AutoBatch", &p.AutoBatch},
        {"Requisition_In", &p.Requisition_In}, {"Requisition_Out", &p.Requisition_Out},
        {"ModifySelfBill", &p.ModifySelfBill}, {"StockAvail", &p.StockAvail},
        {"IsCheck", &p.IsCheck}, {"SameOfAudit", &p.SameOfAudit},
        {"AutoEvaluateAdjust", &p.AutoEvaluateAdjust}, {"GSPCheck", &p.GSPCheck},
        {"GSPLisDate", &p.GSPLisDate}, {"RetailSaveToNew", &p.RetailSaveToNew},
        {"RetailToTax", &p.RetailToTax}, {"RetailCollect", &p.RetailCollect},
        {"RetailCollectByCustomer", &p.RetailCollectByCustomer}, {"RetailCollectByDate", &p.RetailCollectByDate},
        {"RetailCollectByShift", &p.RetailCollectByShift},
        {"RetailCollectByDiscountRate", &p.RetailCollectByDiscountRate},
        {"RetailCollectByPreparer", &p.RetailCollectByPreparer}, {"RetailCollectByPrice", &p.RetailCollectByPrice},
        {"RetailCollectByBrID", &p.RetailCollectByBrID}, {"TransAndDrop", &p.TransAndDrop},
        {"CurBusiYear", &p.CurBusiYear}, {"CurBusiPeriod", &p.CurBusiPeriod},
    };
    for (const auto &[key, field] : integers)
        t.push_back({"COM", key, field, Conv::Integer, {}, {}});
    const std::vector<Setting> options = {
        {"COM", "AllowNegative", &o.AllowNegative, Conv::Flag, {}, {}},
        {"COM", "AlarmForNeg", &o.AlarmForNeg, Conv::Flag, {}, {}},
        {"COM", "CMNeeded", &o.CMNeeded, Conv::Text, {}, {}},
        {"COM", "ValueAddedTax", &o.ValueAddedTax, Conv::Real, {}, {}},
        {"COM", "FarmTax", &o.FarmTax, Conv::Real, {}, {}},
        {"COM", "CalcCost", &o.CalcCost, Conv::Integer, {}, {}},
        {"COM", "ImmediatelyRefresh", &o.ImmediatelyRefresh, Conv::Flag, {}, {}},
        {"COM", "ControlModule", &o.ControlModule, Conv::Text, {}, Variant(QStringLiteral("0"))},
        {"COM", "CalcInstantCost", &o.CalcInstantCost, Conv::Flag, {}, {}},
        {"COM", "SpaceMark", &o.SpaceMark, Conv::NullDefaulted, empty, {}},
        {"ARAP", "FRaiseError", &o.FRaiseError, Conv::NullDefaulted, Variant(int16_t(0)), {}},
        {"COM", "SaveBill", &o.SaveBill, Conv::NullDefaulted, Variant(int16_t(0)), {}},
    };
    t.insert(t.end(), options.begin(), options.end());
    return t;
}

QString settingKey(const QString &category, const QString &key)
{
    // The table compares ignoring case, as the host's collation does.
    return category.toLower() + QLatin1Char('\x1f') + key.toLower();
}

} // namespace

void LoadSysProfile()
{
    RecordsetPtr rs;
    try {
        rs = callConnection().Execute(QStringLiteral(
            "SELECT * FROM t_SystemProfile WHERE FCategory ='GL' OR FCategory='COM' OR FCategory='General' Or "
            "(FCategory='ARAP' And FKey='FRaiseError')"));
    } catch (...) {
        rs.reset();
    }
    if (!rs) {
        // Without the settings the calendar still has its defaults.
        SysProfile.PeriodByMonth = true;
        SysProfile.PeriodCount = 12;
        SysProfile.PeriodDates = kDefaultPeriodDates;
        SysProfile.InitClosed = false;
        return;
    }

    // The first row of each category and key, in the result's order, as a
    // filter on the record set would find it.
    QHash<QString, Variant> first;
    const int category = rs->fieldIndex(QStringLiteral("FCategory"));
    const int key = rs->fieldIndex(QStringLiteral("FKey"));
    const int value = rs->fieldIndex(QStringLiteral("FValue"));
    if (category >= 0 && key >= 0 && value >= 0) {
        for (const Recordset::Row &row : rs->rows()) {
            if (row[size_t(category)].isNull() || row[size_t(key)].isNull())
                continue;
            const QString k = settingKey(row[size_t(category)].toString(), row[size_t(key)].toString());
            if (!first.contains(k))
                first.insert(k, row[size_t(value)]);
        }
    }

    for (const Setting &s : settings()) {
        const auto it = first.constFind(settingKey(QLatin1String(s.category), QLatin1String(s.key)));
        try {
            if (it == first.constEnd()) {
                if (s.missing)
                    store(s.field, *s.missing);
            } else {
                store(s.field, converted(s, it.value()));
            }
        } catch (...) {
            // A value that cannot be converted leaves the field as it was.
        }
    }
}

} // namespace torvel
