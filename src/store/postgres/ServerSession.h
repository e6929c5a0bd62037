#pragma once

// One session with the results server: a connection checked for Sorvane's objects, their
// format and the login's rights, made again when it was lost.

#include <QString>
#include <memory>

#include "store/ResultsSource.h"
#include "store/postgres/PgConnection.h"

namespace sorvane::store {

class ServerSession {
 public:
  // Connects and checks; throws StoreError (Unreachable, TableMissing, NotADatabase for a
  // format it doesn't know, NoAccess).
  ServerSession(QString conninfo, PasswordPrompt askPassword);

  // The connection, made again first when the last one was lost. Throws StoreError.
  PgConnection& connection();
  // Forgets a lost connection; the next connection() makes a new one.
  void drop() { connection_.reset(); }
  bool isConnected() const { return connection_ != nullptr; }

  // Runs a read, with one quiet reconnect and a retry when the connection was lost:
  // reads are safe to repeat.
  template <typename Read>
  auto read(Read&& read) {
    try {
      return read(connection());
    } catch (const PgError& error) {
      if (!error.lost()) throw;
      drop();
      return read(connection());
    }
  }

  // May write: it can add, change and delete records. Decided from the login's rights when
  // connecting, never by trying a write.
  bool writable() const { return writable_; }
  const QString& login() const { return login_; }
  const QString& server() const { return server_; }

 private:
  QString conninfo_;
  PasswordPrompt askPassword_;
  std::unique_ptr<PgConnection> connection_;
  bool writable_ = false;
  QString login_;
  QString server_;
  void connect();
};

}  // namespace sorvane::store
