#pragma once
// Bytes that zlib cannot shrink, the same for the same seed: a test's large
// file that stays large on the wire, so that a reply can be cut inside it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace selvane {

inline std::string Noise(size_t size, uint32_t seed) {
  std::string s(size, '\0');
  uint32_t x = seed;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

}  // namespace selvane
