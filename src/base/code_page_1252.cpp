#include "base/code_page_1252.h"

#include <array>

#include "base/text.h"

namespace selvane {
namespace {

// Characters of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ByteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    // A surrogate pair is one character beyond the code page: one '?'.
    if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF)
      ++i;
    out += ByteOf(wide[i]);
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::u16string wide;
  wide.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    wide += (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
  }
  return Utf16ToUtf8(wide);
}

}  // namespace selvane
