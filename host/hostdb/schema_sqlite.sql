-- The host database on SQLite: the tables the BOM component reads and writes.
-- Text columns compare ignoring case, as the host's server collation did.
-- Keys of COM_BOM and COM_BOM_Group are assigned by the database; the joined
-- statements name FBOMID, FNumber, FShortNumber, FReplaceClassID and FIsBOM
-- without a table, so each of them lives in one table of those joins only.
-- One statement per ';' at a line end: the loader splits on that.

CREATE TABLE IF NOT EXISTS COM_BOM_Group (
    FBOMGroupID INTEGER PRIMARY KEY AUTOINCREMENT,
    FNumber     TEXT COLLATE NOCASE DEFAULT '',
    FName       TEXT COLLATE NOCASE DEFAULT '',
    FParentID   INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Group_Number ON COM_BOM_Group (FParentID, FNumber);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Group_Name ON COM_BOM_Group (FParentID, FName);
-- Number and name are each unique among the children of one parent: two
-- clients creating the same one at once both pass the group editor's check,
-- and the second insert must fail rather than make a twin. The editor never
-- writes a blank one; rows written without (imports) are not held to it.
-- The partial indexes serve that rule only; lookups take the two above.
CREATE UNIQUE INDEX IF NOT EXISTS UX_COM_BOM_Group_Number ON COM_BOM_Group (FParentID, FNumber) WHERE FNumber <> '';
CREATE UNIQUE INDEX IF NOT EXISTS UX_COM_BOM_Group_Name ON COM_BOM_Group (FParentID, FName) WHERE FName <> '';

-- A duplicate number would let Add find another BOM's row by number.
CREATE TABLE IF NOT EXISTS COM_BOM (
    FBOMID         INTEGER PRIMARY KEY AUTOINCREMENT,
    FBOMNumber     TEXT COLLATE NOCASE NOT NULL UNIQUE,
    FBOMName       TEXT COLLATE NOCASE DEFAULT '',
    FBOMGroupID    INTEGER DEFAULT 0,
    FItemID        INTEGER DEFAULT 0,
    FAuxPropID     INTEGER DEFAULT 0,
    FMeasureUnitID INTEGER DEFAULT 0,
    FStatus        INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Item ON COM_BOM (FItemID, FStatus);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Group ON COM_BOM (FBOMGroupID);

-- Lines are keyed by their BOM and entry number; the key's index also hands
-- a BOM's lines back in entry order.
CREATE TABLE IF NOT EXISTS COM_BOM_Child (
    FBOMEntryID     INTEGER DEFAULT 0,
    FBOMID          INTEGER DEFAULT 0,
    FReplaceClassID INTEGER DEFAULT 0,
    FItemID         INTEGER DEFAULT 0,
    FAuxPropID      INTEGER DEFAULT 0,
    FMeasureUnitID  INTEGER DEFAULT 0,
    FQty            REAL DEFAULT 0,
    FScrap          REAL DEFAULT 0,
    FRemark         TEXT COLLATE NOCASE DEFAULT ''
);
CREATE UNIQUE INDEX IF NOT EXISTS IX_COM_BOM_Child_Entry ON COM_BOM_Child (FBOMID, FBOMEntryID);
-- Where an item is used: its own lines (both columns, so that a plain
-- child line is never looked for among every line of class 0), and the
-- lines of its substitute class.
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Child_Item ON COM_BOM_Child (FItemID, FReplaceClassID);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Child_Class ON COM_BOM_Child (FReplaceClassID);

CREATE TABLE IF NOT EXISTS COM_BOM_Note (
    FBOMNoteID      INTEGER DEFAULT 0,
    FBOMEntryID     INTEGER DEFAULT 0,
    FBOMID          INTEGER DEFAULT 0,
    FReplaceClassID INTEGER DEFAULT 0,
    FItemID         INTEGER DEFAULT 0,
    FAuxPropID      INTEGER DEFAULT 0,
    FMeasureUnitID  INTEGER DEFAULT 0,
    FQty            REAL DEFAULT 0,
    FScrap          REAL DEFAULT 0,
    FRemark         TEXT COLLATE NOCASE DEFAULT ''
);
CREATE UNIQUE INDEX IF NOT EXISTS IX_COM_BOM_Note_Entry ON COM_BOM_Note (FBOMNoteID, FBOMEntryID);

-- The last completion id handed out, one row. A save takes the next id by
-- updating the row inside its transaction, so two clients never get one id,
-- and an id saved without rows is not handed out again.
CREATE TABLE IF NOT EXISTS COM_BOM_NoteSeq (
    FSeqID      INTEGER PRIMARY KEY,
    FLastNoteID INTEGER NOT NULL DEFAULT 0
);
INSERT OR IGNORE INTO COM_BOM_NoteSeq (FSeqID, FLastNoteID) VALUES (1, 0);

-- Items and auxiliary properties alike; FItemClassID says which class a row
-- belongs to (4 for items, an auxiliary class id for a property).
CREATE TABLE IF NOT EXISTS t_Item (
    FItemID      INTEGER PRIMARY KEY,
    FNumber      TEXT COLLATE NOCASE DEFAULT '',
    FName        TEXT COLLATE NOCASE DEFAULT '',
    FDetail      INTEGER DEFAULT 1,
    FShortNumber TEXT COLLATE NOCASE DEFAULT '',
    FItemClassID INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_t_Item_Number ON t_Item (FNumber);
CREATE INDEX IF NOT EXISTS IX_t_Item_ShortNumber ON t_Item (FShortNumber);
CREATE INDEX IF NOT EXISTS IX_t_Item_Name ON t_Item (FName);
CREATE INDEX IF NOT EXISTS IX_t_Item_Class ON t_Item (FItemClassID, FNumber);

-- The business side of an item, one row per t_Item item row.
CREATE TABLE IF NOT EXISTS COM_Item (
    FItemID         INTEGER PRIMARY KEY,
    FModel          TEXT COLLATE NOCASE DEFAULT '',
    FAuxClassID     INTEGER DEFAULT 0,
    FUnitGroupID    INTEGER DEFAULT 0,
    FBaseUnitID     INTEGER DEFAULT 0,
    FQtyScale       INTEGER DEFAULT 0,
    FReplaceClassID INTEGER DEFAULT 0,
    FIsBOM          INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_Item_ReplaceClass ON COM_Item (FReplaceClassID);

CREATE TABLE IF NOT EXISTS t_UnitGroup (
    FUnitGroupID INTEGER PRIMARY KEY,
    FNumber      TEXT COLLATE NOCASE DEFAULT '',
    FName        TEXT COLLATE NOCASE DEFAULT ''
);

-- A unit's FItemID is the id items name it by (COM_Item.FBaseUnitID).
CREATE TABLE IF NOT EXISTS t_MeasureUnit (
    FMeasureUnitID INTEGER PRIMARY KEY,
    FItemID        INTEGER DEFAULT 0,
    FNumber        TEXT COLLATE NOCASE DEFAULT '',
    FName          TEXT COLLATE NOCASE DEFAULT '',
    FUnitGroupID   INTEGER DEFAULT 0,
    FCoefficient   REAL DEFAULT 1
);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Item ON t_MeasureUnit (FItemID);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Group ON t_MeasureUnit (FUnitGroupID, FNumber);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Number ON t_MeasureUnit (FNumber);

-- System types of many kinds; substitute classes are FClassID 480.
CREATE TABLE IF NOT EXISTS COM_SysType (
    FSysTypeID INTEGER PRIMARY KEY,
    FNumber    TEXT COLLATE NOCASE DEFAULT '',
    FName      TEXT COLLATE NOCASE DEFAULT '',
    FClassID   INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_SysType_Number ON COM_SysType (FNumber);
CREATE INDEX IF NOT EXISTS IX_COM_SysType_Class ON COM_SysType (FClassID, FNumber);

-- Settings as text, one row per category and key; a key may repeat and the
-- first row wins, so there is no unique key.
CREATE TABLE IF NOT EXISTS t_SystemProfile (
    FCategory TEXT COLLATE NOCASE DEFAULT '',
    FKey      TEXT COLLATE NOCASE DEFAULT '',
    FValue    TEXT
);
CREATE INDEX IF NOT EXISTS IX_t_SystemProfile_Key ON t_SystemProfile (FCategory, FKey);

-- Stock, for sp_COM_BOM_Stock: warehouses, the stock each item held when an
-- accounting period began (in the item's base unit), and dated movements
-- since (receipts positive, issues negative) in any unit of the item's unit
-- group. Movement dates are the database's date text, "yyyy-MM-dd" or
-- "yyyy-MM-dd hh:mm:ss", so they compare as text in date order. The keys
-- lead with the item, so a BOM's stock is found by its items and dates and
-- the movement table is never read whole.
CREATE TABLE IF NOT EXISTS COM_Stock (
    FStockID INTEGER PRIMARY KEY,
    FNumber  TEXT COLLATE NOCASE DEFAULT '',
    FName    TEXT COLLATE NOCASE DEFAULT ''
);

CREATE TABLE IF NOT EXISTS COM_StockBalance (
    FItemID    INTEGER NOT NULL,
    FYear      INTEGER NOT NULL,
    FPeriod    INTEGER NOT NULL,
    FAuxPropID INTEGER NOT NULL DEFAULT 0,
    FStockID   INTEGER NOT NULL,
    FQty       REAL DEFAULT 0,
    PRIMARY KEY (FItemID, FYear, FPeriod, FAuxPropID, FStockID)
);

CREATE TABLE IF NOT EXISTS COM_StockMove (
    FMoveID        INTEGER PRIMARY KEY,
    FDate          TEXT NOT NULL,
    FItemID        INTEGER NOT NULL,
    FAuxPropID     INTEGER NOT NULL DEFAULT 0,
    FStockID       INTEGER NOT NULL,
    FMeasureUnitID INTEGER NOT NULL,
    FQty           REAL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_StockMove_Item ON COM_StockMove (FItemID, FDate);

-- Users and their rights, read by the host's security component.
CREATE TABLE IF NOT EXISTS t_User (
    FUserID INTEGER PRIMARY KEY,
    FName   TEXT COLLATE NOCASE UNIQUE
);

CREATE TABLE IF NOT EXISTS t_UserRight (
    FUserID    INTEGER DEFAULT 0,
    FSubjectID INTEGER DEFAULT 0,
    FOperation INTEGER DEFAULT 0,
    FFlags     INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_t_UserRight_User ON t_UserRight (FUserID, FSubjectID, FOperation);
