#pragma once

#include <QStringList>
#include <stdexcept>
#include <vector>

#include "platform/FileAttributes.h"
#include "platform/MemoryRegistry.h"
#include "platform/ProgramStart.h"

namespace sorvane::fakes {

// Records the access asked for at each open and how many keys are still open; with
// failQueries every query throws, as an untrapped error inside the registry would.
class FakeRegistry final : public platform::MemoryRegistry {
 public:
  long openKey(platform::RegKey root, const char* subKey, std::uint32_t options,
               std::uint32_t access, platform::RegKey& opened) override {
    openAccess.push_back(access);
    const long status = MemoryRegistry::openKey(root, subKey, options, access, opened);
    openKeys += status == kSuccess;
    return status;
  }
  long queryValue(platform::RegKey key, const char* valueName, std::uint32_t& type,
                  unsigned char* data, std::uint32_t& size) override {
    if (failQueries) throw std::runtime_error("registry failure");
    return MemoryRegistry::queryValue(key, valueName, type, data, size);
  }
  long closeKey(platform::RegKey key) override {
    const long status = MemoryRegistry::closeKey(key);
    openKeys -= status == kSuccess;
    return status;
  }
  std::vector<std::uint32_t> openAccess;
  int openKeys = 0;
  bool failQueries = false;
};

// Ordinary files are the paths listed in `files`; every path asked about is recorded.
class FakeFileAttributes final : public platform::FileAttributes {
 public:
  bool isNormalFile(const QString& path) override {
    asked.append(path);
    return files.contains(path);
  }
  QStringList files, asked;
};

// Records each program it starts; `starts` says whether starting succeeds.
class FakeProgramStart final : public platform::ProgramStart {
 public:
  bool start(const QString& program) override {
    if (starts) started.append(program);
    return starts;
  }
  bool starts = true;
  QStringList started;
};

}  // namespace sorvane::fakes
