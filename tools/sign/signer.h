#pragma once
// Signing a release folder with the vendor's private key, so that the
// updater, built with the public half as its trust key, accepts what the
// server hands over (protocol/file_signature.h).

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/signature_check.h"
#include "protocol/file_signature.h"

namespace selvane::sign {

// An ECDSA P-256 private key.
class SigningKey {
 public:
  // Throws std::runtime_error when the file holds no P-256 private key.
  static SigningKey FromPemFile(const std::string& path);
  ~SigningKey();
  SigningKey(SigningKey&&) noexcept;
  SigningKey& operator=(SigningKey&&) noexcept;

  SignatureValue Sign(const Sha256Digest& digest) const;

 private:
  struct Key;
  explicit SigningKey(std::unique_ptr<Key> key);
  std::unique_ptr<Key> key_;
};

// The signature file of the file at `path` under the name `name`.
std::vector<uint8_t> SignFile(const SigningKey& key, const std::string& path, std::string_view name);

// Writes "<file>.sig" beside every file below `dir` that must come signed,
// each signed under its own name; returns their paths below `dir`, sorted.
std::vector<std::string> SignFolder(const SigningKey& key, const std::string& dir);

// The command: selvane-sign --key PRIVATE.pem DIR.
int RunSign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace selvane::sign
