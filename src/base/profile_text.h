#pragma once
// The text of a profile (INI) file read and changed the way
// GetPrivateProfileString and WritePrivateProfileString do it: section and key
// names compared without case and trimmed, values trimmed and stripped of one
// pair of enclosing quotes, the first matching section and key winning, and
// every line not changed kept byte for byte.

#include <optional>
#include <string>
#include <string_view>

namespace selvane {

// nullopt when the section or the key is absent.
std::optional<std::string> ReadProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

// The text with the key set to value; a missing key is added at the end of its
// section, a missing section at the end of the text. New lines end in CR LF.
std::string WriteProfileValue(std::string_view text, std::string_view section,
                              std::string_view key, std::string_view value);

// GetPrivateProfileString hands the default back without its trailing blanks.
std::string TrimTrailingBlanks(std::string_view text);

}  // namespace selvane
