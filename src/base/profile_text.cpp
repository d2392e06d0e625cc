#include "base/profile_text.h"

#include <vector>

#include "base/windows_path.h"

namespace selvane {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

struct Line {
  size_t begin = 0;  // offset of the line in the text
  size_t end = 0;    // offset just past its content, before the line break
  size_t next = 0;   // offset of the following line
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    Line l;
    l.begin = pos;
    l.next = nl == std::string_view::npos ? text.size() : nl + 1;
    l.end = nl == std::string_view::npos ? text.size() : nl;
    if (l.end > l.begin && text[l.end - 1] == '\r') --l.end;
    lines.push_back(l);
    pos = l.next;
  }
  return lines;
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// A "key=value" line; comments and lines without '=' hold no key.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == ';') return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

struct Location {
  std::optional<size_t> section;  // index of the header line
  size_t section_last = 0;        // last non-empty line of the section (or its header)
  std::optional<size_t> key;      // index of the key line
};

Location Find(std::string_view text, const std::vector<Line>& lines, std::string_view section,
              std::string_view key) {
  Location loc;
  section = Trim(section);
  key = Trim(key);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
    if (const auto name = SectionName(line)) {
      if (loc.section) break;  // the first matching section is the one used
      if (EqualsNoCase(*name, section)) {
        loc.section = i;
        loc.section_last = i;
      }
      continue;
    }
    if (!loc.section) continue;
    if (!Trim(line).empty()) loc.section_last = i;
    const auto kl = ParseKeyLine(line);
    if (kl && !loc.key && EqualsNoCase(kl->key, key)) loc.key = i;
  }
  return loc;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::optional<std::string> ReadProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  const auto lines = SplitLines(text);
  const Location loc = Find(text, lines, section, key);
  if (!loc.key) return std::nullopt;
  const Line& l = lines[*loc.key];
  return std::string(Unquote(ParseKeyLine(text.substr(l.begin, l.end - l.begin))->value));
}

std::string WriteProfileValue(std::string_view text, std::string_view section,
                              std::string_view key, std::string_view value) {
  const auto lines = SplitLines(text);
  const Location loc = Find(text, lines, section, key);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (loc.key) {
    // Keep the key's own spelling; only the value changes.
    const Line& l = lines[*loc.key];
    const auto kl = ParseKeyLine(text.substr(l.begin, l.end - l.begin));
    out.append(text.substr(0, l.begin));
    out.append(kl->key).append("=").append(value);
    out.append(text.substr(l.end));
    return out;
  }
  const std::string entry = std::string(Trim(key)) + "=" + std::string(value) + "\r\n";
  if (loc.section) {
    const Line& last = lines[loc.section_last];
    out.append(text.substr(0, last.next));
    if (last.next == text.size() && text.back() != '\n') out.append("\r\n");  // no final line break
    out.append(entry);
    out.append(text.substr(last.next));
    return out;
  }
  out.append(text);
  if (!out.empty() && out.back() != '\n') out.append("\r\n");
  if (!Trim(text).empty()) out.append("\r\n");
  out.append("[").append(Trim(section)).append("]\r\n").append(entry);
  return out;
}

std::string TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

}  // namespace selvane
