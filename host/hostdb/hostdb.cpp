#include "hostdb.h"
#include "pgschema.h"

#include "services/db/recordset.h"
#include "services/db/sqltext.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace torvel::host {

extern const char *const kSchemaSqlite;     // generated from schema_sqlite.sql
extern const char *const kSchemaPostgres;   // generated from schema_pg.sql

namespace {

QString q(const QString &text)
{
    return sqlQuote(text);
}

QString n(int32_t value)
{
    return sqlNumber(value);
}

QString d(double value)
{
    return sqlNumber(value);
}

int scalar(Connection &c, const QString &sql)
{
    const RecordsetPtr rs = c.Execute(sql);
    if (!rs || rs->Eof() || rs->Fields(0).isNull())
        return 0;
    return rs->Fields(0).toInt32();
}

// ---------------------------------------------------------------------------
// Demo data

constexpr int kItemClass = 4;           // t_Item rows that are items
constexpr int kAuxColour = 3001;        // auxiliary property classes
constexpr int kAuxSize = 3002;
constexpr int kAuxEdition = 3003;
constexpr int kSubstituteClass = 480;   // COM_SysType rows that are substitute classes

// Unit ids (t_MeasureUnit.FMeasureUnitID, also its FItemID).
enum Unit {
    Ge = 1, He = 2, Xiang = 3, Bao = 4, Tao = 5, Tai = 6, Kuai = 7,
    Ke = 11, Qianke = 12, Dun = 13,
    Haomi = 21, Mi = 22, Juan = 23,
};
enum UnitGroup { CountGroup = 1, WeightGroup = 2, LengthGroup = 3 };

// Substitute classes (COM_SysType.FSysTypeID).
enum Substitute { Sub10k = 1, Sub100nF = 2, SubM3 = 3, SubMemory = 4, SubAdapter = 5, SubCarton = 6 };

struct ItemSpec
{
    ItemSpec(QString name, QString model, int auxClass = 0, int unitGroup = CountGroup, int baseUnit = Ge,
             int qtyScale = 0, int replaceClass = 0, int isBom = 0)
        : name(std::move(name)), model(std::move(model)), auxClass(auxClass), unitGroup(unitGroup),
          baseUnit(baseUnit), qtyScale(qtyScale), replaceClass(replaceClass), isBom(isBom)
    {
    }
    QString name;
    QString model;
    int auxClass;
    int unitGroup;
    int baseUnit;
    int qtyScale;
    int replaceClass;
    int isBom;
};

class DemoWriter
{
public:
    explicit DemoWriter(Connection &c) : m_c(c) {}

    void exec(const QString &sql) { m_c.Execute(sql); }

    int item(const QString &prefix, const QString &shortPrefix, const ItemSpec &s)
    {
        const int seq = ++m_seq[prefix];
        const QString number = prefix + QLatin1Char('.') + QStringLiteral("%1").arg(seq, 3, 10, QLatin1Char('0'));
        const QString shortNumber = shortPrefix + QStringLiteral("%1").arg(seq, 3, 10, QLatin1Char('0'));
        const int id = m_nextItem++;
        exec(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES (")
             + n(id) + u',' + q(number) + u',' + q(s.name) + QStringLiteral(",1,") + q(shortNumber) + u',' + n(kItemClass)
             + u')');
        exec(QStringLiteral("INSERT INTO COM_Item(FItemID,FModel,FAuxClassID,FUnitGroupID,FBaseUnitID,FQtyScale,"
                            "FReplaceClassID,FIsBOM) VALUES (")
             + n(id) + u',' + q(s.model) + u',' + n(s.auxClass) + u',' + n(s.unitGroup) + u',' + n(s.baseUnit) + u','
             + n(s.qtyScale) + u',' + n(s.replaceClass) + u',' + n(s.isBom) + u')');
        m_unit.insert(id, s.baseUnit);
        m_byModel.insert(s.name + s.model, id);
        return id;
    }

    int find(const QString &name, const QString &model) const
    {
        const int id = m_byModel.value(name + model);
        if (id == 0)
            throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.HostDb"),
                           QStringLiteral("Demo data names an unknown item: %1 %2").arg(name, model));
        return id;
    }
    int unitOf(int itemId) const { return m_unit.value(itemId); }

