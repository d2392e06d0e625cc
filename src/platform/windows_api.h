#pragma once
// <windows.h> for Windows-only sources that also use Env: the Unicode macros
// of the API (CopyFile -> CopyFileW, GetProfileString, ...) would otherwise
// rename Env's methods; env.h drops them. Call the W functions by their full
// names.

#include <windows.h>
// (after <windows.h>: env.h drops the macros that clash with its methods)
#include "platform/env.h"

#include <string>
#include <string_view>

#include "base/text.h"

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
