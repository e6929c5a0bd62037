#include "store/postgres/ServerSession.h"

#include <utility>

#include "store/StoreFailures.h"

namespace sorvane::store {

namespace {

// The format of the server's objects this program knows (sorvane-server.sql).
constexpr int kKnownFormat = 1;

// Asked of the catalog, which every login may read: a login without the schema's USAGE
// can't look names up in it.
constexpr const char* kInstalled =
    "SELECT count(*) = 2 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n"
    " ON n.oid = c.relnamespace WHERE n.nspname = 'sorvane'"
    " AND c.relname IN ('phb', 'schema_version')";
// Column-level grants (a technician's INSERT and UPDATE name the four fields) are invisible
// to has_table_privilege, so each field is asked about. The table goes by its oid: looking
// its name up would itself need the schema's USAGE.
constexpr const char* kRights =
    "WITH phb AS (SELECT c.oid FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n"
    "  ON n.oid = c.relnamespace WHERE n.nspname = 'sorvane' AND c.relname = 'phb')"
    " SELECT has_schema_privilege('sorvane', 'USAGE') AND has_table_privilege(oid, 'SELECT'),"
    " has_table_privilege(oid, 'DELETE') AND (SELECT bool_and("
    "   has_column_privilege(oid, field, privilege)) FROM"
    "   unnest(ARRAY['日期', '标识符', '样本数', 'ph均值']) AS field,"
    "   unnest(ARRAY['INSERT', 'UPDATE']) AS privilege) FROM phb";

}  // namespace

ServerSession::ServerSession(QString conninfo, PasswordPrompt askPassword)
    : conninfo_(std::move(conninfo)), askPassword_(std::move(askPassword)) {
  connect();
}

void ServerSession::connect() {
  auto connection = std::make_unique<PgConnection>(conninfo_, askPassword_);
  server_ = connection->server();
  login_ = connection->login();
  if (!connection->exec(kInstalled).value(0, 0).toBool())
    throw failures::serverNotInstalled(server_);
  const PgResult rights = connection->exec(kRights);
  if (!rights.value(0, 0).toBool()) throw failures::noAccess(login_, server_);
  writable_ = rights.value(0, 1).toBool();
  const PgResult format = connection->exec("SELECT version FROM sorvane.schema_version");
  const int version = format.rows() == 1 ? format.value(0, 0).toInt() : 0;
  if (version != kKnownFormat) throw failures::unknownServerFormat(server_, version);
  connection_ = std::move(connection);
}

PgConnection& ServerSession::connection() {
  if (!connection_) connect();
  return *connection_;
}

}  // namespace sorvane::store
