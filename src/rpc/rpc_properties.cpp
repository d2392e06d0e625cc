#include "rpc/rpc_properties.h"

#include <algorithm>
#include <charconv>

namespace selvane {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

std::optional<std::string> TRpcProperties::Find(std::string_view name) const {
  for (const auto& [n, v] : entries_) {
    if (SameName(n, name)) return v;
  }
  return std::nullopt;
}

std::string TRpcProperties::Get(std::string_view name, std::string_view fallback) const {
  auto v = Find(name);
  return v ? *v : std::string(fallback);
}

int64_t TRpcProperties::GetInteger(std::string_view name, int64_t fallback) const {
  auto v = Find(name);
  if (!v) return fallback;
  std::string_view s = *v;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int64_t out = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return fallback;
  return out;
}

void TRpcProperties::Set(std::string_view name, std::string_view value) {
  for (auto& [n, v] : entries_) {
    if (SameName(n, name)) {
      v = value;
      return;
    }
  }
  entries_.emplace_back(name, value);
}

void TRpcProperties::Remove(std::string_view name) {
  std::erase_if(entries_, [&](const Entry& e) { return SameName(e.first, name); });
}

}  // namespace selvane
