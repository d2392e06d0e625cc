#include "ui/png_resource_win32.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <stdexcept>

namespace selvane::ui {
namespace {

using Microsoft::WRL::ComPtr;

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw std::runtime_error(std::string("Cannot decode PNG picture: ") + what);
}

bool IsIndexed(const WICPixelFormatGUID& f) {
  return IsEqualGUID(f, GUID_WICPixelFormat1bppIndexed) || IsEqualGUID(f, GUID_WICPixelFormat2bppIndexed) ||
         IsEqualGUID(f, GUID_WICPixelFormat4bppIndexed) || IsEqualGUID(f, GUID_WICPixelFormat8bppIndexed);
}

}  // namespace

RgbaImage DecodePng(const void* data, size_t size) {
  // The window thread may or may not have COM set up already; either is fine.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  struct Uninit {
    bool active;
    ~Uninit() {
      if (active) CoUninitialize();
    }
  } uninit{SUCCEEDED(init)};

  ComPtr<IWICImagingFactory> factory;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                         reinterpret_cast<void**>(factory.GetAddressOf())),
        "imaging component unavailable");
  ComPtr<IWICStream> stream;
  Check(factory->CreateStream(stream.GetAddressOf()), "stream");
  Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), static_cast<DWORD>(size)),
        "stream");
  ComPtr<IWICBitmapDecoder> decoder;
  Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                         decoder.GetAddressOf()),
        "not a picture");
  ComPtr<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(0, frame.GetAddressOf()), "no frame");
  WICPixelFormatGUID format;
  Check(frame->GetPixelFormat(&format), "pixel format");
  UINT w = 0, h = 0;
  Check(frame->GetSize(&w, &h), "size");
  ComPtr<IWICFormatConverter> converter;
  Check(factory->CreateFormatConverter(converter.GetAddressOf()), "converter");
  Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom),
        "conversion");
  RgbaImage image;
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.palette = IsIndexed(format);
  image.rgba.resize(static_cast<size_t>(w) * h * 4);
  Check(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(image.rgba.size()), image.rgba.data()), "pixels");
  return image;
}

std::string_view ResourceBytes(const wchar_t* name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!res) return {};
  HGLOBAL loaded = LoadResource(module, res);
  if (!loaded) return {};
  const void* p = LockResource(loaded);
  return {static_cast<const char*>(p), SizeofResource(module, res)};
}

RgbaImage LoadPngResource(const wchar_t* name) {
  std::string_view bytes = ResourceBytes(name);
  if (bytes.empty()) return {};
  return DecodePng(bytes.data(), bytes.size());
}

}  // namespace selvane::ui
