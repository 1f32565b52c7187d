#pragma once

#include <QString>

#include <cstdint>

namespace torvel {

// The host's system-wide settings (t_SystemProfile), one instance per
// process. Fields in the order the host declares them; each is named after
// the key that fills it. Only CurrentYear and CurrentPeriod are read by this
// library; the rest are loaded and kept the same way.
struct SysProfileRecord
{
    bool PeriodByMonth = false;
    int16_t PeriodCount = 0;
    QString PeriodDates;
    bool InitClosed = false;
    int16_t StartPeriod = 0;
    int16_t StartYear = 0;
    int16_t CurrentPeriod = 0;
    int16_t CurrentYear = 0;
    QString CompanyName;
    QString CompanyAddress;
    QString CompanyPhone;
    QString Tax;
    QString Bank;
    QString BankAccount;
    int32_t BrID = 0;
    int16_t BrPosition = 0;
    QString IPAddress;
    int32_t ServerPort = 0;
    int16_t ConnectCount = 0;
    int16_t EvaluateMethod = 0;
    int16_t SaleBackCost = 0;
    int16_t TransferCost = 0;
    int16_t NegCost = 0;
    int16_t TransferByCost = 0;
    int16_t AdjustForCost = 0;
    int16_t AssignCost = 0;
    int16_t AutoBatch = 0;
    int16_t GSPCheck = 0;
    int16_t GSPLisDate = 0;
    int16_t Requisition_In = 0;
    int16_t Requisition_Out = 0;
    int16_t AutoEvaluateAdjust = 0;
    int16_t RetailSaveToNew = 0;
    int16_t RetailToTax = 0;
    int16_t RetailCollect = 0;
    int16_t TransAndDrop = 0;
    int16_t RetailCollectByCustomer = 0;
    int16_t RetailCollectByDate = 0;
    int16_t RetailCollectByShift = 0;
    int16_t RetailCollectByDiscountRate = 0;
    int16_t RetailCollectByPreparer = 0;
    int16_t RetailCollectByPrice = 0;
    int16_t RetailCollectByBrID = 0;
    int16_t CurBusiYear = 0;
    int16_t CurBusiPeriod = 0;
    int16_t ModifySelfBill = 0;
    int16_t StockAvail = 0;
    int16_t IsCheck = 0;
    int16_t SameOfAudit = 0;
};

struct SysOptionsRecord
{
    bool AllowNegative = false;
    bool AlarmForNeg = false;
    QString CMNeeded;
    float ValueAddedTax = 0;
    float FarmTax = 0;
    int16_t CalcCost = 0;
    bool ImmediatelyRefresh = false;
    QString ControlModule;
    bool CalcInstantCost = false;
    QString SpaceMark;
    int16_t FRaiseError = 0;
    int16_t SaveBill = 0;
};

extern SysProfileRecord SysProfile;
extern SysOptionsRecord SysOptions;

// The twelve MMDD groups of calendar months, the host's default calendar.
inline const QString kDefaultPeriodDates = QStringLiteral("010102010301040105010601070108010901100111011201");

// Reads the settings from the call's connection into the two records. A
// setting that is missing or cannot be converted leaves its field as it was
// (a few take a default instead); a failed query leaves only the calendar
// defaults. Never raises.
void LoadSysProfile();

// The current period's first and last day (OLE dates) from the host's
// sp_GetPeriodStartDate / sp_GetPeriodEndDate for SysProfile's CurrentYear and
// CurrentPeriod as they stand. Any failure gives the date zero, silently.
double GetPeriodStartDate();
double GetPeriodEndDate();

} // namespace torvel
