// GetKeyValue over the real Windows registry, cross-compiled without Qt or a test framework
// and run under Wine by run-under-wine.sh, on the same cases as the native test. Prints
// each failing case; exit code 0 when every case holds.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../RegistryCases.h"
#include "about/GetKeyValue.h"
#include "platform/Win32Registry.h"

namespace cases = sorvane::about::registrycases;
using sorvane::platform::Registry;

int main() {
  _putenv((std::string(cases::kVariable) + '=' + cases::kVariableValue).c_str());
  int failures = 0;
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, cases::kKey);
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, cases::kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  for (const cases::Case& c : cases::cases()) {
    if (!c.type) continue;
    // RegSetValueExA counts a NUL that follows string data, so a byte that is not one follows.
    const std::string buffer = c.data + 'X';
    if (RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(buffer.data()),
                       static_cast<DWORD>(c.data.size())) != ERROR_SUCCESS) {
      std::printf("FAIL: writing %s\n", c.name);
      ++failures;
    }
  }
  RegCloseKey(key);

  sorvane::platform::Win32Registry registry;
  for (const cases::Case& c : cases::cases()) {
    std::string got = "left over";
    const bool read = sorvane::about::GetKeyValue(
        registry, Registry::kLocalMachine, c.name ? cases::kKey : "SOFTWARE\\Sorvane No Such Key",
        c.name ? c.name : "PATH", got);
    if (read != c.reads || got != c.text) {
      std::printf("FAIL: %s: read %s, text \"%s\"\n", c.name ? c.name : "missing key",
                  read ? "true" : "false", got.substr(0, 60).c_str());
      ++failures;
    }
  }
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, cases::kKey);
  std::printf("%d case(s), %d failure(s)\n", static_cast<int>(cases::cases().size()), failures);
  return failures == 0 ? 0 : 1;
}
