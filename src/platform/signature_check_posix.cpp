#include "platform/signature_check.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <stdexcept>

namespace selvane {

struct Sha256::State {
  EVP_MD_CTX* ctx = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->ctx = EVP_MD_CTX_new();
  if (state_->ctx == nullptr || EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(state_->ctx);
    throw std::runtime_error("SHA-256 indisponível");
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->ctx); }

void Sha256::Update(std::span<const uint8_t> bytes) {
  if (EVP_DigestUpdate(state_->ctx, bytes.data(), bytes.size()) != 1) throw std::runtime_error("SHA-256 falhou");
}

Sha256Digest Sha256::Final() {
  Sha256Digest d{};
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(state_->ctx, d.data(), &n) != 1 || n != d.size()) throw std::runtime_error("SHA-256 falhou");
  return d;
}

namespace {

template <typename T, void (*Free)(T*)>
struct Owned {
  T* p;
  explicit Owned(T* q) : p(q) {}
  ~Owned() { Free(p); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

EVP_PKEY* PublicKey(const TrustKey& key) {
  Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free> build(OSSL_PARAM_BLD_new());
  if (build.p == nullptr ||
      OSSL_PARAM_BLD_push_utf8_string(build.p, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) != 1 ||
      OSSL_PARAM_BLD_push_octet_string(build.p, OSSL_PKEY_PARAM_PUB_KEY, key.point.data(), key.point.size()) != 1) {
    return nullptr;
  }
  Owned<OSSL_PARAM, OSSL_PARAM_free> params(OSSL_PARAM_BLD_to_param(build.p));
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  EVP_PKEY* pkey = nullptr;
  if (params.p == nullptr || ctx.p == nullptr || EVP_PKEY_fromdata_init(ctx.p) != 1 ||
      EVP_PKEY_fromdata(ctx.p, &pkey, EVP_PKEY_PUBLIC_KEY, params.p) != 1) {
    return nullptr;
  }
  return pkey;
}

}  // namespace

bool VerifyP256(const TrustKey& key, const Sha256Digest& digest, std::span<const uint8_t, 64> signature) {
  Owned<EVP_PKEY, EVP_PKEY_free> pkey(PublicKey(key));
  if (pkey.p == nullptr) return false;
  // OpenSSL takes the signature DER-encoded.
  Owned<ECDSA_SIG, ECDSA_SIG_free> sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
  if (sig.p == nullptr || r == nullptr || s == nullptr || ECDSA_SIG_set0(sig.p, r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int der_size = i2d_ECDSA_SIG(sig.p, &der);
  if (der_size <= 0) return false;
  Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free> ctx(EVP_PKEY_CTX_new(pkey.p, nullptr));
  const bool ok = ctx.p != nullptr && EVP_PKEY_verify_init(ctx.p) == 1 &&
                  EVP_PKEY_CTX_set_signature_md(ctx.p, EVP_sha256()) == 1 &&
                  EVP_PKEY_verify(ctx.p, der, static_cast<size_t>(der_size), digest.data(), digest.size()) == 1;
  OPENSSL_free(der);
  return ok;
}

}  // namespace selvane
