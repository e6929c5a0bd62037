#include "GetKeyValue.h"

#include <array>
#include <cstdlib>

namespace sorvane::about {

using platform::Registry;

namespace {

// The key is closed however the read ends, also when the registry throws.
class OpenKey {
 public:
  OpenKey(Registry& registry, platform::RegKey key) : registry_(registry), key_(key) {}
  ~OpenKey() { registry_.closeKey(key_); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

 private:
  Registry& registry_;
  platform::RegKey key_;
};

constexpr std::uint32_t kBufferSize = 1024;

bool readValue(Registry& registry, platform::RegKey key, const std::string& subKeyRef,
               std::string& keyVal) {
  std::array<unsigned char, kBufferSize> buffer{};
  std::uint32_t size = kBufferSize;
  std::uint32_t type = 0;
  if (registry.queryValue(key, subKeyRef.c_str(), type, buffer.data(), size) != Registry::kSuccess)
    return false;
  if (size > kBufferSize) return false;  // a registry claiming more than it could write

  switch (type) {
    case Registry::kTypeString:
    case Registry::kTypeExpandString: {
      std::string text(reinterpret_cast<const char*>(buffer.data()), size);
      if (!text.empty() && text.back() == '\0') text.pop_back();
      keyVal = type == Registry::kTypeExpandString ? expandEnvironmentReferences(text) : text;
      return true;
    }
    case Registry::kTypeDword: {
      if (size != 4) return false;
      const std::uint32_t number = std::uint32_t{buffer[0]} | std::uint32_t{buffer[1]} << 8 |
                                   std::uint32_t{buffer[2]} << 16 | std::uint32_t{buffer[3]} << 24;
      keyVal = std::to_string(number);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool GetKeyValue(Registry& registry, platform::RegKey keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal) {
  keyVal.clear();
  platform::RegKey key = 0;
  // Read access is all the lookup needs, so a user who may only read the key gets through.
  if (registry.openKey(keyRoot, keyName.c_str(), 0, Registry::kKeyRead, key) != Registry::kSuccess)
    return false;
  const OpenKey closer(registry, key);
  return readValue(registry, key, subKeyRef, keyVal);
}

std::string expandEnvironmentReferences(const std::string& text) {
  std::string expanded;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('%', at);
    if (open == std::string::npos) break;
    expanded.append(text, at, open - at);
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      at = open;
      break;
    }
    const std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      expanded += value;
      at = close + 1;
    } else {
      // Left as written, like Windows; the closing % may open the next reference.
      expanded.append(text, open, close - open);
      at = close;
    }
  }
  expanded.append(text, at, std::string::npos);
  return expanded;
}

}  // namespace sorvane::about
