#include "base/windows_path.h"

#include <algorithm>

namespace selvane {
namespace {

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsValidComponent(std::string_view c) {
  return std::none_of(c.begin(), c.end(), [](char ch) {
    return static_cast<unsigned char>(ch) < 0x20 || ch == '<' || ch == '>' || ch == ':' ||
           ch == '"' || ch == '|' || ch == '?' || ch == '*';
  });
}

bool Match(std::string_view name, std::string_view mask) {
  // Greedy matching with one backtrack point, as for '*' patterns in general.
  size_t n = 0, m = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || FoldCase(mask[m]) == FoldCase(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

std::optional<DrivePath> SplitDrivePath(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  const char letter = FoldCase(path[0]);
  if (letter < 'A' || letter > 'Z') return std::nullopt;
  if (path.size() > 2 && !IsSeparator(path[2])) return std::nullopt;  // "C:foo" is drive-relative
  DrivePath out;
  out.drive = letter;
  size_t i = 2;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    size_t j = i;
    while (j < path.size() && !IsSeparator(path[j])) ++j;
    const std::string_view c = path.substr(i, j - i);
    i = j;
    if (c.empty() || c == ".") continue;
    if (c == "..") {
      if (!out.components.empty()) out.components.pop_back();
      continue;
    }
    if (!IsValidComponent(c)) return std::nullopt;
    out.components.emplace_back(c);
  }
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool MatchesWildcard(std::string_view name, std::string_view mask) {
  if (mask == "*.*" || mask == "*") return true;
  if (Match(name, mask)) return true;
  const bool has_dot = name.find('.') != std::string_view::npos;
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && !has_dot)
    return Match(name, mask.substr(0, mask.size() - 2));
  if (!mask.empty() && mask.back() == '.' && !has_dot)
    return Match(name, mask.substr(0, mask.size() - 1));
  return false;
}

}  // namespace selvane
