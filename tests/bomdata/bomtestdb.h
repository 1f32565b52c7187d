#pragma once

// The data layer's test database: the host schema with a small, exactly
// known set of rows, and a dump that tells whether a save changed anything.

#include "bomdata/bom.h"
#include "services/db/connection.h"

#include <QString>

namespace torvel::test {

// Items 1 (parent P-001), 2 (C-001, auxiliary class 7), 3 (C-002, none),
// 20 and 21 (short number S9); auxiliary properties 70 (RED, class 7) and
// 71 (red, class 8); units 11 PCS and 12 BOX in group 1, 13 pcs in group 2;
// substitute classes 100 R-01 and 102 R-02 (class 480) beside 101 R-01 and
// 103 R-03 of class 481; BOM 1 with a substitute line and two item lines,
// BOM 2 without lines, BOM 3 whose parent item is missing.
void seedBomTestData(Connection &cnn);

// A BOM object with a header as an editor fills it: group 1, item 1, unit 11.
BOM bomHeader(Connection &cnn, int32_t bomId, const QString &number, const QString &name);

// Every header and line row, in key order, with each value's type.
QString dumpBoms(Connection &cnn);

} // namespace torvel::test
