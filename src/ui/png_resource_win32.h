#pragma once
// PNG pictures embedded as RCDATA resources, decoded by the Windows Imaging
// Component into straight RGBA.

#include <string_view>

#include "ui/rgba_image.h"

namespace selvane::ui {

// Decodes a PNG held in memory. Throws std::runtime_error when it cannot.
RgbaImage DecodePng(const void* data, size_t size);
// Loads and decodes the RCDATA resource `name` of the running module.
RgbaImage LoadPngResource(const wchar_t* name);
// The raw bytes of the RCDATA resource `name`; empty when it is missing.
std::string_view ResourceBytes(const wchar_t* name);

}  // namespace selvane::ui
