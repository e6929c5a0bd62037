// GetKeyValue over the real Windows registry: built with the MinGW cross compiler and run
// under Wine by run-under-wine.sh. No Qt and no test framework, so it builds on its own.
// Exit code 0 when every case holds.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "about/GetKeyValue.h"
#include "platform/Win32Registry.h"

using sorvane::about::GetKeyValue;
using sorvane::platform::Registry;
using sorvane::platform::RegKey;
using sorvane::platform::Win32Registry;

namespace {

constexpr char kKey[] = "SOFTWARE\\Sorvane Registry Test";

// The real registry, counting keys left open and recording the access asked for.
class CountingRegistry final : public Registry {
 public:
  long openKey(RegKey root, const char* subKey, std::uint32_t options, std::uint32_t access,
               RegKey& opened) override {
    lastAccess = access;
    const long status = real_.openKey(root, subKey, options, access, opened);
    if (status == kSuccess) ++openKeys;
    return status;
  }
  long queryValue(RegKey key, const char* valueName, std::uint32_t& type, unsigned char* data,
                  std::uint32_t& size) override {
    return real_.queryValue(key, valueName, type, data, size);
  }
  long closeKey(RegKey key) override {
    const long status = real_.closeKey(key);
    if (status == kSuccess) --openKeys;
    return status;
  }

  std::uint32_t lastAccess = 0;
  int openKeys = 0;

 private:
  Win32Registry real_;
};

int failures = 0;

void check(bool holds, const std::string& what) {
  if (!holds) {
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

// RegSetValueExA counts a NUL that follows string data, so `stored` says exactly how many
// bytes of `data` the registry keeps; a byte after them that is not NUL keeps it honest.
void setValue(HKEY key, const char* name, DWORD type, const std::string& data, DWORD stored) {
  const LONG status =
      RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), stored);
  check(status == ERROR_SUCCESS, std::string("writing ") + name);
}

std::string dword(std::uint32_t n) {
  return {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
          static_cast<char>(n >> 24)};
}

void writeTestValues() {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    check(false, "creating the test key");
    return;
  }
  const std::string path = "C:\\Program Files\\msinfo32.exe";
  setValue(key, "WithNul", REG_SZ, path + '\0', static_cast<DWORD>(path.size() + 1));
  setValue(key, "WithoutNul", REG_SZ, path + 'X', static_cast<DWORD>(path.size()));
  setValue(key, "Fits", REG_SZ, std::string(1023, 'f') + '\0', 1024);
  setValue(key, "TooLong", REG_SZ, std::string(1024, 'g') + '\0', 1025);
  setValue(key, "Empty", REG_SZ, "X", 0);
  setValue(key, "Small", REG_DWORD, dword(258), 4);
  setValue(key, "Wide", REG_DWORD, dword(65536), 4);
  setValue(key, "Max", REG_DWORD, dword(4294967295u), 4);
  const std::string expandable = "%SORVANE_TOOLS%\\msinfo32.exe";
  setValue(key, "Expand", REG_EXPAND_SZ, expandable + '\0',
           static_cast<DWORD>(expandable.size() + 1));
  setValue(key, "Binary", REG_BINARY, "abc", 3);
  RegCloseKey(key);
}

struct Case {
  const char* what;
  const char* key;
  const char* value;
  bool read;
  std::string text;
};

}  // namespace

int main() {
  check(reinterpret_cast<HKEY>(Registry::kLocalMachine) == HKEY_LOCAL_MACHINE,
        "the root key handle");
  _putenv("SORVANE_TOOLS=C:\\Tools");
  writeTestValues();

  const Case cases[] = {
      {"string with its NUL", kKey, "WithNul", true, "C:\\Program Files\\msinfo32.exe"},
      {"string without its NUL", kKey, "WithoutNul", true, "C:\\Program Files\\msinfo32.exe"},
      {"1024 bytes with the NUL", kKey, "Fits", true, std::string(1023, 'f')},
      {"1025 bytes", kKey, "TooLong", false, ""},
      {"missing key", "SOFTWARE\\Sorvane No Such Key", "PATH", false, ""},
      {"missing value", kKey, "Absent", false, ""},
      {"no data at all", kKey, "Empty", true, ""},
      {"number with a low byte", kKey, "Small", true, "258"},
      {"number ending in zero bytes", kKey, "Wide", true, "65536"},
      {"largest number", kKey, "Max", true, "4294967295"},
      {"expandable string", kKey, "Expand", true, "C:\\Tools\\msinfo32.exe"},
      {"binary", kKey, "Binary", false, ""},
  };
  CountingRegistry registry;
  for (const Case& c : cases) {
    std::string text = "left over";
    const bool read = GetKeyValue(registry, Registry::kLocalMachine, c.key, c.value, text);
    check(read == c.read && text == c.text, std::string(c.what) + ": read " +
                                                (read ? "true" : "false") + ", text \"" +
                                                text.substr(0, 60) + "\"");
    check(registry.lastAccess == KEY_READ, std::string(c.what) + ": opened for reading only");
    check(registry.openKeys == 0, std::string(c.what) + ": key left open");
  }

  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  std::printf("%d case(s), %d failure(s)\n", static_cast<int>(std::size(cases)), failures);
  return failures == 0 ? 0 : 1;
}
