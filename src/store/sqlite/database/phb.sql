-- The results database phjz.mdb: one table, phb, with its four fields in this order.
-- Dates are kept as ISO text (yyyy-MM-dd), which sorts and reads back the same everywhere;
-- "+0 days" makes SQLite roll an impossible day such as 02-30 over, so that it fails the
-- comparison. The identifier holds at most 12 characters; counts and means are numbers.
--
-- The file's format is numbered: 1 is phb alone, 2 adds phb_last_id and its triggers, 3 adds
-- phb_history. A new file carries its number here; files of formats 1 and 2 were made before
-- the number was kept, hold 0, and are told by their tables.
PRAGMA user_version = 3;
CREATE TABLE phb (
  日期 TEXT CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期, '+0 days') IS 日期)),
  标识符 TEXT CHECK (标识符 IS NULL OR length(标识符) <= 12),
  样本数 REAL CHECK (样本数 IS NULL OR typeof(样本数) = 'real'),
  pH均值 REAL CHECK (pH均值 IS NULL OR typeof(pH均值) = 'real')
);

-- Row ids are never handed out twice. A record is known by its row id, and phb has no key
-- field, so SQLite alone would number a new row one above the highest row left: the id of
-- a deleted last record would go to the next new one, and a program still showing the
-- deleted record would change or delete the new one in its place.
--
-- phb_last_id holds one number: no id above it and above every row left was ever held. An id
-- leaves phb by a delete, or by a row moved to another id, and the mark rises to it then,
-- so inserting costs nothing extra. Sorvane inserts with the id above both the mark and
-- every row left. A row another tool inserts at or below the mark (SQLite's own numbering
-- after the last record was deleted, or an explicit id) is moved above both at once, so
-- every tool's new rows get ids no record ever had. Files made before this table existed
-- lack it; they are used as they are and never altered.
CREATE TABLE phb_last_id (id INTEGER NOT NULL);
INSERT INTO phb_last_id (id) VALUES (0);
CREATE TRIGGER phb_id_freed AFTER DELETE ON phb
WHEN OLD.rowid > (SELECT id FROM phb_last_id)
BEGIN
  UPDATE phb_last_id SET id = OLD.rowid;
END;
CREATE TRIGGER phb_id_moved AFTER UPDATE ON phb
WHEN OLD.rowid <> NEW.rowid AND OLD.rowid > (SELECT id FROM phb_last_id)
BEGIN
  UPDATE phb_last_id SET id = OLD.rowid;
END;
CREATE TRIGGER phb_fresh_id AFTER INSERT ON phb
WHEN NEW.rowid <= (SELECT id FROM phb_last_id)
BEGIN
  UPDATE phb SET rowid = (SELECT max(id, (SELECT max(rowid) FROM phb)) + 1 FROM phb_last_id)
    WHERE rowid = NEW.rowid;
END;

-- history begins
-- The change history of phb: one row for every record added, changed, deleted or converted
-- from an old Jet file, written in the same transaction as the change. "before_" holds the
-- record as it was (none for an addition), "after_" as it became (none for a deletion), with
-- the same types as phb. changed_at is local time with its UTC offset (ISO 8601), changed_by
-- the operating system's login name. Rows are never changed or removed: the triggers refuse
-- it, also to other programs that open this file. The program adds this block, from "history
-- begins" to "history ends", to a format 1 or 2 file, which lacks it.
CREATE TABLE phb_history (
  id INTEGER PRIMARY KEY,
  record_id INTEGER NOT NULL,
  action TEXT NOT NULL CHECK (action IN ('added', 'changed', 'deleted', 'converted')),
  changed_at TEXT NOT NULL,
  changed_by TEXT NOT NULL,
  before_日期 TEXT,
  before_标识符 TEXT,
  before_样本数 REAL,
  before_pH均值 REAL,
  after_日期 TEXT,
  after_标识符 TEXT,
  after_样本数 REAL,
  after_pH均值 REAL
);
CREATE INDEX phb_history_by_record ON phb_history (record_id, id);
CREATE TRIGGER phb_history_no_update BEFORE UPDATE ON phb_history
BEGIN
  SELECT RAISE(ABORT, 'phb_history 只能追加：历史记录不能修改');
END;
CREATE TRIGGER phb_history_no_delete BEFORE DELETE ON phb_history
BEGIN
  SELECT RAISE(ABORT, 'phb_history 只能追加：历史记录不能删除');
END;
-- INSERT OR REPLACE would remove the old row without a DELETE trigger firing.
CREATE TRIGGER phb_history_no_replace BEFORE INSERT ON phb_history
WHEN EXISTS (SELECT 1 FROM phb_history WHERE id = NEW.id)
BEGIN
  SELECT RAISE(ABORT, 'phb_history 只能追加：历史记录不能替换');
END;
-- history ends
