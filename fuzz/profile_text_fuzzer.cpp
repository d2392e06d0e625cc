// Arbitrary profile files (selvane.ini may hold anything a user typed): reading
// and writing must not crash, a written plain value must read back, and
// writing it a second time must change nothing.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/profile_text.h"

namespace {

bool PlainName(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

bool PlainValue(std::string_view v) {
  for (const char c : v)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  if (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t' ||
                     v.back() == '\v' || v.back() == '\f' || v.front() == '\v' || v.front() == '\f'))
    return false;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t ls = data[0] % 12, lk = data[1] % 12, lv = data[2] % 24;
  std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  if (rest.size() < ls + lk + lv) return 0;
  const std::string_view section = rest.substr(0, ls);
  const std::string_view key = rest.substr(ls, lk);
  const std::string_view value = rest.substr(ls + lk, lv);
  const std::string_view text = rest.substr(ls + lk + lv);

  (void)selvane::ReadProfileValue(text, section, key);
  const std::string once = selvane::WriteProfileValue(text, section, key, value);
  if (PlainName(section) && PlainName(key) && PlainValue(value)) {
    const auto back = selvane::ReadProfileValue(once, section, key);
    if (!back || *back != value) std::abort();
    if (selvane::WriteProfileValue(once, section, key, value) != once) std::abort();
  }
  return 0;
}
