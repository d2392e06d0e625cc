#pragma once
// Fixed-width integers and doubles as bytes: little-endian, as the data
// packets, the containers and the variant streams hold them, and big-endian,
// as the remote rows and the transport filter headers hold them. Every
// reader of untrusted bytes checks the length before it calls these.

#include <cstddef>
#include <cstdint>
#include <span>

namespace selvane {

// The unsigned value of all of `bytes` (at most eight), least significant first.
constexpr uint64_t LoadLittleEndian(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i-- > 0;) v = (v << 8) | bytes[i];
  return v;
}

// The unsigned value of all of `bytes` (at most eight), most significant first.
constexpr uint64_t LoadBigEndian(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (uint8_t b : bytes) v = (v << 8) | b;
  return v;
}

// Fills all of `out` (at most eight bytes) with the low bytes of v, least significant first.
constexpr void StoreLittleEndian(std::span<uint8_t> out, uint64_t v) {
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Fills all of `out` (at most eight bytes) with the low bytes of v, most significant first.
constexpr void StoreBigEndian(std::span<uint8_t> out, uint64_t v) {
  for (size_t i = out.size(); i-- > 0; v >>= 8) out[i] = static_cast<uint8_t>(v);
}

constexpr uint16_t LoadLe16(std::span<const uint8_t> b) { return static_cast<uint16_t>(LoadLittleEndian(b.first(2))); }
constexpr uint32_t LoadLe32(std::span<const uint8_t> b) { return static_cast<uint32_t>(LoadLittleEndian(b.first(4))); }
constexpr uint64_t LoadLe64(std::span<const uint8_t> b) { return LoadLittleEndian(b.first(8)); }
constexpr uint32_t LoadBe32(std::span<const uint8_t> b) { return static_cast<uint32_t>(LoadBigEndian(b.first(4))); }

constexpr void StoreLe16(std::span<uint8_t> out, uint16_t v) { StoreLittleEndian(out.first(2), v); }
constexpr void StoreLe32(std::span<uint8_t> out, uint32_t v) { StoreLittleEndian(out.first(4), v); }
constexpr void StoreLe64(std::span<uint8_t> out, uint64_t v) { StoreLittleEndian(out.first(8), v); }

// Appends the low `width` bytes of v (at most eight) to a byte or char container.
template <class Out>
void AppendLittleEndian(Out& out, uint64_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) out.push_back(static_cast<typename Out::value_type>(v >> (8 * i)));
}

template <class Out>
void AppendBigEndian(Out& out, uint64_t v, size_t width) {
  for (size_t i = width; i-- > 0;) out.push_back(static_cast<typename Out::value_type>(v >> (8 * i)));
}

template <class Out>
void AppendLe16(Out& out, uint16_t v) {
  AppendLittleEndian(out, v, 2);
}
template <class Out>
void AppendLe32(Out& out, uint32_t v) {
  AppendLittleEndian(out, v, 4);
}
template <class Out>
void AppendLe64(Out& out, uint64_t v) {
  AppendLittleEndian(out, v, 8);
}

}  // namespace selvane
