#pragma once
// Windows-1252, the single-byte code page of Western European Windows
// installations (Portuguese included): what the native Env uses as the ANSI
// code page, so that record-set strings read and write the bytes a Windows
// client would.

#include <string>
#include <string_view>

#include "base/code_page.h"

namespace selvane {

// Characters the code page lacks become '?' (no best-fit approximations);
// invalid UTF-8 becomes '?' too.
std::string Utf8ToWindows1252(std::string_view utf8);
// Every byte maps to one character; the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same number, as Windows does, so the round trip keeps every byte.
std::string Windows1252ToUtf8(std::string_view bytes);

// The two conversions above as a code page.
class Windows1252CodePage : public CodePage {
 public:
  std::string ToAnsi(std::string_view utf8) override { return Utf8ToWindows1252(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return Windows1252ToUtf8(ansi); }
};

}  // namespace selvane
