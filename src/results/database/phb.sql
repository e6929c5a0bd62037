-- The results database phjz.mdb: one table, phb, with its four fields in this order.
-- Dates are kept as ISO text (yyyy-MM-dd) so that they sort and read back the same
-- everywhere; the identifier holds at most 12 characters; the counts and means are numbers.
CREATE TABLE phb (
  日期 TEXT CHECK (日期 IS NULL OR (typeof(日期) = 'text' AND date(日期) IS 日期)),
  标识符 TEXT CHECK (标识符 IS NULL OR length(标识符) <= 12),
  样本数 REAL CHECK (样本数 IS NULL OR typeof(样本数) = 'real'),
  pH均值 REAL CHECK (pH均值 IS NULL OR typeof(pH均值) = 'real')
);
