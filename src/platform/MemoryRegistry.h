#pragma once

#include <map>
#include <string>
#include <vector>

#include "Registry.h"

namespace sorvane::platform {

// A small registry held in memory, for systems that have none. Its owner puts the values
// in before handing it out; through the Registry interface it can only be read, so opening
// a key with any write right is refused as on a key the user may only read.
// Key paths and value names compare without regard to ASCII case, as Windows does.
class MemoryRegistry : public Registry {
 public:
  // Adds a value below HKEY_LOCAL_MACHINE, creating its key and the keys above it.
  void addValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                std::vector<unsigned char> data);
  // A string value as the registry stores it, with its terminating NUL.
  void addString(const std::string& keyPath, const std::string& name, const std::string& text);

  long openKey(RegKey root, const char* subKey, std::uint32_t options, std::uint32_t access,
               RegKey& opened) override;
  long queryValue(RegKey key, const char* valueName, std::uint32_t& type, unsigned char* data,
                  std::uint32_t& size) override;
  long closeKey(RegKey key) override;

 private:
  struct Value {
    std::uint32_t type;
    std::vector<unsigned char> data;
  };
  using Values = std::map<std::string, Value>;

  std::map<std::string, Values> keys_{{std::string(), Values()}};
  std::map<RegKey, std::string> open_;
  RegKey nextHandle_ = 0x100;
};

}  // namespace sorvane::platform
