#pragma once
// <windows.h> for Windows-only sources that also use Env: the Unicode macros
// of the API (CopyFile -> CopyFileW, GetProfileString, ...) would otherwise
// rename Env's methods. Include this instead of <windows.h> and call the W
// functions by their full names.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/text.h"

#undef AddFontResource
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef GetProfileString
#undef WriteProfileString

namespace selvane {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

inline std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace selvane
