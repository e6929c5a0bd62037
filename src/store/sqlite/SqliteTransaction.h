#pragma once

namespace sorvane::store {

class SqliteConnection;

// A transaction, rolled back unless committed.
class SqliteTransaction {
 public:
  enum class Behaviour {
    // Takes no lock until the first read or write: for reading a consistent view.
    Deferred,
    // Takes the write lock at once, so a file another program is writing fails before
    // anything changes.
    Immediate,
  };

  // Throws StoreError (Locked when another program holds the file).
  SqliteTransaction(SqliteConnection& connection, Behaviour behaviour);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;

  // Throws StoreError; the transaction is then rolled back by the destructor.
  void commit();

 private:
  SqliteConnection& connection_;
  bool open_ = false;
};

}  // namespace sorvane::store
