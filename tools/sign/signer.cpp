#include "sign/signer.h"

#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>

namespace selvane::sign {

namespace fs = std::filesystem;

namespace {

// A file below the release folder, read through the format's own reader.
class StreamFile : public ReadableFile {
 public:
  explicit StreamFile(const std::string& path) : in_(path, std::ios::binary) {
    if (!in_) throw std::runtime_error("cannot read " + path);
  }
  size_t Read(void* buf, size_t n) override {
    in_.read(static_cast<char*>(buf), static_cast<std::streamsize>(n));
    if (in_.bad()) throw std::runtime_error("read error");
    return static_cast<size_t>(in_.gcount());
  }

 private:
  std::ifstream in_;
};

constexpr char kUsage[] =
    "usage: selvane-sign --key PRIVATE.pem DIR\n"
    "Writes FILE.sig beside every program, library or script below DIR (the\n"
    "updater included), signed with the ECDSA P-256 key PRIVATE.pem.\n";

}  // namespace

struct SigningKey::Key {
  EVP_PKEY* pkey = nullptr;
  ~Key() { EVP_PKEY_free(pkey); }
};

SigningKey::SigningKey(std::unique_ptr<Key> key) : key_(std::move(key)) {}
SigningKey::~SigningKey() = default;
SigningKey::SigningKey(SigningKey&&) noexcept = default;
SigningKey& SigningKey::operator=(SigningKey&&) noexcept = default;

SigningKey SigningKey::FromPemFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw std::runtime_error("cannot open " + path);
  auto key = std::make_unique<Key>();
  key->pkey = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  char group[64] = {};
  size_t group_size = 0;
  if (key->pkey == nullptr ||
      EVP_PKEY_get_utf8_string_param(key->pkey, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof(group), &group_size) != 1 ||
      std::string(group) != "prime256v1") {
    throw std::runtime_error(path + " holds no ECDSA P-256 private key");
  }
  return SigningKey(std::move(key));
}

SignatureValue SigningKey::Sign(const Sha256Digest& digest) const {
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key_->pkey, nullptr);
  std::vector<uint8_t> der(128);
  size_t der_size = der.size();
  const bool signed_ok = ctx != nullptr && EVP_PKEY_sign_init(ctx) == 1 &&
                         EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha256()) == 1 &&
                         EVP_PKEY_sign(ctx, der.data(), &der_size, digest.data(), digest.size()) == 1;
  EVP_PKEY_CTX_free(ctx);
  if (!signed_ok) throw std::runtime_error("signing failed");
  const unsigned char* p = der.data();
  ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der_size));
  if (sig == nullptr) throw std::runtime_error("signing failed");
  SignatureValue value{};
  const bool ok = BN_bn2binpad(ECDSA_SIG_get0_r(sig), value.data(), 32) == 32 &&
                  BN_bn2binpad(ECDSA_SIG_get0_s(sig), value.data() + 32, 32) == 32;
  ECDSA_SIG_free(sig);
  if (!ok) throw std::runtime_error("signing failed");
  return value;
}

std::vector<uint8_t> SignFile(const SigningKey& key, const std::string& path, std::string_view name) {
  Sha256 hash;
  StreamFile file(path);
  FeedSignedMessage(name, file, [&](std::span<const uint8_t> piece) { hash.Update(piece); });
  return SignatureFileBytes(key.Sign(hash.Final()));
}

std::vector<std::string> SignFolder(const SigningKey& key, const std::string& dir) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
    if (e.is_regular_file() && NeedsSignature(e.path().filename().string())) files.push_back(e.path());
  }
  std::vector<std::string> signed_files;
  for (const fs::path& f : files) {
    const std::vector<uint8_t> sig = SignFile(key, f.string(), f.filename().string());
    const std::string out_path = f.string() + std::string(kSignatureSuffix);
    std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(sig.data()), static_cast<std::streamsize>(sig.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + out_path);
    signed_files.push_back(fs::relative(f, dir).generic_string());
  }
  std::sort(signed_files.begin(), signed_files.end());
  return signed_files;
}

int RunSign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 3 || args[0] != "--key") {
    err << kUsage;
    return 2;
  }
  try {
    const SigningKey key = SigningKey::FromPemFile(args[1]);
    for (const std::string& f : SignFolder(key, args[2])) out << "signed " << f << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "selvane-sign: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace selvane::sign
