-- The results database phjz.mdb: one table, phb, with its four fields in this order.
-- Dates are kept as ISO text (yyyy-MM-dd), which sorts and reads back the same everywhere;
-- "+0 days" makes SQLite roll an impossible day such as 02-30 over, so that it fails the
-- comparison. The identifier holds at most 12 characters; counts and means are numbers.
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
-- phb_last_id holds one number, the highest row id phb has ever held; the trigger raises it
-- after every insert. Sorvane inserts with the id above it. A row another tool inserts at or
-- below it (SQLite's own numbering after the last record was deleted, or an explicit id) is
-- moved above it at once, so every tool's new rows get ids no record ever had. Files made
-- before this table existed lack it; they are used as they are and never altered.
CREATE TABLE phb_last_id (id INTEGER NOT NULL);
INSERT INTO phb_last_id (id) VALUES (0);
CREATE TRIGGER phb_fresh_id AFTER INSERT ON phb
BEGIN
  UPDATE phb SET rowid = (SELECT max(max(id), (SELECT max(rowid) FROM phb)) + 1 FROM phb_last_id)
    WHERE rowid = NEW.rowid AND NEW.rowid <= (SELECT max(id) FROM phb_last_id);
  UPDATE phb_last_id SET id = (SELECT max(rowid) FROM phb)
    WHERE id < (SELECT max(rowid) FROM phb);
END;
