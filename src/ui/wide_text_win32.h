#pragma once
// The program's UTF-8 texts as the wide strings of the Windows API.

#include <string>

#include "base/text.h"

namespace selvane::ui {

inline std::wstring Wide(const std::string& utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

inline std::string Narrow(const std::wstring& wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace selvane::ui
