#include "bomtestdb.h"

#include "services/db/recordset.h"


namespace torvel::test {

void seedBomTestData(Connection &cnn)
{
    const char *statements[] = {
        "INSERT INTO COM_BOM_Group (FBOMGroupID,FNumber,FName,FParentID) VALUES (1,'01','组一',0),(2,'02','组二',0)",
        "INSERT INTO t_Item (FItemID,FNumber,FName,FDetail,FShortNumber,FItemClassID) VALUES"
        " (1,'P-001','成品甲',1,'P1',4),(2,'C-001','螺丝',1,'C1',4),(3,'C-002','垫片',1,'C2',4),"
        " (20,'SH-1','短',1,'S9',4),(21,'LONGER-1','长',1,'S9',4),"
        " (70,'RED','红色',1,'',7),(71,'red','浅红',1,'',8)",
        "INSERT INTO COM_Item (FItemID,FModel,FAuxClassID,FUnitGroupID,FBaseUnitID,FQtyScale,FReplaceClassID,FIsBOM) VALUES"
        " (1,'M-P',7,1,11,2,0,1),(2,'M6x20',7,1,11,3,100,0),(3,'Φ6',0,1,12,0,102,0),"
        " (20,'',0,1,11,0,0,0),(21,'',0,1,11,0,0,0)",
        "INSERT INTO t_MeasureUnit (FMeasureUnitID,FItemID,FNumber,FName,FUnitGroupID) VALUES"
        " (11,11,'PCS','个',1),(12,12,'BOX','箱',1),(13,13,'pcs','件',2)",
        "INSERT INTO COM_SysType (FSysTypeID,FNumber,FName,FClassID) VALUES"
        " (100,'R-01','螺丝类',480),(101,'R-01','其他',481),(102,'R-02','垫片类',480),(103,'R-03','别类',481)",
        "INSERT INTO COM_BOM (FBOMID,FBOMNumber,FBOMName,FBOMGroupID,FItemID,FAuxPropID,FMeasureUnitID,FStatus) VALUES"
        " (1,'BOM-001',' 甲结构 ',1,1,70,11,1),(2,'BOM-002','乙',1,2,0,11,0),(3,'BOM-003','缺料',2,999,0,11,0)",
        "INSERT INTO COM_BOM_Child (FBOMEntryID,FBOMID,FReplaceClassID,FItemID,FAuxPropID,FMeasureUnitID,FQty,FScrap,FRemark) VALUES"
        " (1,1,100,0,0,11,2,0.05,' 备注 '),(2,1,0,2,70,11,1.5,0.125,'r2'),(3,1,0,3,0,12,4,0,''),"
        " (1,3,0,2,0,11,1,0,'')",
    };
    for (const char *sql : statements)
        cnn.Execute(QString::fromUtf8(sql));
}

BOM bomHeader(Connection &cnn, int32_t bomId, const QString &number, const QString &name)
{
    BOM bom(cnn);
    bom.BomID = bomId;
    bom.GroupID = 1;
    bom.BomNumber = number;
    bom.BomName = name;
    bom.ItemID = 1;
    bom.MeasureUnitID = 11;
    return bom;
}

QString dumpBoms(Connection &cnn)
{
    QString out;
    for (const char *sql : {"SELECT * FROM COM_BOM ORDER BY FBOMID",
                            "SELECT * FROM COM_BOM_Child ORDER BY FBOMID, FBOMEntryID"}) {
        RecordsetPtr rs = cnn.Execute(QString::fromUtf8(sql));
        for (; !rs->Eof(); rs->MoveNext()) {
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const Variant v = rs->Fields(i);
                out += v.typeName() + u':' + (v.isNull() ? QString() : v.toString()) + u'|';
            }
            out += u'\n';
        }
        out += QStringLiteral("--\n");
    }
    return out;
}

} // namespace torvel::test
