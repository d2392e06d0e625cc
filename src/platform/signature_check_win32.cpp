#include "platform/signature_check.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace selvane {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

}  // namespace

// Named, not anonymous: the hash state below holds one, and its type must not
// be local to one translation unit when several are compiled together.
namespace cng {

class Algorithm {
 public:
  explicit Algorithm(const wchar_t* id) {
    if (!Ok(BCryptOpenAlgorithmProvider(&handle_, id, nullptr, 0))) handle_ = nullptr;
  }
  ~Algorithm() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

}  // namespace cng

struct Sha256::State {
  cng::Algorithm algorithm{BCRYPT_SHA256_ALGORITHM};
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (state_->algorithm.get() == nullptr ||
      !Ok(BCryptCreateHash(state_->algorithm.get(), &state_->hash, nullptr, 0, nullptr, 0, 0))) {
    throw std::runtime_error("SHA-256 indisponível");
  }
}

Sha256::~Sha256() {
  if (state_->hash != nullptr) BCryptDestroyHash(state_->hash);
}

void Sha256::Update(std::span<const uint8_t> bytes) {
  // BCryptHashData takes at most a ULONG at a time.
  constexpr size_t kMax = 1u << 30;
  for (size_t at = 0; at < bytes.size(); at += kMax) {
    const size_t n = std::min(kMax, bytes.size() - at);
    if (!Ok(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes.data() + at), static_cast<ULONG>(n), 0))) {
      throw std::runtime_error("SHA-256 falhou");
    }
  }
}

Sha256Digest Sha256::Final() {
  Sha256Digest d{};
  if (!Ok(BCryptFinishHash(state_->hash, d.data(), static_cast<ULONG>(d.size()), 0))) {
    throw std::runtime_error("SHA-256 falhou");
  }
  return d;
}

bool VerifyP256(const TrustKey& key, const Sha256Digest& digest, std::span<const uint8_t, 64> signature) {
  if (key.point[0] != 0x04) return false;
  cng::Algorithm algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (algorithm.get() == nullptr) return false;
  // BCRYPT_ECCKEY_BLOB, then X and Y.
  std::vector<uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::memcpy(blob.data() + sizeof(header), key.point.data() + 1, 64);
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!Ok(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob.data(),
                              static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  const bool ok = Ok(BCryptVerifySignature(handle, nullptr, const_cast<PUCHAR>(digest.data()),
                                           static_cast<ULONG>(digest.size()), const_cast<PUCHAR>(signature.data()),
                                           static_cast<ULONG>(signature.size()), 0));
  BCryptDestroyKey(handle);
  return ok;
}

}  // namespace selvane
