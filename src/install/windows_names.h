#pragma once
// Windows file names as the installer handles them: taking the name part of a
// path, and judging a name the server sent the way Windows itself will treat
// it: trailing blanks and dots dropped, then refused only when it would leave
// the folder being written or reach a device.

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

// The name as Windows creates it: trailing blanks and dots dropped.
std::string_view WindowsNormalName(std::string_view name);

// True when Windows opens a device for this name in any folder: CON, PRN, AUX,
// NUL, COM0-COM9, LPT0-LPT9, COM and LPT with a superscript digit (¹ ² ³),
// CONIN$, CONOUT$ and CLOCK$, with any letter case, with or without an
// extension, with blanks before the extension or trailing blanks and dots.
bool IsDeviceName(std::string_view name);

// The name part of a path the server sent, normalised as Windows does
// (WindowsNormalName) and checked to name a file inside the folder: not empty,
// not "." or "..", no "/" or other character Windows forbids in a name, no
// device. Throws EInvalidFileName naming the server's text.
std::string PlainFileNameFromServer(std::string_view server_path);

}  // namespace selvane
