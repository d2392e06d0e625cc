#pragma once
// What the window tests under Wine share: photos of the screen through its
// device context, saved as PNG for people to look at, and a backdrop window
// of a colour that the main window never uses, so that every see-through
// pixel shows as that colour.

#include <windows.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ui/main_view.h"
#include "ui/rgba_image.h"

namespace selvane::ui {

inline constexpr uint32_t kBackdrop = 0xFF00FF;  // magenta: nothing of the window has it

// A photo of part of the screen, 0xRRGGBB per pixel, addressed in screen
// coordinates.
struct Shot {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const {
    return pixels[static_cast<size_t>(y - top) * width + (x - left)] & 0xFFFFFF;
  }
};

inline Shot TakeShot(const RECT& area) {
  Shot s;
  s.left = area.left;
  s.top = area.top;
  s.width = area.right - area.left;
  s.height = area.bottom - area.top;
  s.pixels.resize(static_cast<size_t>(s.width) * s.height);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, s.width, s.height);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, s.width, s.height, screen, s.left, s.top, SRCCOPY);
  SelectObject(mem, old);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = s.width;
  bi.bmiHeader.biHeight = -s.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  GetDIBits(mem, bmp, 0, static_cast<UINT>(s.height), s.pixels.data(), &bi, DIB_RGB_COLORS);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return s;
}

// Saves the shot as a PNG through the imaging component.
inline void SavePng(const Shot& shot, const std::filesystem::path& path) {
  IWICImagingFactory* factory = nullptr;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return;
  const int w = shot.width, h = shot.height;
  std::vector<uint32_t> part(shot.pixels);
  for (uint32_t& px : part) px |= 0xFF000000;
  IWICBitmap* bitmap = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapEncoder* encoder = nullptr;
  IWICBitmapFrameEncode* frame = nullptr;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (SUCCEEDED(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, w * 4, w * h * 4,
                                                reinterpret_cast<BYTE*>(part.data()), &bitmap)) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromFilename(path.wstring().c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
      SUCCEEDED(frame->SetSize(w, h)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
      SUCCEEDED(frame->WriteSource(bitmap, nullptr))) {
    frame->Commit();
    encoder->Commit();
  }
  if (frame) frame->Release();
  if (encoder) encoder->Release();
  if (stream) stream->Release();
  if (bitmap) bitmap->Release();
  factory->Release();
}

// The photo of a window with a margin of backdrop around it.
inline Shot TakeAround(const RECT& window) {
  RECT r = window;
  InflateRect(&r, 10, 10);
  return TakeShot(r);
}

// Lets the window thread run for `ms` milliseconds.
inline void PumpFor(MainView& view, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    view.ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < end);
}

// The window as it stands before the worker starts: no choice, no animation,
// no title, the waiting text.
inline void ShowWaiting(MainView& view) {
  view.SetChoicePanelVisible(false);
  view.SetAnimation(false);
  view.SetTitleText("");
  view.SetStatusText("Aguardando...");
}

// A picture's pixel as 0xRRGGBB, as the screen shows it.
inline uint32_t PixelOf(const RgbaImage& image, int x, int y) {
  const uint8_t* p = image.Pixel(x, y);
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

// A left click at a point of a control's client area, as the mouse posts it.
inline void PostClick(HWND control, int x, int y) {
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

inline std::string Hex(uint32_t c) {
  char buf[8];
  snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
  return buf;
}

inline std::wstring WindowText(HWND hwnd) {
  wchar_t buf[256] = {};
  GetWindowTextW(hwnd, buf, 256);
  return buf;
}

inline LRESULT CALLBACK BackdropProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH b = CreateSolidBrush(RGB(0xFF, 0x00, 0xFF));
    FillRect(reinterpret_cast<HDC>(wp), &r, b);
    DeleteObject(b);
    return 1;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// A full-screen window in the backdrop colour, beneath the window under test.
inline HWND CreateBackdrop() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = BackdropProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ScreenshotBackdrop";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"backdrop", WS_POPUP | WS_VISIBLE, 0, 0,
                         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                         wc.hInstance, nullptr);
}

}  // namespace selvane::ui
