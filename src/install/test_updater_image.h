#pragma once
// Test support: the bytes of a file that passes for a Windows program, as the
// new updater must (updater_check.h): an MZ stub, PE headers for a machine,
// padded to a plausible size, ending with a tag that tells builds apart.

#include <cstdint>
#include <string>
#include <string_view>

#include "install/updater_check.h"

namespace selvane {

inline std::string TestUpdaterImage(std::string_view tag, uint16_t machine = kRunningMachine,
                                    uint16_t characteristics = 0x0022) {
  std::string b(kMinUpdaterSize, '\0');
  const auto put = [&b](size_t at, uint32_t v, size_t width) {
    for (size_t i = 0; i < width; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  b[0] = 'M';
  b[1] = 'Z';
  constexpr size_t kPe = 0x80;
  put(0x3C, kPe, 4);
  put(kPe, 0x00004550, 4);  // "PE\0\0"
  put(kPe + 4, machine, 2);
  put(kPe + 20, machine == kMachineAmd64 ? 240 : 224, 2);  // size of the optional header
  put(kPe + 22, characteristics, 2);
  put(kPe + 24, machine == kMachineAmd64 ? 0x20B : 0x10B, 2);
  return b + std::string(tag);
}

}  // namespace selvane