    int aux(int auxClass, const QString &number, const QString &name)
    {
        const int id = m_nextAux++;
        exec(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES (") + n(id)
             + u',' + q(number) + u',' + q(name) + QStringLiteral(",1,'',") + n(auxClass) + u')');
        m_aux.insert(name, id);
        return id;
    }
    int auxId(const QString &name) const { return m_aux.value(name); }

    int group(const QString &number, const QString &name, int parent)
    {
        exec(QStringLiteral("INSERT COM_Bom_Group(FNumber,FName,FParentID) VALUES (") + q(number) + u',' + q(name) + u','
             + n(parent) + u')');
        return m_c.lastInsertId().toInt32();
    }

    struct Line
    {
        Line(int item, int replaceClass, double qty, double scrap = 0, QString remark = {}, int aux = 0)
            : item(item), replaceClass(replaceClass), qty(qty), scrap(scrap), remark(std::move(remark)), aux(aux)
        {
        }
        int item;
        int replaceClass;
        double qty;
        double scrap;
        QString remark;
        int aux;
    };

    int bom(const QString &number, const QString &name, int group, int item, int aux, int status,
            const std::vector<Line> &lines)
    {
        exec(QStringLiteral("INSERT INTO COM_Bom(FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) "
                            "VALUES (")
             + q(number) + u',' + q(name) + u',' + n(group) + u',' + n(item) + u',' + n(aux) + u',' + n(unitOf(item))
             + u',' + n(status) + u')');
        const int id = m_c.lastInsertId().toInt32();
        writeLines(QStringLiteral("COM_Bom_Child (FBOMEntryID,FBOMID,"), QString(), id, lines);
        return id;
    }

    void note(int noteId, int bomId, const std::vector<Line> &lines)
    {
        writeLines(QStringLiteral("COM_Bom_Note (FBOMNoteID,FBOMEntryID,FBOMID,"), n(noteId) + u',', bomId, lines);
    }

private:
    void writeLines(const QString &head, const QString &prefix, int bomId, const std::vector<Line> &lines)
    {
        int entry = 0;
        for (const Line &l : lines) {
            // A substitute line counts in its class's unit: every class here
            // holds items counted in 个.
            const int unit = l.item ? unitOf(l.item) : int(Ge);
            exec(QStringLiteral("INSERT INTO ") + head
                 + QStringLiteral("FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark) VALUES (") + prefix
                 + n(++entry) + u',' + n(bomId) + u',' + n(l.replaceClass) + u',' + n(l.item) + u',' + n(l.aux) + u','
                 + n(unit) + u',' + d(l.qty) + u',' + d(l.scrap) + u',' + q(l.remark) + u')');
        }
    }

    Connection &m_c;
    int m_nextItem = 1001;
    int m_nextAux = 501;
    QHash<QString, int> m_seq;
    QHash<int, int> m_unit;
    QHash<QString, int> m_byModel;
    QHash<QString, int> m_aux;
};

void writeUnits(DemoWriter &w)
{
    const struct
    {
        int id;
        const char *number;
        const char *name;
    } groups[] = {{CountGroup, "01", "数量组"}, {WeightGroup, "02", "重量组"}, {LengthGroup, "03", "长度组"}};
    for (const auto &g : groups)
        w.exec(QStringLiteral("INSERT INTO t_UnitGroup(FUnitGroupID,FNumber,FName) VALUES (") + n(g.id) + u','
               + q(QString::fromUtf8(g.number)) + u',' + q(QString::fromUtf8(g.name)) + u')');

    const struct
    {
        int id;
        int group;
        const char *number;
        const char *name;
        double coefficient;
    } units[] = {
        {Ge, CountGroup, "01", "个", 1},     {He, CountGroup, "02", "盒", 10},   {Xiang, CountGroup, "03", "箱", 100},
        {Bao, CountGroup, "04", "包", 50},   {Tao, CountGroup, "05", "套", 1},   {Tai, CountGroup, "06", "台", 1},
        {Kuai, CountGroup, "07", "块", 1},   {Ke, WeightGroup, "01", "克", 1},  {Qianke, WeightGroup, "02", "千克", 1000},
        {Dun, WeightGroup, "03", "吨", 1e6}, {Haomi, LengthGroup, "01", "毫米", 1}, {Mi, LengthGroup, "02", "米", 1000},
        {Juan, LengthGroup, "03", "卷", 100000},
    };
    for (const auto &u : units)
        w.exec(QStringLiteral("INSERT INTO t_MeasureUnit(FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID,FCoefficient) VALUES (")
               + n(u.id) + u',' + n(u.id) + u',' + q(QString::fromUtf8(u.number)) + u',' + q(QString::fromUtf8(u.name)) + u','
               + n(u.group) + u',' + d(u.coefficient) + u')');
}

void writeAuxProperties(DemoWriter &w)
{
    // "No auxiliary property": the row the report's inner-joined header needs
    // for a BOM whose FAuxPropID is 0. Of no class, so no pick list offers it.
    w.exec(QStringLiteral("INSERT INTO t_Item(FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES (0,'','',0,'',0)"));
    const char *colours[] = {"红色", "蓝色", "黑色", "白色", "银色", "金色"};
    const char *sizes[] = {"小号", "中号", "大号"};
    const char *editions[] = {"标准版", "增强版", "出口版"};
    int i = 0;
    for (const char *c : colours)
        w.aux(kAuxColour, QStringLiteral("%1").arg(++i, 2, 10, QLatin1Char('0')), QString::fromUtf8(c));
    i = 0;
    for (const char *s : sizes)
        w.aux(kAuxSize, QStringLiteral("%1").arg(++i, 2, 10, QLatin1Char('0')), QString::fromUtf8(s));
    i = 0;
    for (const char *e : editions)
        w.aux(kAuxEdition, QStringLiteral("%1").arg(++i, 2, 10, QLatin1Char('0')), QString::fromUtf8(e));
}

void writeSysTypes(DemoWriter &w)
{
    const struct
    {
        int id;
        const char *number;
        const char *name;
        int classId;
    } types[] = {
        {Sub10k, "R001", "10kΩ贴片电阻类", kSubstituteClass},
        {Sub100nF, "R002", "100nF贴片电容类", kSubstituteClass},
        {SubM3, "R003", "M3十字螺丝类", kSubstituteClass},
        {SubMemory, "R004", "DDR4内存条类", kSubstituteClass},
        {SubAdapter, "R005", "12V电源适配器类", kSubstituteClass},
        {SubCarton, "R006", "包装纸箱类", kSubstituteClass},
        // Other kinds of system types share the table (and even a number).
        {7, "T001", "普通发票", 101},
        {8, "T002", "增值税专用发票", 101},
        {9, "W001", "成品仓", 200},
        {10, "R001", "退货原因:质量问题", 481},
    };
    for (const auto &t : types)
        w.exec(QStringLiteral("INSERT INTO COM_SysType(FSysTypeID,FNumber,FName,FClassID) VALUES (") + n(t.id) + u','
               + q(QString::fromUtf8(t.number)) + u',' + q(QString::fromUtf8(t.name)) + u',' + n(t.classId) + u')');
}

QString utf8(const char *s)
{
    return QString::fromUtf8(s);
}

void writeItems(DemoWriter &w)
{
    // Resistors: value x tolerance x package.
    const char *ohms[] = {"10Ω", "47Ω", "100Ω", "220Ω", "470Ω", "1kΩ", "2.2kΩ", "4.7kΩ", "10kΩ", "22kΩ", "47kΩ", "100kΩ"};
    const char *packages[] = {"0402", "0603", "0805"};
    for (const char *tol : {"±1%", "±5%"}) {
        for (const char *v : ohms) {
            for (const char *p : packages) {
                ItemSpec s{utf8("贴片电阻"), utf8(v) + u' ' + utf8(tol) + u' ' + utf8(p)};
                if (qstrcmp(v, "10kΩ") == 0)
                    s.replaceClass = Sub10k;
                w.item(QStringLiteral("1.01"), QStringLiteral("DZ"), s);
            }
        }
    }
    const char *farads[] = {"10pF", "22pF", "100pF", "1nF", "10nF", "100nF", "1μF", "4.7μF", "10μF", "22μF"};
    for (const char *v : farads) {
        for (const char *p : packages) {
            ItemSpec s{utf8("贴片电容"), utf8(v) + QStringLiteral(" 50V X7R ") + utf8(p)};
            if (qstrcmp(v, "100nF") == 0)
                s.replaceClass = Sub100nF;
            w.item(QStringLiteral("1.02"), QStringLiteral("DR"), s);
        }
    }
    for (const char *v : {"10μF", "47μF", "100μF", "220μF", "470μF", "1000μF"}) {
        for (const char *volt : {"16V", "25V", "35V"})
            w.item(QStringLiteral("1.03"), QStringLiteral("DJ"), {utf8("铝电解电容"), utf8(v) + u' ' + utf8(volt)});
    }
    const struct
    {
        const char *name;
        const char *model;
    } chips[] = {
        {"单片机", "STM32F103C8T6"}, {"单片机", "GD32F103C8T6"}, {"单片机", "STM32F407VGT6"},
        {"以太网芯片", "RTL8111H"},  {"以太网芯片", "RTL8153"},    {"电源管理芯片", "TPS54331"},
        {"电源管理芯片", "MP1584EN"}, {"稳压芯片", "AMS1117-3.3"}, {"稳压芯片", "LM7805"},
        {"串口芯片", "CH340G"},      {"串口芯片", "MAX3232"},      {"存储芯片", "W25Q128JVSQ"},
        {"存储芯片", "AT24C02"},     {"时钟芯片", "DS1302"},       {"晶振", "8MHz HC-49S"},
        {"晶振", "25MHz 3225"},      {"晶振", "32.768kHz"},        {"网络变压器", "HR911105A"},
    };
    for (const auto &c : chips)
        w.item(QStringLiteral("1.04"), QStringLiteral("XP"), {utf8(c.name), utf8(c.model)});
    for (const char *brand : {"金士顿 8GB 3200", "三星 8GB 3200", "海力士 8GB 3200", "镁光 8GB 3200"})
        w.item(QStringLiteral("1.05"), QStringLiteral("NC"),
               {utf8("DDR4内存条"), utf8(brand), 0, CountGroup, Ge, 0, SubMemory});
    for (const char *colour : {"红", "绿", "蓝", "黄", "白"}) {
        for (const char *p : {"0603", "0805", "3mm直插"})
            w.item(QStringLiteral("1.06"), QStringLiteral("FG"), {utf8("发光二极管"), utf8(colour) + utf8("光 ") + utf8(p)});
    }
    for (const char *c : {"2.54mm 1×40P 排针", "2.54mm 2×20P 排母", "USB-A 母座", "USB-C 母座", "RJ45 网口座",
                          "DC-005 电源座", "HDMI 母座", "3.5mm 音频座"})
        w.item(QStringLiteral("1.07"), QStringLiteral("LJ"), {utf8("连接器"), utf8(c)});

    // Hardware: screws by size and length, nuts and washers.
    for (const char *size : {"M2", "M2.5", "M3", "M4", "M5", "M6"}) {
        for (const char *len : {"6", "8", "10", "12", "16", "20"}) {
            ItemSpec s{utf8("十字盘头螺丝"), utf8(size) + utf8("×") + utf8(len) + utf8(" 不锈钢")};
            if (qstrcmp(size, "M3") == 0)
                s.replaceClass = SubM3;
            w.item(QStringLiteral("2.01"), QStringLiteral("LS"), s);
        }
    }
    for (const char *size : {"M2", "M2.5", "M3", "M4", "M5", "M6"}) {
        w.item(QStringLiteral("2.02"), QStringLiteral("LM"), {utf8("六角螺母"), utf8(size) + utf8(" 镀锌")});
        w.item(QStringLiteral("2.03"), QStringLiteral("DP"), {utf8("平垫片"), utf8(size) + utf8(" 不锈钢")});
    }
    for (const char *m : {"ATX-A1", "ATX-B2", "MINI-C3", "塔式T4", "壁挂W5"})
        w.item(QStringLiteral("2.04"), QStringLiteral("WK"), {utf8("机箱外壳"), utf8(m), kAuxColour});
    for (const char *m : {"R1 上盖", "R1 底壳", "R2 上盖", "R2 底壳"})
        w.item(QStringLiteral("2.04"), QStringLiteral("WK"), {utf8("路由器外壳"), utf8(m), kAuxColour});
    for (const char *m : {"1U 标准", "2U 标准"})
        w.item(QStringLiteral("2.05"), QStringLiteral("MB"), {utf8("前面板"), utf8(m), kAuxColour});

    // Wires and consumables in length and weight units.
    for (const char *m : {"1.5m 国标三芯", "1.8m 国标三芯", "3m 美标"})
        w.item(QStringLiteral("2.06"), QStringLiteral("XC"), {utf8("电源线"), utf8(m)});
    w.item(QStringLiteral("2.06"), QStringLiteral("XC"), {utf8("网线"), utf8("超五类 非屏蔽"), 0, LengthGroup, Mi, 2});
    w.item(QStringLiteral("2.06"), QStringLiteral("XC"), {utf8("排线"), utf8("2.54mm 20P 灰色"), 0, LengthGroup, Mi, 2});
    w.item(QStringLiteral("2.07"), QStringLiteral("HC"), {utf8("焊锡丝"), utf8("0.8mm 无铅"), 0, WeightGroup, Qianke, 3});
    w.item(QStringLiteral("2.07"), QStringLiteral("HC"), {utf8("导热硅脂"), utf8("灰色 5W/mK"), 0, WeightGroup, Ke, 1});
    w.item(QStringLiteral("2.07"), QStringLiteral("HC"), {utf8("三防漆"), utf8("丙烯酸"), 0, WeightGroup, Qianke, 3});

    // Power.
    for (const char *m : {"12V2A 国标", "12V3A 国标", "12V2A 欧标"})
        w.item(QStringLiteral("3.01"), QStringLiteral("DY"), {utf8("电源适配器"), utf8(m), 0, CountGroup, Ge, 0, SubAdapter});
    w.item(QStringLiteral("3.01"), QStringLiteral("DY"), {utf8("电源适配器"), utf8("19V3.42A")});
    w.item(QStringLiteral("3.02"), QStringLiteral("DY"), {utf8("开关电源模块"), utf8("24V5A"), 0, CountGroup, Kuai, 0, 0, 1});
    w.item(QStringLiteral("3.02"), QStringLiteral("DY"), {utf8("开关电源模块"), utf8("12V10A"), 0, CountGroup, Kuai, 0, 0, 1});

    // Packing.
    for (const char *m : {"小号 300×200×150", "中号 450×350×200", "大号 600×450×300"})
        w.item(QStringLiteral("3.03"), QStringLiteral("BZ"), {utf8("包装纸箱"), utf8(m), 0, CountGroup, Ge, 0, SubCarton});
    for (const char *m : {"EPE 珍珠棉", "防静电袋 20×30", "说明书 A5", "合格证", "保修卡"})
        w.item(QStringLiteral("3.04"), QStringLiteral("BZ"), {utf8("包装辅料"), utf8(m)});

    // Assemblies that head BOMs.
    for (const char *m : {"IPC-A1", "IPC-B2", "IPC-C3"})
        w.item(QStringLiteral("4.01"), QStringLiteral("ZB"), {utf8("工控主板"), utf8(m), kAuxEdition, CountGroup, Kuai, 0, 0, 1});
    for (const char *m : {"IPC-610", "IPC-510", "迷你 M1"})
        w.item(QStringLiteral("5.01"), QStringLiteral("ZJ"), {utf8("工控机整机"), utf8(m), kAuxColour, CountGroup, Tai, 0, 0, 1});
    for (const char *m : {"R1 千兆双频", "R2 企业级"})
        w.item(QStringLiteral("5.02"), QStringLiteral("LY"), {utf8("路由器"), utf8(m), kAuxColour, CountGroup, Tai, 0, 0, 1});
    w.item(QStringLiteral("5.03"), QStringLiteral("TZ"), {utf8("备件包"), utf8("工控机维修套装"), kAuxSize, CountGroup, Tao, 0, 0, 1});
}

void writeBoms(DemoWriter &w)
{
    const int electronics = w.group(QStringLiteral("01"), utf8("电子产品"), 0);
    const int boards = w.group(QStringLiteral("01.01"), utf8("工控主板"), electronics);
    const int machines = w.group(QStringLiteral("01.02"), utf8("工控整机"), electronics);
    const int power = w.group(QStringLiteral("01.03"), utf8("电源模块"), electronics);
    const int network = w.group(QStringLiteral("02"), utf8("通信设备"), 0);
    const int routers = w.group(QStringLiteral("02.01"), utf8("路由器"), network);
    w.group(QStringLiteral("03"), utf8("试制品"), 0);

    using L = DemoWriter::Line;
    const auto it = [&](const char *name, const char *model) { return w.find(utf8(name), utf8(model)); };

    const int boardA1 = it("工控主板", "IPC-A1");
    const std::vector<L> boardLines = {
        {it("单片机", "STM32F103C8T6"), 0, 1},
        {it("以太网芯片", "RTL8111H"), 0, 1},
        {it("存储芯片", "W25Q128JVSQ"), 0, 1},
        {it("稳压芯片", "AMS1117-3.3"), 0, 2},
        {0, Sub10k, 12, 0.01, utf8("任选一种10kΩ电阻")},
        {0, Sub100nF, 20, 0.02},
        {it("贴片电阻", "1kΩ ±1% 0603"), 0, 6, 0.01},
        {it("贴片电阻", "4.7kΩ ±5% 0603"), 0, 4, 0.01},
        {it("贴片电容", "10μF 50V X7R 0805"), 0, 4},
        {it("晶振", "8MHz HC-49S"), 0, 1},
        {it("晶振", "25MHz 3225"), 0, 1},
        {it("发光二极管", "绿光 0603"), 0, 2, 0, utf8("电源和运行指示")},
        {it("连接器", "RJ45 网口座"), 0, 1},
        {it("连接器", "USB-A 母座"), 0, 2},
        {it("焊锡丝", "0.8mm 无铅"), 0, 0.005, 0.1, utf8("按千克计")},
    };
    w.bom(QStringLiteral("BOM000001"), utf8("工控主板IPC-A1 标准配置"), boards, boardA1, w.auxId(utf8("标准版")), 0, boardLines);
    std::vector<L> enhanced = boardLines;
    enhanced.push_back({0, SubMemory, 2, 0, utf8("双通道")});
    enhanced.push_back({it("单片机", "STM32F407VGT6"), 0, 1});
    w.bom(QStringLiteral("BOM000002"), utf8("工控主板IPC-A1 增强配置"), boards, boardA1, w.auxId(utf8("增强版")), 0, enhanced);
    w.bom(QStringLiteral("BOM000003"), utf8("工控主板IPC-A1 旧版"), boards, boardA1, 0, 1,
          {{it("单片机", "GD32F103C8T6"), 0, 1}, {0, Sub10k, 10}, {0, Sub100nF, 16}});
    w.bom(QStringLiteral("BOM000004"), utf8("工控主板IPC-B2"), boards, it("工控主板", "IPC-B2"), 0, 0,
          {{it("单片机", "STM32F407VGT6"), 0, 1},
           {it("以太网芯片", "RTL8153"), 0, 2},
           {0, SubMemory, 4},
           {0, Sub10k, 24, 0.01},
           {0, Sub100nF, 40, 0.02},
           {it("串口芯片", "MAX3232"), 0, 2},
           {it("连接器", "HDMI 母座"), 0, 1}});

    const std::vector<L> machineLines = {
        {boardA1, 0, 1, 0, QString(), w.auxId(utf8("标准版"))},
        {it("机箱外壳", "ATX-A1"), 0, 1, 0, QString(), w.auxId(utf8("黑色"))},
        {it("前面板", "1U 标准"), 0, 1, 0, QString(), w.auxId(utf8("银色"))},
        {0, SubAdapter, 1},
        {0, SubM3, 8, 0.05, utf8("含备用")},
        {it("电源线", "1.5m 国标三芯"), 0, 1},
        {it("网线", "超五类 非屏蔽"), 0, 1.5},
        {it("导热硅脂", "灰色 5W/mK"), 0, 2.5, 0.1},
        {0, SubCarton, 1},
        {it("包装辅料", "说明书 A5"), 0, 1},
        {it("包装辅料", "合格证"), 0, 1},
    };
    const int machineBom = w.bom(QStringLiteral("BOM000005"), utf8("工控机整机IPC-610"), machines, it("工控机整机", "IPC-610"),
                                 w.auxId(utf8("黑色")), 0, machineLines);
    w.bom(QStringLiteral("BOM000006"), utf8("迷你工控机M1"), machines, it("工控机整机", "迷你 M1"), w.auxId(utf8("白色")), 0,
          {{it("工控主板", "IPC-C3"), 0, 1}, {it("机箱外壳", "MINI-C3"), 0, 1, 0, QString(), w.auxId(utf8("白色"))},
           {0, SubAdapter, 1}, {0, SubM3, 4}, {it("包装纸箱", "小号 300×200×150"), 0, 1}});
    w.bom(QStringLiteral("BOM000007"), utf8("开关电源模块24V5A"), power, it("开关电源模块", "24V5A"), 0, 0,
          {{it("电源管理芯片", "TPS54331"), 0, 1},
           {it("铝电解电容", "470μF 35V"), 0, 2},
           {it("铝电解电容", "100μF 25V"), 0, 2},
           {0, Sub10k, 3},
           {it("贴片电阻", "2.2kΩ ±5% 0805"), 0, 2},
           {it("连接器", "DC-005 电源座"), 0, 1},
           {it("三防漆", "丙烯酸"), 0, 0.012, 0.05}});
    w.bom(QStringLiteral("BOM000008"), utf8("路由器R1"), routers, it("路由器", "R1 千兆双频"), w.auxId(utf8("白色")), 0,
          {{it("路由器外壳", "R1 上盖"), 0, 1, 0, QString(), w.auxId(utf8("白色"))},
           {it("路由器外壳", "R1 底壳"), 0, 1, 0, QString(), w.auxId(utf8("白色"))},
           {it("以太网芯片", "RTL8153"), 0, 1},
           {it("网络变压器", "HR911105A"), 0, 4},
           {it("连接器", "RJ45 网口座"), 0, 4},
           {0, Sub100nF, 12},
           {0, SubAdapter, 1},
           {0, SubM3, 4},
           {it("包装纸箱", "中号 450×350×200"), 0, 1}});
    w.bom(QStringLiteral("BOM000009"), utf8("路由器R2 企业级"), routers, it("路由器", "R2 企业级"), w.auxId(utf8("黑色")), 1,
          {{it("路由器外壳", "R2 上盖"), 0, 1, 0, QString(), w.auxId(utf8("黑色"))}, {0, SubMemory, 1}});

    // The stock report's worked example (stock in writeStock): any 12V adapter
    // twice and the power chip three times.
    w.bom(QStringLiteral("BOM000010"), utf8("开关电源模块12V10A"), power, it("开关电源模块", "12V10A"), 0, 0,
          {{0, SubAdapter, 2}, {it("电源管理芯片", "TPS54331"), 0, 3}});

    // One completion of the machine BOM: every substitute line resolved.
    std::vector<L> resolved = machineLines;
    for (L &l : resolved) {
        switch (l.replaceClass) {
        case SubAdapter: l.item = it("电源适配器", "12V3A 国标"); break;
        case SubM3: l.item = it("十字盘头螺丝", "M3×8 不锈钢"); break;
        case SubCarton: l.item = it("包装纸箱", "中号 450×350×200"); break;
        default: break;
        }
    }
    w.note(1, machineBom, resolved);
}

void writeProfile(DemoWriter &w)
{
    const QString period = QString::number(QDate::currentDate().month());
    const struct
    {
        const char *category;
        const char *key;
        QString value;
    } settings[] = {
        {"GL", "PeriodByMonth", QStringLiteral("1")},
        {"GL", "PeriodCount", QStringLiteral("12")},
        {"GL", "PeriodDates", QStringLiteral("010102010301040105010601070108010901100111011201")},
        {"GL", "CurrentYear", QStringLiteral("2026")},
        {"GL", "CurrentPeriod", period},
        {"COM", "InitClosed", QStringLiteral("1")},
        {"COM", "CurrentYear", QStringLiteral("2026")},
        {"COM", "CurrentPeriod", period},
        {"COM", "StartYear", QStringLiteral("2026")},
        {"COM", "StartPeriod", QStringLiteral("1")},
        {"General", "CompanyName", utf8("华东精密电子有限公司")},
        {"General", "CompanyAddress", utf8("江苏省苏州市工业园区星湖街88号")},
        {"General", "CompanyPhone", QStringLiteral("0512-66668888")},
        {"COM", "Tax", QStringLiteral("91320594MA1XXXXX8K")},
        {"COM", "Bank", utf8("中国工商银行苏州园区支行")},
        {"COM", "BankAccount", QStringLiteral("1102020109000012345")},
        {"COM", "BrID", QStringLiteral("0")},
        {"COM", "BrPosition", QStringLiteral("0")},
        {"COM", "IPAddress", QStringLiteral("127.0.0.1")},
        {"COM", "ServerPort", QStringLiteral("8001")},
        {"COM", "ConnectCount", QStringLiteral("10")},
        {"COM", "EvaluateMethod", QStringLiteral("1")},
        {"COM", "SaleBackCost", QStringLiteral("0")},
        {"COM", "TransferCost", QStringLiteral("0")},
        {"COM", "NegCost", QStringLiteral("0")},
        {"COM", "TransferByCost", QStringLiteral("1")},
        {"COM", "AdjustForCost", QStringLiteral("0")},
        {"COM", "AssignCost", QStringLiteral("0")},
        {"COM", "AutoBatch", QStringLiteral("0")},
        {"COM", "GSPCheck", QStringLiteral("0")},
        {"COM", "GSPLisDate", QStringLiteral("0")},
        {"COM", "Requisition_In", QStringLiteral("0")},
        {"COM", "Requisition_Out", QStringLiteral("0")},
        {"COM", "AutoEvaluateAdjust", QStringLiteral("0")},
        {"COM", "RetailSaveToNew", QStringLiteral("1")},
        {"COM", "RetailToTax", QStringLiteral("0")},
        {"COM", "RetailCollect", QStringLiteral("0")},
        {"COM", "TransAndDrop", QStringLiteral("0")},
        {"COM", "RetailCollectByCustomer", QStringLiteral("0")},
        {"COM", "RetailCollectByDate", QStringLiteral("1")},
        {"COM", "RetailCollectByShift", QStringLiteral("0")},
        {"COM", "RetailCollectByDiscountRate", QStringLiteral("0")},
        {"COM", "RetailCollectByPreparer", QStringLiteral("0")},
        {"COM", "RetailCollectByPrice", QStringLiteral("0")},
        {"COM", "RetailCollectByBrID", QStringLiteral("0")},
        {"COM", "CurBusiYear", QStringLiteral("2026")},
        {"COM", "CurBusiPeriod", period},
        {"COM", "ModifySelfBill", QStringLiteral("1")},
        {"COM", "StockAvail", QStringLiteral("1")},
        {"COM", "IsCheck", QStringLiteral("0")},
        {"COM", "SameOfAudit", QStringLiteral("0")},
        {"COM", "AllowNegative", QStringLiteral("0")},
        {"COM", "AlarmForNeg", QStringLiteral("1")},
        {"COM", "CMNeeded", QStringLiteral("0")},
        {"COM", "ValueAddedTax", QStringLiteral("13")},
        {"COM", "FarmTax", QStringLiteral("9")},
        {"COM", "CalcCost", QStringLiteral("0")},
        {"COM", "ImmediatelyRefresh", QStringLiteral("1")},
        {"COM", "ControlModule", QStringLiteral("0")},
        {"COM", "CalcInstantCost", QStringLiteral("0")},
        {"COM", "SpaceMark", QStringLiteral("-")},
        {"ARAP", "FRaiseError", QStringLiteral("0")},
        {"COM", "SaveBill", QStringLiteral("0")},
    };
    for (const auto &s : settings)
        w.exec(QStringLiteral("INSERT INTO t_SystemProfile(FCategory,FKey,FValue) VALUES (") + q(utf8(s.category)) + u','
               + q(utf8(s.key)) + u',' + q(s.value) + u')');
}

// Three warehouses; opening balances of the current period (the profile's
// 2026 and this month) and movements before and from its first day for
// every item the BOMs use. The worked example: BOM000010's adapters hold 10
// (4 + 6 in two warehouses) and 6 (a box of 10 in, 4 out, and an older
// movement that the balance already holds), the third adapter nothing; the
// chip 4 and 5. Capacities 8 and 3: three complete kits.
void writeStock(DemoWriter &w, Connection &c)
{
    const struct
    {
        int id;
        const char *number;
        const char *name;
    } stocks[] = {{1, "01", "原料仓"}, {2, "02", "半成品仓"}, {3, "03", "成品仓"}};
    for (const auto &s : stocks)
        w.exec(QStringLiteral("INSERT INTO COM_Stock(FStockID,FNumber,FName) VALUES (") + n(s.id) + u','
               + q(utf8(s.number)) + u',' + q(utf8(s.name)) + u')');

    const int year = 2026;
    const int period = QDate::currentDate().month();
    const QDate start(year, period, 1);
    const auto balance = [&](int item, int aux, int stock, double qty) {
        w.exec(QStringLiteral("INSERT INTO COM_StockBalance(FItemID,FYear,FPeriod,FAuxPropID,FStockID,FQty) VALUES (")
               + n(item) + u',' + n(year) + u',' + n(period) + u',' + n(aux) + u',' + n(stock) + u',' + d(qty) + u')');
    };
    const auto move = [&](const QDate &date, int item, int aux, int stock, int unit, double qty) {
        w.exec(QStringLiteral("INSERT INTO COM_StockMove(FDate,FItemID,FAuxPropID,FStockID,FMeasureUnitID,FQty) VALUES (")
               + q(date.toString(Qt::ISODate)) + u',' + n(item) + u',' + n(aux) + u',' + n(stock) + u',' + n(unit) + u','
               + d(qty) + u')');
    };

    const int adapter2A = w.find(utf8("电源适配器"), utf8("12V2A 国标"));
    const int adapter3A = w.find(utf8("电源适配器"), utf8("12V3A 国标"));
    const int chip = w.find(utf8("电源管理芯片"), utf8("TPS54331"));
    balance(adapter2A, 0, 1, 4);
    balance(adapter2A, 0, 3, 6);
    move(start.addDays(-3), adapter3A, 0, 1, Ge, 50);
    move(start, adapter3A, 0, 1, He, 1);
    move(start, adapter3A, 0, 1, Ge, -4);
    balance(chip, 0, 1, 6);
    move(start, chip, 0, 1, Ge, -2);
    balance(chip, 0, 2, 5);

    // Everything else the BOMs name, with the auxiliary property of its line.
    const RecordsetPtr used = c.Execute(QStringLiteral(
        "SELECT DISTINCT b.FItemID, b.FAuxPropID, i.FBaseUnitID FROM COM_BOM_Child b JOIN COM_Item i ON i.FItemID = b.FItemID"
        " WHERE b.FItemID > 0 UNION SELECT FItemID, 0, FBaseUnitID FROM COM_Item WHERE FReplaceClassID > 0"
        " ORDER BY 1, 2"));
    int k = 0;
    for (; !used->Eof(); used->MoveNext()) {
        const int item = used->Fields(0).toInt32();
        const int aux = used->Fields(1).toInt32();
        const int unit = used->Fields(2).toInt32();
        if (item == adapter2A || item == adapter3A || item == chip || (unit == 0))
            continue;
        if (item == w.find(utf8("电源适配器"), utf8("12V2A 欧标")))
            continue;
        ++k;
        for (int s = 1; s <= 1 + k % 3; ++s)
            balance(item, aux, s, 5 + (k * 37 + s * 11) % 60);
        if (k % 4 == 0) {
            move(start.addDays(-2), item, aux, 1, unit, -7);
            move(start, item, aux, 2, unit, 12);
        }
    }
}

void writeUsers(DemoWriter &w)
{
    w.exec(QStringLiteral("INSERT INTO t_User(FUserID,FName) VALUES (1,'admin')"));
    w.exec(QStringLiteral("INSERT INTO t_User(FUserID,FName) VALUES (2,'guest')"));
    // Subject 501, operation 10: changing BOMs and groups.
    w.exec(QStringLiteral("INSERT INTO t_UserRight(FUserID,FSubjectID,FOperation,FFlags) VALUES (1,501,10,4194304)"));
}

} // namespace

QStringList schemaStatements(const Connection &connection)
{
    // One script per kind of database, named by its dialect; a server dialect
    // brings its own twin of schema_sqlite.sql.
    static const QHash<QString, const char *> scripts{
        {QStringLiteral("sqlite"), kSchemaSqlite},
        {QStringLiteral("pg"), kSchemaPostgres},
    };
    const char *script = scripts.value(connection.dialect().scriptSuffix());
    if (!script)
        throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.HostDb"),
                       QStringLiteral("No host schema for %1 databases.").arg(connection.dialect().name()));
    return sqltext::splitScript(QString::fromUtf8(script));
}

