#include "ui/status_tooltip_win32.h"

#include <commctrl.h>

#include "ui/wide_text_win32.h"

namespace selvane::ui {
namespace {

constexpr UINT_PTR kToolId = 1;

// The size every common-controls version accepts.
TTTOOLINFOW ToolInfo(HWND owner) {
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = owner;
  ti.uId = kToolId;
  return ti;
}

}  // namespace

StatusTooltip::StatusTooltip(HWND owner) : owner_(owner) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  // No prefix processing: the tip shows an '&' as it is, unlike the line.
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW ti = ToolInfo(owner_);
  ti.uFlags = TTF_SUBCLASS;
  ti.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

StatusTooltip::~StatusTooltip() {
  if (IsWindow(tip_)) DestroyWindow(tip_);
  if (font_) DeleteObject(font_);
}

void StatusTooltip::SetArea(const RECT& area, int max_width, int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    HFONT font = CreateFontIndirectW(&metrics.lfStatusFont);
    SendMessageW(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_) DeleteObject(font_);
    font_ = font;
  }
  TTTOOLINFOW ti = ToolInfo(owner_);
  ti.rect = area;
  SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  // A width limit makes the tip honour line breaks and wrap a long line.
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, max_width);
}

void StatusTooltip::SetText(const std::string& text) {
  text_ = Wide(text);
  TTTOOLINFOW ti = ToolInfo(owner_);
  ti.lpszText = text_.data();
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

}  // namespace selvane::ui
