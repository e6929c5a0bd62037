#include "MemoryRegistry.h"

#include <algorithm>
#include <cstring>

namespace sorvane::platform {

namespace {

std::string folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

constexpr std::uint32_t kAllowedAccess = Registry::kKeyRead | 0x0100 | 0x0200;  // + WOW64 views

}  // namespace

void MemoryRegistry::addValue(const std::string& keyPath, const std::string& name,
                              std::uint32_t type, std::vector<unsigned char> data) {
  const std::string path = folded(keyPath);
  for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
    keys_[path.substr(0, at)];
  keys_[path][folded(name)] = Value{type, std::move(data)};
}

void MemoryRegistry::addString(const std::string& keyPath, const std::string& name,
                               const std::string& text) {
  std::vector<unsigned char> data(text.begin(), text.end());
  data.push_back(0);
  addValue(keyPath, name, kTypeString, std::move(data));
}

long MemoryRegistry::openKey(RegKey root, const char* subKey, std::uint32_t /*options*/,
                             std::uint32_t access, RegKey& opened) {
  opened = 0;
  std::string base;
  if (root != kLocalMachine) {
    const auto parent = open_.find(root);
    if (parent == open_.end()) return kInvalidHandle;
    base = parent->second;
  }
  if ((access & ~kAllowedAccess) != 0) return kAccessDenied;
  std::string path = folded(subKey ? subKey : "");
  if (!base.empty() && !path.empty()) path = base + '\\' + path;
  if (path.empty()) path = base;
  if (keys_.find(path) == keys_.end()) return kFileNotFound;
  opened = nextHandle_++;
  open_[opened] = path;
  return kSuccess;
}

long MemoryRegistry::queryValue(RegKey key, const char* valueName, std::uint32_t& type,
                                unsigned char* data, std::uint32_t& size) {
  const auto handle = open_.find(key);
  if (handle == open_.end()) return kInvalidHandle;
  const Values& values = keys_.at(handle->second);
  const auto value = values.find(folded(valueName ? valueName : ""));
  if (value == values.end()) return kFileNotFound;
  type = value->second.type;
  const auto needed = static_cast<std::uint32_t>(value->second.data.size());
  const std::uint32_t room = size;
  size = needed;
  if (needed > room) return kMoreData;
  if (needed > 0) std::memcpy(data, value->second.data.data(), needed);
  return kSuccess;
}

long MemoryRegistry::closeKey(RegKey key) { return open_.erase(key) ? kSuccess : kInvalidHandle; }

}  // namespace sorvane::platform
