#pragma once
// A new updater is checked before anything depends on it: a container that
// held anything but one file, or a file that is no Windows program for the
// machine the running updater is built for, would brick every later start.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace selvane {

class EInvalidUpdater : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::string_view kInvalidUpdaterText = "O atualizador recebido do servidor não é válido: ";

// IMAGE_FILE_MACHINE_* of the running updater's own build.
inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;
#if defined(__x86_64__) || defined(_M_X64)
inline constexpr uint16_t kRunningMachine = kMachineAmd64;
#elif defined(__i386__) || defined(_M_IX86)
inline constexpr uint16_t kRunningMachine = kMachineI386;
#else
inline constexpr uint16_t kRunningMachine = 0;  // no Windows updater runs here
#endif

// A linked Windows program takes at least its headers and one section, each
// aligned to 512 bytes; the updater itself is a few MB. Far beyond that the
// server sends something else.
inline constexpr uint64_t kMinUpdaterSize = 4096;
inline constexpr uint64_t kMaxUpdaterSize = 256ull << 20;

// Throws EInvalidUpdater (kInvalidUpdaterText and the reason) unless the
// container held exactly one entry and `path` is a PE executable (not a DLL)
// for `machine` of a plausible size.
void CheckNewUpdater(Env& env, const std::string& path, int32_t entries, uint16_t machine = kRunningMachine);

}  // namespace selvane
