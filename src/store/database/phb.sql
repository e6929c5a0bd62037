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
