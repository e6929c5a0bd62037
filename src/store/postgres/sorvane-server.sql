-- Sorvane's results on a PostgreSQL server (15 or later). The administrator runs this once,
-- as a superuser, in an existing UTF8 database:
--
--     psql -d DATABASE -f sorvane-server.sql
--
-- It makes schema sorvane with the results (phb), their change history (phb_history) and
-- the format number Sorvane checks (schema_version), and the three roles a lab member's
-- login is granted one of. Run again on an installed database it says so and changes
-- nothing; it never drops or alters a stored row. Everything is done in one transaction.
\set ON_ERROR_STOP on
\set QUIET on

SELECT to_regclass('sorvane.schema_version') IS NOT NULL AS installed \gset
\if :installed
SELECT version AS installed_version FROM sorvane.schema_version \gset
\echo 'sorvane-server.sql: 数据库中已经有 Sorvane 的结果表（格式' :installed_version '），没有作任何改动。'
\quit
\endif

BEGIN;

-- A text outside UTF8 could not hold every identifier a bench can type.
DO $$
BEGIN
  IF pg_encoding_to_char((SELECT encoding FROM pg_database WHERE datname = current_database()))
     <> 'UTF8' THEN
    RAISE EXCEPTION 'sorvane-server.sql: 数据库“%”的编码不是 UTF8，没有作任何改动。',
      current_database();
  END IF;
END $$;

-- Roles belong to the whole server, so a second database on it finds them there already.
-- None can log in: a lab member's own login is granted one of them.
DO $$
DECLARE
  role text;
BEGIN
  FOREACH role IN ARRAY ARRAY['sorvane_owner', 'sorvane_technician', 'sorvane_auditor'] LOOP
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = role) THEN
      EXECUTE format('CREATE ROLE %I NOLOGIN', role);
    END IF;
  END LOOP;
END $$;

-- A schema of that name that is not Sorvane's makes this fail here, before anything else.
CREATE SCHEMA sorvane AUTHORIZATION sorvane_owner;
REVOKE ALL ON SCHEMA sorvane FROM PUBLIC;

-- The results. An id is never handed out twice, and no client chooses one. The checks
-- refuse what the results file refuses: a year outside 0100-9999, an identifier over 12
-- characters (text, not varchar(12), which would cut trailing blanks to fit), a number
-- that is not finite.
CREATE TABLE sorvane.phb (
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  日期 date CHECK (日期 BETWEEN '0100-01-01' AND '9999-12-31'),
  标识符 text CHECK (char_length(标识符) <= 12),
  样本数 double precision CHECK (样本数 NOT IN ('NaN', 'Infinity', '-Infinity')),
  pH均值 double precision CHECK (pH均值 NOT IN ('NaN', 'Infinity', '-Infinity'))
);

-- The change history, as the results file keeps it: one row for every record added, changed
-- or deleted, written by the trigger below in the transaction of the change, so no client
-- can leave it out. changed_by is the database login, changed_at the time of the change.
CREATE TABLE sorvane.phb_history (
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  record_id bigint NOT NULL,
  action text NOT NULL CHECK (action IN ('added', 'changed', 'deleted', 'converted')),
  changed_at timestamptz NOT NULL,
  changed_by text NOT NULL,
  before_日期 date,
  before_标识符 text,
  before_样本数 double precision,
  before_pH均值 double precision,
  after_日期 date,
  after_标识符 text,
  after_样本数 double precision,
  after_pH均值 double precision
);
CREATE INDEX phb_history_by_record ON sorvane.phb_history (record_id, id);

-- Runs as the owner, so a technician's change writes its row without the technician being
-- able to write the history; the fixed search_path keeps a user's objects out of it.
CREATE FUNCTION sorvane.phb_log() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF TG_OP = 'INSERT' THEN
    INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by,
        after_日期, after_标识符, after_样本数, after_pH均值)
      VALUES (NEW.id, 'added', now(), session_user,
        NEW.日期, NEW.标识符, NEW.样本数, NEW.pH均值);
  ELSIF TG_OP = 'UPDATE' THEN
    -- A save that leaves all four values as they were changed nothing.
    IF (OLD.日期, OLD.标识符, OLD.样本数, OLD.pH均值)
       IS NOT DISTINCT FROM (NEW.日期, NEW.标识符, NEW.样本数, NEW.pH均值) THEN
      RETURN NULL;
    END IF;
    INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by,
        before_日期, before_标识符, before_样本数, before_pH均值,
        after_日期, after_标识符, after_样本数, after_pH均值)
      VALUES (NEW.id, 'changed', now(), session_user,
        OLD.日期, OLD.标识符, OLD.样本数, OLD.pH均值,
        NEW.日期, NEW.标识符, NEW.样本数, NEW.pH均值);
  ELSE
    INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by,
        before_日期, before_标识符, before_样本数, before_pH均值)
      VALUES (OLD.id, 'deleted', now(), session_user,
        OLD.日期, OLD.标识符, OLD.样本数, OLD.pH均值);
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER phb_history_log AFTER INSERT OR UPDATE OR DELETE ON sorvane.phb
  FOR EACH ROW EXECUTE FUNCTION sorvane.phb_log();

CREATE FUNCTION sorvane.phb_history_refuse() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  RAISE EXCEPTION 'phb_history 只能追加：历史记录不能修改或删除';
END $$;
CREATE TRIGGER phb_history_no_change BEFORE UPDATE OR DELETE ON sorvane.phb_history
  FOR EACH ROW EXECUTE FUNCTION sorvane.phb_history_refuse();
CREATE TRIGGER phb_history_no_truncate BEFORE TRUNCATE ON sorvane.phb_history
  FOR EACH STATEMENT EXECUTE FUNCTION sorvane.phb_history_refuse();

-- The format of these objects; Sorvane refuses a number it does not know.
CREATE TABLE sorvane.schema_version (
  version integer NOT NULL,
  only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row)
);
INSERT INTO sorvane.schema_version (version) VALUES (1);

ALTER TABLE sorvane.phb OWNER TO sorvane_owner;
ALTER TABLE sorvane.phb_history OWNER TO sorvane_owner;
ALTER TABLE sorvane.schema_version OWNER TO sorvane_owner;
ALTER FUNCTION sorvane.phb_log() OWNER TO sorvane_owner;
ALTER FUNCTION sorvane.phb_history_refuse() OWNER TO sorvane_owner;
REVOKE ALL ON FUNCTION sorvane.phb_log(), sorvane.phb_history_refuse() FROM PUBLIC;

-- Technicians write the four values only: the id is the table's to give, and the history
-- is the trigger's to write. Auditors read.
GRANT USAGE ON SCHEMA sorvane TO sorvane_technician, sorvane_auditor;
GRANT SELECT ON sorvane.phb, sorvane.phb_history, sorvane.schema_version
  TO sorvane_technician, sorvane_auditor;
GRANT INSERT (日期, 标识符, 样本数, pH均值), UPDATE (日期, 标识符, 样本数, pH均值)
  ON sorvane.phb TO sorvane_technician;
GRANT DELETE ON sorvane.phb TO sorvane_technician;

COMMIT;
\echo 'sorvane-server.sql: Sorvane 的结果表已安装（格式 1）。'
