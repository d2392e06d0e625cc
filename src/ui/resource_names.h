#pragma once
// Names of the window's pictures in the program's RCDATA resources
// (ui_resources.rc).

namespace selvane::ui {

inline constexpr wchar_t kResLogo[] = L"SELVANE_LOGO";
inline constexpr wchar_t kResEmblem[] = L"SELVANE_EMBLEM";
inline constexpr wchar_t kResCloseButton[] = L"SELVANE_CLOSE";
inline constexpr wchar_t kResCloseHidden[] = L"SELVANE_CLOSE_HIDDEN";
inline constexpr wchar_t kResBusy[] = L"SELVANE_BUSY";

}  // namespace selvane::ui
