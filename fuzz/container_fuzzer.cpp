// Arbitrary bytes as a fetched container: unpacking must end in a clean
// failure or in data, never in a crash, a hang or an oversized allocation.

#include <cstddef>
#include <cstdint>

#include "install/container.h"
#include "testing/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  selvane::MemoryFile in(std::span<const uint8_t>(data, size));
  try {
    selvane::UnpackContainer(in, [] { return std::make_unique<selvane::MemorySink>(); });
  } catch (const std::exception&) {
  }
  return 0;
}
