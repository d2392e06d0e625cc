#pragma once
// ECDSA P-256 over SHA-256, as the operating system provides it: Windows' own
// CNG for the program, OpenSSL natively. The updater only verifies; signing
// is the vendor's tool's business.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace selvane {

// A P-256 public key as its uncompressed point: 0x04, X, Y (big-endian).
struct TrustKey {
  std::array<uint8_t, 65> point;
};

using Sha256Digest = std::array<uint8_t, 32>;

// SHA-256 of bytes given in pieces.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(std::span<const uint8_t> bytes);
  // The digest of everything given; the object is spent afterwards.
  Sha256Digest Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// True when `signature` (r || s, 32 bytes each, big-endian) is `key`'s
// signature of `digest`. A key that is no point of the curve verifies nothing.
bool VerifyP256(const TrustKey& key, const Sha256Digest& digest, std::span<const uint8_t, 64> signature);

}  // namespace selvane
