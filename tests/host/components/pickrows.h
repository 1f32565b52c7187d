#pragma once

// Master data small enough to know every row: assemblies and parts, two
// substitute classes (7, 8), auxiliary properties of class 900, units in two
// groups, and a name with the LIKE wildcards in it.
inline const char *const kPickRows[] = {
    "INSERT INTO t_Item (FItemID, FNumber, FName, FDetail, FShortNumber, FItemClassID) VALUES"
    " (1, '1.01', '机箱', 1, 'JX', 4), (2, '1.02', '主板', 1, 'ZB', 4),"
    " (3, '2.01', '螺丝 M3', 1, 'LS', 4), (4, '2.02', 'Screw Box', 1, 'SB', 4), (5, '3.01', '100%_纯铜', 1, 'TT', 4),"
    " (100, 'A01', '红色', 1, 'HS', 900), (101, 'A02', '蓝色', 1, 'LS2', 900), (102, 'A0', '颜色', 0, '', 900)",
    "INSERT INTO COM_Item (FItemID, FModel, FAuxClassID, FUnitGroupID, FBaseUnitID, FQtyScale, FReplaceClassID, FIsBOM)"
    " VALUES (1, 'M-100', 900, 1, 10, 2, 0, 1), (2, 'Z-1', 0, 1, 10, 0, 7, 0),"
    " (3, NULL, 0, 2, 12, 3, 7, 0), (4, 'S-9', 0, 1, 11, 0, 8, 0), (5, '', 0, 1, 10, 0, 0, 0)",
    "INSERT INTO t_MeasureUnit (FMeasureUnitID, FItemID, FNumber, FName, FUnitGroupID) VALUES"
    " (10, 10, 'PCS', '个', 1), (11, 11, 'BOX', '箱', 1), (12, 12, 'KG', '千克', 2)",
    "INSERT INTO COM_SysType (FSysTypeID, FNumber, FName, FClassID) VALUES"
    " (7, 'T1', '螺丝类', 480), (8, 'T2', '盒类', 480), (9, 'X', '其他', 100)",
};
