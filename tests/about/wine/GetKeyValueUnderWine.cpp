// GetKeyValue over the real Windows registry, cross-compiled without Qt or a test framework
// and run under Wine by run-under-wine.sh. Exit code 0 when every case holds.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

#include "about/GetKeyValue.h"
#include "platform/Win32Registry.h"

using sorvane::platform::Registry;

namespace {

constexpr char kKey[] = "SOFTWARE\\Sorvane Registry Test";
int failures = 0;

void check(bool holds, const std::string& what) {
  if (!holds) std::printf("FAIL: %s\n", what.c_str());
  failures += !holds;
}

}  // namespace

int main() {
  _putenv("SORVANE_T=C:\\T");
  const std::string path = "C:\\Program Files\\msinfo32.exe", fits(1023, 'f');
  // Value name, type (0: not written), data, bytes stored, whether it reads, the text read.
  // RegSetValueExA counts a NUL that follows string data, so a value stored without its NUL
  // is followed by another byte.
  const std::tuple<const char*, DWORD, std::string, DWORD, bool, std::string> cases[] = {
      {"WithNul", REG_SZ, path + '\0', 30, true, path},
      {"WithoutNul", REG_SZ, path + 'X', 29, true, path},
      {"Fits1024", REG_SZ, fits + '\0', 1024, true, fits},
      {"TooLong1025", REG_SZ, fits + "g" + '\0', 1025, false, ""},
      {"Absent", 0, "", 0, false, ""},
      {"Empty", REG_SZ, "X", 0, true, ""},
      {"Small", REG_DWORD, {"\x02\x01\0\0", 4}, 4, true, "258"},
      {"Wide", REG_DWORD, {"\0\0\x01\0", 4}, 4, true, "65536"},
      {"Max", REG_DWORD, "\xff\xff\xff\xff", 4, true, "4294967295"},
      {"Expand", REG_EXPAND_SZ, {"%SORVANE_T%\\m.exe\0", 18}, 18, true, "C:\\T\\m.exe"},
      {"Binary", REG_BINARY, "abc", 3, false, ""},
      {nullptr, 0, "", 0, false, ""},  // a missing key
  };
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (const auto& [name, type, data, stored, read, text] : cases)
    if (type)
      check(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           stored) == ERROR_SUCCESS,
            std::string("writing ") + name);
  RegCloseKey(key);

  sorvane::platform::Win32Registry registry;
  for (const auto& [name, type, data, stored, read, text] : cases) {
    std::string got = "left over";
    const bool result = sorvane::about::GetKeyValue(registry, Registry::kLocalMachine,
                                                    name ? kKey : "SOFTWARE\\Sorvane No Such Key",
                                                    name ? name : "PATH", got);
    check(result == read && got == text, std::string(name ? name : "missing key") + ": read " +
                                             (result ? "true" : "false") + ", text \"" +
                                             got.substr(0, 60) + "\"");
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  std::printf("%d case(s), %d failure(s)\n", static_cast<int>(std::size(cases)), failures);
  return failures == 0 ? 0 : 1;
}
