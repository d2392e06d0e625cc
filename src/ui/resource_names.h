#pragma once
// Names of the window's pictures in the program's RCDATA resources
// (ui_resources.rc). Each picture is there once per artwork scale: the 100 %
// one under its bare name, the others with "_125", "_150" or "_200".

#include <string>

namespace selvane::ui {

inline constexpr wchar_t kResLogo[] = L"SELVANE_LOGO";
inline constexpr wchar_t kResEmblem[] = L"SELVANE_EMBLEM";
inline constexpr wchar_t kResCloseButton[] = L"SELVANE_CLOSE";
inline constexpr wchar_t kResCloseHidden[] = L"SELVANE_CLOSE_HIDDEN";
inline constexpr wchar_t kResBusy[] = L"SELVANE_BUSY";

// The resource of picture `name` drawn for `percent` (100, 125, 150 or 200).
inline std::wstring ArtworkResource(const wchar_t* name, int percent) {
  std::wstring res(name);
  if (percent != 100) res += L"_" + std::to_wstring(percent);
  return res;
}

}  // namespace selvane::ui
