// Arbitrary path texts and masks: splitting never yields an empty, "." or ".."
// component nor one with a character Windows forbids, so a mapped path cannot
// climb above its root; a name matches itself and every name matches "*".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/windows_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto split = selvane::SplitDrivePath(text)) {
    if (split->drive < 'A' || split->drive > 'Z') std::abort();
    for (const auto& c : split->components) {
      if (c.empty() || c == "." || c == ".." ||
          c.find_first_of("\\/:*?\"<>|") != std::string::npos)
        std::abort();
    }
  }
  const size_t cut = text.find('\n');
  const std::string_view name = text.substr(0, cut);
  const std::string_view mask = cut == std::string_view::npos ? "" : text.substr(cut + 1);
  (void)selvane::MatchesWildcard(name, mask);
  if (!selvane::MatchesWildcard(name, "*")) std::abort();
  if (name.find_first_of("*?") == std::string_view::npos && !selvane::MatchesWildcard(name, name))
    std::abort();
  return 0;
}
