// Arbitrary bytes as a fetched container: reading must end in a clean
// failure or in data, never in a crash, a hang or an oversized allocation.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>

#include "protocol/container_reader.h"
#include "testing/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    selvane::ReadContainer({data, size}, [] { return std::make_unique<selvane::MemorySink>(); });
  } catch (const std::exception&) {
  }
  return 0;
}