void createSchema(Connection &connection)
{
    for (const QString &statement : schemaStatements(connection))
        connection.Execute(statement);
}

void loadDemoData(Connection &connection)
{
    Transaction transaction(connection);
    DemoWriter w(connection);
    writeUnits(w);
    writeAuxProperties(w);
    writeSysTypes(w);
    writeItems(w);
    writeBoms(w);
    writeProfile(w);
    writeStock(w, connection);
    writeUsers(w);
    transaction.commit();
}

bool ensureDemoDatabase(const QString &path)
{
    if (path.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || path.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return ensurePostgresDemoDatabase(path);
    if (QFileInfo::exists(path))
        return false;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.HostDb"),
                       QStringLiteral("Cannot create the folder %1.").arg(info.absolutePath()));
    // Built beside the target and renamed when complete, so an interrupted
    // first run never leaves a half-filled database that later runs keep.
    const QString building = path + QStringLiteral(".building");
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(building + QLatin1String(suffix));
    {
        ConnectionPtr c = Connection::open(QStringLiteral("sqlite:") + building);
        createSchema(*c);
        loadDemoData(*c);
        c->Close();   // the last close folds the WAL back into the file
    }
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        if (QFileInfo::exists(path))
            return false;   // another process won the race; its file stands
        throw ComError(errc::DatabaseError, QStringLiteral("TORVEL.HostDb"),
                       QStringLiteral("Cannot create the database %1.").arg(path));
    }
    return true;
}

