#pragma once
// Pure helpers for Windows path texts: splitting a drive path into its
// components, comparing names, and wildcard matching as FindFirstFile does.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace selvane {

struct DrivePath {
  char drive = 0;                       // upper-case letter
  std::vector<std::string> components;  // "." dropped, ".." applied, never above the root
};

// "C:\a\b\", "c:/a/b" -> {'C', {"a", "b"}}; nullopt for relative, UNC and
// device paths and for components that hold characters Windows forbids in names.
std::optional<DrivePath> SplitDrivePath(std::string_view path);

// Case-insensitive (ASCII letters) comparison, as the file system compares names.
bool EqualsNoCase(std::string_view a, std::string_view b);

// FindFirstFile's wildcards: '*' any run, '?' one character, letters compared
// without case. "*.*" matches every name, a mask ending in ".*" also matches
// the name without extension, and one ending in "." matches names without one.
bool MatchesWildcard(std::string_view name, std::string_view mask);

}  // namespace selvane
