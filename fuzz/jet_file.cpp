// The reader of old Access (Jet) files over any bytes, written to a file as a lab's damaged
// copy would be: the header's classification, every record of table phb and, for a file
// whose records all read, its conversion into a new file, which must hold as many records as
// were read. A refusal through the reader's or the store's own errors is an answer; a crash,
// a sanitizer report, a hang, memory past the limit, or anything printed (libmdb prints on
// input it cannot parse) fails.
//
// Seeds: small Jet 3 and Jet 4 files from the tests' writer, and the first 24 pages of the
// shared Access 2000 fixture functionsV2000.mdb (Apache-2.0, see the fixtures' README),
// whose catalog has property blobs.
//
// Run with -close_fd_mask=3: libFuzzer and the sanitizers then report on a copy of the
// standard error, while the target's own standard output and error go to a file that must
// stay empty.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jet/JetConversion.h"
#include "jet/JetPhbReader.h"
#include "store/StoreError.h"

namespace {

using namespace sorvane;

std::string folder;
int captured = -1;  // where the standard output and error go
int report = -1;    // the standard error as it was

void writeInput(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

// Records the reader gives, or -1 when it refuses the file.
long long readAll(const QString& path) {
  try {
    jet::JetPhbReader reader(path);
    long long count = 0;
    for (store::PhbRecord record; reader.next(record);) ++count;
    return count;
  } catch (const jet::JetReadError&) {
    return -1;
  }
}

void run(const uint8_t* data, size_t size) {
  const std::string input = folder + "/old.mdb", output = folder + "/new.mdb";
  writeInput(input, data, size);
  const QString path = QFile::decodeName(input.c_str());
  try {
    jet::classifyJetFile(path);
  } catch (const jet::JetReadError&) {
  }
  const long long records = readAll(path);
  if (records < 0) return;
  try {
    const jet::Conversion done = jet::convertJetFile(path, QFile::decodeName(output.c_str()));
    if (done.records != records) {
      ::dprintf(report, "read %lld records, converted %lld\n", records, done.records);
      std::abort();
    }
  } catch (const store::StoreError&) {
  }
  ::unlink(output.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // tmpfs, so that the conversion's syncs cost nothing.
  char name[] = "/dev/shm/fuzz-jet-XXXXXX";
  if (!::mkdtemp(name)) std::abort();
  folder = name;
  std::atexit([] {
    ::unlink((folder + "/old.mdb").c_str());
    ::rmdir(folder.c_str());
  });
  captured = ::memfd_create("printed", 0);
  report = ::dup(2);
  if (captured < 0 || report < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (::ftruncate(captured, 0) != 0 || ::lseek(captured, 0, SEEK_SET) != 0 ||
      ::dup2(captured, 1) < 0 || ::dup2(captured, 2) < 0)
    std::abort();
  run(data, size);
  std::fflush(stdout);
  std::fflush(stderr);
  struct stat printed {};
  if (::fstat(captured, &printed) == 0 && printed.st_size > 0) {
    char text[512];
    const ssize_t n = ::pread(captured, text, sizeof text - 1, 0);
    text[n > 0 ? n : 0] = '\0';
    ::dprintf(report, "printed %lld bytes while reading the file:\n%s\n",
              static_cast<long long>(printed.st_size), text);
    std::abort();
  }
  return 0;
}
