// The registry value reader over a fake registry that answers as the input says (open or
// not, any status, type, data and claimed size, or an exception) and counts the keys it
// opens and closes. The text read must be the value cut and converted as the reader
// promises, and every key opened must be closed once, whatever the answer.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "GetKeyValue.h"

namespace {

using sorvane::platform::Registry;
using sorvane::platform::RegKey;

constexpr const char* kKeyName = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kValueName = "PATH";
constexpr std::uint32_t kBufferSize = 1024;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

class CountingRegistry final : public Registry {
 public:
  bool opens = true;
  bool throws = false;
  long status = kSuccess;
  std::uint32_t type = kTypeString;
  std::uint32_t claimedSize = 0;
  std::vector<unsigned char> data;

  int opened = 0;
  int closed = 0;
  int queries = 0;

  long openKey(RegKey root, const char* subKey, std::uint32_t options, std::uint32_t access,
               RegKey& key) override {
    if (root != kLocalMachine || std::strcmp(subKey, kKeyName) != 0 || options != 0)
      fail("opened another key");
    if (access != kKeyRead) fail("asked for more than reading");
    if (!opens) return kAccessDenied;
    key = kHandle;
    ++opened;
    return kSuccess;
  }

  long queryValue(RegKey key, const char* valueName, std::uint32_t& typeOut, unsigned char* buffer,
                  std::uint32_t& size) override {
    if (key != kHandle || opened != 1 || closed != 0) fail("queried a key that is not open");
    if (std::strcmp(valueName, kValueName) != 0) fail("queried another value");
    if (size != kBufferSize) fail("offered another buffer size");
    ++queries;
    if (throws) throw std::runtime_error("registry failure");
    // Writes no more than the buffer holds; the size it claims may be anything.
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), size), buffer);
    typeOut = type;
    size = claimedSize;
    return status;
  }

  long closeKey(RegKey key) override {
    if (key != kHandle || opened != 1) fail("closed a key that was never opened");
    ++closed;
    return kSuccess;
  }

 private:
  static constexpr RegKey kHandle = 0x4711;
};

// The Windows rule for %NAME%, worked on the pieces between the % signs: piece i (i >= 1)
// follows the i-th %; a defined name between two % is replaced, and the piece after its
// closing % is plain text; otherwise the % stays and its closing % may open the next one.
std::string expanded(const std::string& text) {
  std::vector<std::string> pieces{{}};
  for (char c : text) {
    if (c == '%')
      pieces.emplace_back();
    else
      pieces.back() += c;
  }
  const std::size_t last = pieces.size() - 1;
  std::string out = pieces[0];
  for (std::size_t i = 1; i <= last;) {
    const char* value = i < last && !pieces[i].empty() ? std::getenv(pieces[i].c_str()) : nullptr;
    if (value) {
      out += value;
      if (i + 1 <= last) out += pieces[i + 1];
      i += 2;
    } else {
      out += '%' + pieces[i];
      i += 1;
    }
  }
  return out;
}

// What the reader must give, independently of how it gets there: no value when it must fail.
std::optional<std::string> expected(const CountingRegistry& r) {
  if (!r.opens || r.status != Registry::kSuccess || r.claimedSize > kBufferSize)
    return std::nullopt;
  std::vector<unsigned char> buffer(kBufferSize, 0);  // what was never written reads as NUL
  std::copy_n(r.data.begin(), std::min<std::size_t>(r.data.size(), kBufferSize), buffer.begin());
  std::string kept(buffer.begin(), buffer.begin() + r.claimedSize);
  switch (r.type) {
    case Registry::kTypeString:
    case Registry::kTypeExpandString:
      if (!kept.empty() && kept.back() == '\0') kept.pop_back();
      return r.type == Registry::kTypeString ? kept : expanded(kept);
    case Registry::kTypeDword: {
      if (r.claimedSize != 4) return std::nullopt;
      std::uint32_t number = 0;
      for (int k = 3; k >= 0; --k) number = number * 256 + buffer[std::size_t(k)];
      return std::to_string(number);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SORVANE_FUZZ", "C:\\Program Files\\Tools", 1);
  setenv("SORVANE_EMPTY", "", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CountingRegistry registry;
  const std::uint8_t answer = in.ConsumeIntegral<std::uint8_t>();
  registry.opens = (answer & 0x0F) != 0;
  registry.throws = answer == 0xFF;
  registry.status = (answer & 0x30) == 0x30 ? Registry::kMoreData : Registry::kSuccess;
  const std::uint32_t types[] = {Registry::kTypeString,      Registry::kTypeExpandString,
                                 Registry::kTypeDword,       Registry::kTypeBinary,
                                 Registry::kTypeMultiString, in.ConsumeIntegral<std::uint32_t>()};
  registry.type = types[in.ConsumeIntegralInRange<std::size_t>(0, std::size(types) - 1)];
  registry.claimedSize = in.ConsumeBool() ? in.ConsumeIntegral<std::uint32_t>()
                                          : in.ConsumeIntegralInRange<std::uint32_t>(0, 1100);
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  registry.data.assign(bytes.begin(), bytes.end());

  std::string text = "left over";
  bool read = false;
  bool thrown = false;
  try {
    read =
        sorvane::about::GetKeyValue(registry, Registry::kLocalMachine, kKeyName, kValueName, text);
  } catch (const std::runtime_error&) {
    thrown = true;
  }

  if (registry.closed != registry.opened) fail("a key opened was not closed once");
  if (thrown) {
    if (!registry.throws) fail("threw by itself");
    return 0;
  }
  if (registry.throws && registry.opens) fail("swallowed the registry's exception");
  const std::optional<std::string> want = registry.throws ? std::nullopt : expected(registry);
  if (read != want.has_value()) fail(read ? "read a value it must refuse" : "refused a value");
  if (text != want.value_or(std::string())) fail("the text read is not the value's");
  return 0;
}
