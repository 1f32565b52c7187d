-- The host database on PostgreSQL: the twin of schema_sqlite.sql.
-- Names are unquoted, so they fold to lower case and the statements' mixed
-- spellings (COM_Bom, COM_BOM) name one table; record sets hand the columns
-- back in lower case and are read without regard to case.
-- Each table's key index is marked clustered: SQL Server hands rows back in
-- the order of the clustered index, and the connection's dialect orders a
-- plain row query by it (a BOM's lines in entry order, BOMs by id).
-- Text columns are citext: they compare ignoring case, as the host's server
-- collation did, and unlike a nondeterministic ICU collation they still take
-- LIKE (the pick lists filter with it).
-- One statement per ';' at a line end outside a $$ body: the loader splits on
-- that.

-- citext lives in public, shared by every schema of the database; creating
-- it may race with another session doing the same.
DO $$
BEGIN
    CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public;
EXCEPTION WHEN unique_violation OR duplicate_object THEN
    NULL;
END
$$;

-- A row written with an explicit key (the scale generator, imports) moves the
-- key's sequence past it, so the next generated key does not collide, as
-- SQLite's AUTOINCREMENT behaves.
CREATE OR REPLACE FUNCTION host_keep_key_ahead() RETURNS trigger
LANGUAGE plpgsql
AS $$
DECLARE
    key_value bigint := (to_jsonb(NEW) ->> TG_ARGV[0])::bigint;
    seq text := pg_get_serial_sequence(quote_ident(TG_TABLE_SCHEMA) || '.' || quote_ident(TG_TABLE_NAME), TG_ARGV[0]);
BEGIN
    IF key_value > coalesce(pg_sequence_last_value(seq::regclass), 0) THEN
        PERFORM setval(seq, key_value);
    END IF;
    RETURN NEW;
END
$$;

CREATE TABLE IF NOT EXISTS COM_BOM_Group (
    FBOMGroupID serial PRIMARY KEY,
    FNumber     citext DEFAULT '',
    FName       citext DEFAULT '',
    FParentID   integer DEFAULT 0
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
ALTER TABLE COM_BOM_Group CLUSTER ON COM_BOM_Group_pkey;
CREATE OR REPLACE TRIGGER COM_BOM_Group_KeyAhead BEFORE INSERT ON COM_BOM_Group
    FOR EACH ROW EXECUTE FUNCTION host_keep_key_ahead('fbomgroupid');

-- A duplicate number would let Add find another BOM's row by number; the
-- unique index also makes the second of two clients adding one number wait
-- for the first and then fail.
CREATE TABLE IF NOT EXISTS COM_BOM (
    FBOMID         serial PRIMARY KEY,
    FBOMNumber     citext NOT NULL UNIQUE,
    FBOMName       citext DEFAULT '',
    FBOMGroupID    integer DEFAULT 0,
    FItemID        integer DEFAULT 0,
    FAuxPropID     integer DEFAULT 0,
    FMeasureUnitID integer DEFAULT 0,
    FStatus        integer DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Item ON COM_BOM (FItemID, FStatus);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Group ON COM_BOM (FBOMGroupID);
ALTER TABLE COM_BOM CLUSTER ON COM_BOM_pkey;
CREATE OR REPLACE TRIGGER COM_BOM_KeyAhead BEFORE INSERT ON COM_BOM
    FOR EACH ROW EXECUTE FUNCTION host_keep_key_ahead('fbomid');

-- Lines are keyed by their BOM and entry number; the key's index also hands
-- a BOM's lines back in entry order.
CREATE TABLE IF NOT EXISTS COM_BOM_Child (
    FBOMEntryID     integer DEFAULT 0,
    FBOMID          integer DEFAULT 0,
    FReplaceClassID integer DEFAULT 0,
    FItemID         integer DEFAULT 0,
    FAuxPropID      integer DEFAULT 0,
    FMeasureUnitID  integer DEFAULT 0,
    FQty            double precision DEFAULT 0,
    FScrap          double precision DEFAULT 0,
    FRemark         citext DEFAULT ''
);
CREATE UNIQUE INDEX IF NOT EXISTS IX_COM_BOM_Child_Entry ON COM_BOM_Child (FBOMID, FBOMEntryID);
-- Where an item is used: its own lines (both columns, so that a plain
-- child line is never looked for among every line of class 0), and the
-- lines of its substitute class.
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Child_Item ON COM_BOM_Child (FItemID, FReplaceClassID);
CREATE INDEX IF NOT EXISTS IX_COM_BOM_Child_Class ON COM_BOM_Child (FReplaceClassID);
ALTER TABLE COM_BOM_Child CLUSTER ON IX_COM_BOM_Child_Entry;

CREATE TABLE IF NOT EXISTS COM_BOM_Note (
    FBOMNoteID      integer DEFAULT 0,
    FBOMEntryID     integer DEFAULT 0,
    FBOMID          integer DEFAULT 0,
    FReplaceClassID integer DEFAULT 0,
    FItemID         integer DEFAULT 0,
    FAuxPropID      integer DEFAULT 0,
    FMeasureUnitID  integer DEFAULT 0,
    FQty            double precision DEFAULT 0,
    FScrap          double precision DEFAULT 0,
    FRemark         citext DEFAULT ''
);
CREATE UNIQUE INDEX IF NOT EXISTS IX_COM_BOM_Note_Entry ON COM_BOM_Note (FBOMNoteID, FBOMEntryID);
ALTER TABLE COM_BOM_Note CLUSTER ON IX_COM_BOM_Note_Entry;

-- The last completion id handed out, one row. A save takes the next id by
-- updating the row inside its transaction: a second client waits on the row
-- until the first commits, so two clients never get one id, and an id saved
-- without rows is not handed out again.
CREATE TABLE IF NOT EXISTS COM_BOM_NoteSeq (
    FSeqID      integer PRIMARY KEY,
    FLastNoteID integer NOT NULL DEFAULT 0
);
INSERT INTO COM_BOM_NoteSeq (FSeqID, FLastNoteID) VALUES (1, 0) ON CONFLICT DO NOTHING;

-- Items and auxiliary properties alike; FItemClassID says which class a row
-- belongs to (4 for items, an auxiliary class id for a property).
CREATE TABLE IF NOT EXISTS t_Item (
    FItemID      integer PRIMARY KEY,
    FNumber      citext DEFAULT '',
    FName        citext DEFAULT '',
    FDetail      integer DEFAULT 1,
    FShortNumber citext DEFAULT '',
    FItemClassID integer DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_t_Item_Number ON t_Item (FNumber);
CREATE INDEX IF NOT EXISTS IX_t_Item_ShortNumber ON t_Item (FShortNumber);
CREATE INDEX IF NOT EXISTS IX_t_Item_Name ON t_Item (FName);
CREATE INDEX IF NOT EXISTS IX_t_Item_Class ON t_Item (FItemClassID, FNumber);
ALTER TABLE t_Item CLUSTER ON t_Item_pkey;

-- The business side of an item, one row per t_Item item row.
CREATE TABLE IF NOT EXISTS COM_Item (
    FItemID         integer PRIMARY KEY,
    FModel          citext DEFAULT '',
    FAuxClassID     integer DEFAULT 0,
    FUnitGroupID    integer DEFAULT 0,
    FBaseUnitID     integer DEFAULT 0,
    FQtyScale       integer DEFAULT 0,
    FReplaceClassID integer DEFAULT 0,
    FIsBOM          integer DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_Item_ReplaceClass ON COM_Item (FReplaceClassID);
ALTER TABLE COM_Item CLUSTER ON COM_Item_pkey;

CREATE TABLE IF NOT EXISTS t_UnitGroup (
    FUnitGroupID integer PRIMARY KEY,
    FNumber      citext DEFAULT '',
    FName        citext DEFAULT ''
);
ALTER TABLE t_UnitGroup CLUSTER ON t_UnitGroup_pkey;

-- A unit's FItemID is the id items name it by (COM_Item.FBaseUnitID).
CREATE TABLE IF NOT EXISTS t_MeasureUnit (
    FMeasureUnitID integer PRIMARY KEY,
    FItemID        integer DEFAULT 0,
    FNumber        citext DEFAULT '',
    FName          citext DEFAULT '',
    FUnitGroupID   integer DEFAULT 0,
    FCoefficient   double precision DEFAULT 1
);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Item ON t_MeasureUnit (FItemID);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Group ON t_MeasureUnit (FUnitGroupID, FNumber);
CREATE INDEX IF NOT EXISTS IX_t_MeasureUnit_Number ON t_MeasureUnit (FNumber);
ALTER TABLE t_MeasureUnit CLUSTER ON t_MeasureUnit_pkey;

-- System types of many kinds; substitute classes are FClassID 480.
CREATE TABLE IF NOT EXISTS COM_SysType (
    FSysTypeID integer PRIMARY KEY,
    FNumber    citext DEFAULT '',
    FName      citext DEFAULT '',
    FClassID   integer DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_SysType_Number ON COM_SysType (FNumber);
CREATE INDEX IF NOT EXISTS IX_COM_SysType_Class ON COM_SysType (FClassID, FNumber);
ALTER TABLE COM_SysType CLUSTER ON COM_SysType_pkey;

-- Settings as text, one row per category and key; a key may repeat and the
-- first row wins, so there is no unique key.
CREATE TABLE IF NOT EXISTS t_SystemProfile (
    FCategory citext DEFAULT '',
    FKey      citext DEFAULT '',
    FValue    text
);
CREATE INDEX IF NOT EXISTS IX_t_SystemProfile_Key ON t_SystemProfile (FCategory, FKey);

-- Stock, for sp_COM_BOM_Stock: warehouses, the stock each item held when an
-- accounting period began (in the item's base unit), and dated movements
-- since (receipts positive, issues negative) in any unit of the item's unit
-- group. The keys lead with the item, so a BOM's stock is found by its items
-- and dates and the movement table is never read whole.
CREATE TABLE IF NOT EXISTS COM_Stock (
    FStockID integer PRIMARY KEY,
    FNumber  citext DEFAULT '',
    FName    citext DEFAULT ''
);
ALTER TABLE COM_Stock CLUSTER ON COM_Stock_pkey;

CREATE TABLE IF NOT EXISTS COM_StockBalance (
    FItemID    integer NOT NULL,
    FYear      integer NOT NULL,
    FPeriod    integer NOT NULL,
    FAuxPropID integer NOT NULL DEFAULT 0,
    FStockID   integer NOT NULL,
    FQty       double precision DEFAULT 0,
    PRIMARY KEY (FItemID, FYear, FPeriod, FAuxPropID, FStockID)
);
ALTER TABLE COM_StockBalance CLUSTER ON COM_StockBalance_pkey;

CREATE TABLE IF NOT EXISTS COM_StockMove (
    FMoveID        serial PRIMARY KEY,
    FDate          timestamp NOT NULL,
    FItemID        integer NOT NULL,
    FAuxPropID     integer NOT NULL DEFAULT 0,
    FStockID       integer NOT NULL,
    FMeasureUnitID integer NOT NULL,
    FQty           double precision DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_COM_StockMove_Item ON COM_StockMove (FItemID, FDate);
ALTER TABLE COM_StockMove CLUSTER ON COM_StockMove_pkey;

-- Users and their rights, read by the host's security component.
CREATE TABLE IF NOT EXISTS t_User (
    FUserID integer PRIMARY KEY,
    FName   citext UNIQUE
);
ALTER TABLE t_User CLUSTER ON t_User_pkey;

CREATE TABLE IF NOT EXISTS t_UserRight (
    FUserID    integer DEFAULT 0,
    FSubjectID integer DEFAULT 0,
    FOperation integer DEFAULT 0,
    FFlags     integer DEFAULT 0
);
CREATE INDEX IF NOT EXISTS IX_t_UserRight_User ON t_UserRight (FUserID, FSubjectID, FOperation);

-- The accounting calendar: the host's stored procedures sp_GetPeriodStartDate
-- and sp_GetPeriodEndDate, as functions with an OUT argument. The calendar is
-- t_SystemProfile's GL settings: calendar months when PeriodByMonth is
-- missing or "1", else PeriodCount periods starting on the MMDD groups of
-- PeriodDates. A period the calendar does not have gives NULL.
CREATE OR REPLACE FUNCTION host_gl_setting(p_key text) RETURNS text
LANGUAGE sql STABLE
AS $$ SELECT FValue FROM t_SystemProfile WHERE FCategory = 'GL' AND FKey = p_key::citext LIMIT 1 $$;

CREATE OR REPLACE FUNCTION host_period_count() RETURNS integer
LANGUAGE plpgsql STABLE
AS $$
DECLARE
    count_text text := btrim(host_gl_setting('PeriodCount'));
BEGIN
    IF count_text ~ '^[+-]?[0-9]{1,9}$' THEN
        RETURN count_text::integer;
    END IF;
    RETURN 12;
END
$$;

CREATE OR REPLACE FUNCTION host_period_by_month() RETURNS boolean
LANGUAGE sql STABLE
AS $$ SELECT coalesce(btrim(host_gl_setting('PeriodByMonth')) = '1', true) $$;

CREATE OR REPLACE FUNCTION host_period_start(p_year integer, p_period integer) RETURNS date
LANGUAGE plpgsql STABLE
AS $$
DECLARE
    raw text;
    dates text := '010102010301040105010601070108010901100111011201';
    n integer;
    first_md integer := 0;
    md integer := 0;
BEGIN
    IF p_year IS NULL OR p_period IS NULL OR p_year < 1753 OR p_year > 9998 THEN
        RETURN NULL;
    END IF;
    IF host_period_by_month() THEN
        IF p_period < 1 OR p_period > 12 THEN
            RETURN NULL;
        END IF;
        RETURN make_date(p_year, p_period, 1);
    END IF;
    n := host_period_count();
    raw := host_gl_setting('PeriodDates');
    IF raw IS NOT NULL AND btrim(raw) <> '' AND raw <> '*' THEN
        dates := btrim(raw);
    END IF;
    IF p_period < 1 OR p_period > n OR length(dates) < 4 * n THEN
        RETURN NULL;
    END IF;
    IF substr(dates, 1, 4) ~ '^[0-9]{4}$' THEN
        first_md := substr(dates, 1, 4)::integer;
    END IF;
    IF substr(dates, 4 * p_period - 3, 4) ~ '^[0-9]{4}$' THEN
        md := substr(dates, 4 * p_period - 3, 4)::integer;
    END IF;
    -- A fiscal year that starts in April has its January periods in the next
    -- calendar year.
    RETURN make_date(CASE WHEN md < first_md THEN p_year + 1 ELSE p_year END, md / 100, md % 100);
EXCEPTION WHEN datetime_field_overflow OR invalid_datetime_format THEN
    RETURN NULL;
END
$$;

CREATE OR REPLACE FUNCTION host_period_end(p_year integer, p_period integer) RETURNS date
LANGUAGE plpgsql STABLE
AS $$
DECLARE
    start_date date := host_period_start(p_year, p_period);
    next_date date;
BEGIN
    IF start_date IS NULL THEN
        RETURN NULL;
    END IF;
    IF host_period_by_month() THEN
        RETURN (start_date + interval '1 month')::date - 1;
    END IF;
    IF p_period < host_period_count() THEN
        next_date := host_period_start(p_year, p_period + 1);
    ELSE
        next_date := host_period_start(p_year + 1, 1);
    END IF;
    IF next_date IS NULL OR next_date <= start_date THEN
        RETURN NULL;
    END IF;
    RETURN next_date - 1;
END
$$;

CREATE OR REPLACE FUNCTION sp_GetPeriodStartDate(pYear smallint, pPeriod smallint, OUT pStartDate date)
LANGUAGE plpgsql STABLE
AS $$
BEGIN
    pStartDate := host_period_start(pYear, pPeriod);
END
$$;

CREATE OR REPLACE FUNCTION sp_GetPeriodEndDate(pYear smallint, pPeriod smallint, OUT pEndDate date)
LANGUAGE plpgsql STABLE
AS $$
BEGIN
    pEndDate := host_period_end(pYear, pPeriod);
END
$$;

-- The BOM stock report's rows: one per child item (every item of a
-- substitute class) and warehouse, in the BOM's entry order, the items of a
-- class by number, warehouses by number. Stock is the period's opening
-- balance plus the movements from the start date to the note date, in the
-- item's base unit; a child without stock has one row with stock 0 and no
-- warehouse. Column 10 is the child's quantity per unit as stored, column 15
-- the item's quantity decimals. Each item's movements are read through the
-- (FItemID, FDate) index, one item at a time (the aggregate keeps the
-- lateral subquery from being flattened into a join that scans the table).
CREATE OR REPLACE FUNCTION sp_COM_BOM_Stock(pYear smallint, pPeriod smallint, pBomID integer,
                                            pStartDate timestamp, pNoteDate timestamp)
RETURNS TABLE (FReplaceClassName text, FReplaceClassID integer, FItemNumber text, FItemID integer,
               FItemName text, FModel text, FAuxProp text, FAuxPropID integer, FMeasureUnit text,
               FMeasureUnitID integer, FQty double precision, FKitQty double precision,
               FStockQty double precision, FStockName text, FStockID integer, FQtyScale integer)
LANGUAGE plpgsql STABLE
AS $$
#variable_conflict use_column
BEGIN
    RETURN QUERY
    WITH lines AS (
        SELECT b.FBOMEntryID, b.FReplaceClassID, b.FAuxPropID, b.FQty,
               CASE WHEN b.FReplaceClassID > 0 THEN coalesce(i.FItemID, 0) ELSE b.FItemID END AS FItemID
        FROM COM_BOM_Child b
        LEFT JOIN COM_Item i ON b.FReplaceClassID > 0 AND i.FReplaceClassID = b.FReplaceClassID
        WHERE b.FBOMID = pBomID
    ), items AS (
        SELECT DISTINCT l.FItemID, coalesce(bu.FCoefficient, 1) AS FBaseCoef
        FROM lines l
        LEFT JOIN COM_Item ci ON ci.FItemID = l.FItemID
        LEFT JOIN t_MeasureUnit bu ON bu.FItemID = ci.FBaseUnitID
        WHERE l.FItemID > 0
    ), stock AS (
        SELECT x.FItemID, x.FAuxPropID, x.FStockID, sum(x.FQty) AS FQty
        FROM (
            SELECT sb.FItemID, sb.FAuxPropID, sb.FStockID, sb.FQty
            FROM items i
            JOIN COM_StockBalance sb ON sb.FItemID = i.FItemID AND sb.FYear = pYear AND sb.FPeriod = pPeriod
            UNION ALL
            SELECT i.FItemID, mv.FAuxPropID, mv.FStockID, mv.FQty / nullif(i.FBaseCoef, 0)
            FROM items i
            CROSS JOIN LATERAL (
                SELECT m.FAuxPropID, m.FStockID, sum(m.FQty * mu.FCoefficient) AS FQty
                FROM COM_StockMove m
                JOIN t_MeasureUnit mu ON mu.FMeasureUnitID = m.FMeasureUnitID
                WHERE m.FItemID = i.FItemID AND m.FDate >= pStartDate AND m.FDate <= pNoteDate
                GROUP BY m.FAuxPropID, m.FStockID
            ) mv
        ) x
        GROUP BY x.FItemID, x.FAuxPropID, x.FStockID
    )
    SELECT coalesce(rc.FName, '')::text, l.FReplaceClassID, coalesce(it.FNumber, '')::text, l.FItemID,
           coalesce(it.FName, '')::text, coalesce(ci.FModel, '')::text, coalesce(ap.FName, '')::text,
           l.FAuxPropID, coalesce(u.FName, '')::text, coalesce(u.FMeasureUnitID, 0), l.FQty,
           0::double precision, coalesce(s.FQty, 0), coalesce(w.FName, '')::text, coalesce(s.FStockID, 0),
           coalesce(ci.FQtyScale, 0)
    FROM lines l
    LEFT JOIN t_Item it ON it.FItemID = l.FItemID AND l.FItemID > 0
    LEFT JOIN COM_Item ci ON ci.FItemID = l.FItemID
    LEFT JOIN t_MeasureUnit u ON u.FItemID = ci.FBaseUnitID
    LEFT JOIN COM_SysType rc ON rc.FSysTypeID = l.FReplaceClassID AND l.FReplaceClassID > 0
    LEFT JOIN t_Item ap ON ap.FItemID = l.FAuxPropID AND l.FAuxPropID > 0
    LEFT JOIN stock s ON s.FItemID = l.FItemID AND s.FAuxPropID = l.FAuxPropID
    LEFT JOIN COM_Stock w ON w.FStockID = s.FStockID
    ORDER BY l.FBOMEntryID, coalesce(it.FNumber, ''), coalesce(w.FNumber, ''), coalesce(s.FStockID, 0);
END
$$;
