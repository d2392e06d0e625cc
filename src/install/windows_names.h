#pragma once
// Windows file names as the installer handles them: taking the name part of a
// path, comparing paths, and refusing names that would leave the folder being
// written or that Windows cannot hold.

#include <stdexcept>
#include <string>
#include <string_view>

namespace selvane {

// A server-supplied name that is not a plain file name.
class EInvalidFileName : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text after the last backslash or colon (the whole text when it has neither).
std::string_view FileNamePart(std::string_view path);

// The name part of a path the server sent, checked to be a plain file name:
// not empty, not "." or "..", no "/" or other character Windows forbids, no
// trailing dot or blank, no reserved device name (CON, NUL, COM1, ... with or
// without extension). Throws EInvalidFileName naming the server's text.
std::string PlainFileNameFromServer(std::string_view server_path);

}  // namespace selvane
