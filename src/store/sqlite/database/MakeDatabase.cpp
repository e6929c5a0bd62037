// Build tool: makes the empty results database from its schema.
//   make_database <schema.sql> <output file>
// The output is written beside its final name and renamed into place, so a half-made file
// is never left where the build copies it from.

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <schema.sql> <output>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream schema;
  schema << in.rdbuf();

  const std::string output = argv[2];
  const std::string partial = output + ".partial";
  std::remove(partial.c_str());
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(partial.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  char* error = nullptr;
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, ("BEGIN;" + schema.str() + ";COMMIT;").c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", partial.c_str(), error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    std::remove(partial.c_str());
    return 1;
  }
  sqlite3_close(db);
  if (std::rename(partial.c_str(), output.c_str()) != 0) {
    std::perror(output.c_str());
    return 1;
  }
  return 0;
}
