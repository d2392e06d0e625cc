#pragma once
// UTF-8 <-> UTF-16 conversions. The program keeps its texts in UTF-8; the wire
// format and the Windows API speak UTF-16 code units.

#include <string>
#include <string_view>

namespace selvane {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace selvane