QString demoSummary(Connection &connection)
{
    Connection &c = connection;
    QStringList lines;
    const auto count = [&](const QString &sql) { return scalar(c, sql); };
    lines << utf8("商品 (t_Item / COM_Item): %1 个商品, %2 个辅助属性; COM_Item %3 行, 其中可作 BOM 的 %4 个")
                 .arg(count(QStringLiteral("SELECT Count(*) FROM t_Item WHERE FItemClassID=4")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM t_Item WHERE FItemClassID<>4 AND FItemID<>0")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_Item")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_Item WHERE FIsBOM=1")));
    lines << utf8("计量单位 (t_MeasureUnit): %1 个, 分属 %2 个单位组")
                 .arg(count(QStringLiteral("SELECT Count(*) FROM t_MeasureUnit")))
                 .arg(count(QStringLiteral("SELECT Count(DISTINCT FUnitGroupID) FROM t_MeasureUnit")));
    lines << utf8("替代类别 (COM_SysType, FClassID=480): %1 个, 含 %2 个商品")
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_SysType WHERE FClassID=480")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_Item WHERE FReplaceClassID>0")));
    lines << utf8("BOM 分组 (COM_BOM_Group): %1 个").arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Group")));
    lines << utf8("BOM (COM_BOM): %1 张, 使用中 %2 张; 子项 (COM_BOM_Child): %3 行, 其中替代类别行 %4 行")
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM WHERE FStatus=0")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Child WHERE FReplaceClassID>0")));
    lines << utf8("BOM 配置 (COM_BOM_Note): %1 套, %2 行")
                 .arg(count(QStringLiteral("SELECT Count(DISTINCT FBOMNoteID) FROM COM_BOM_Note")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM COM_BOM_Note")));
    lines << utf8("系统参数 (t_SystemProfile): %1 项; 用户 (t_User): %2 个")
                 .arg(count(QStringLiteral("SELECT Count(*) FROM t_SystemProfile")))
                 .arg(count(QStringLiteral("SELECT Count(*) FROM t_User")));
    const RecordsetPtr boms = c.Execute(QStringLiteral(
        "SELECT FBOMNumber, FBOMName, (SELECT Count(*) FROM COM_BOM_Child WHERE COM_BOM_Child.FBOMID=COM_BOM.FBOMID) AS FLines "
        "FROM COM_BOM ORDER BY FBOMID LIMIT 5"));
    for (; !boms->Eof(); boms->MoveNext())
        lines << QStringLiteral("  %1  %2 (%3 %4)")
                     .arg(boms->Fields(0).toString(), boms->Fields(1).toString(), boms->Fields(2).toString(), utf8("行"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace torvel::host
