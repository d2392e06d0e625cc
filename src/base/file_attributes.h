#pragma once
// File attribute bits, with the values Windows gives them.

#include <cstdint>

namespace selvane {

enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolumeId = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

}  // namespace selvane
