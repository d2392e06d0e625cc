#include "install/file_trust.h"

#include <optional>

#include "protocol/file_signature.h"

namespace selvane {

namespace {

// The signature file's bytes, and one more when there are more: enough to
// tell that they are too many.
std::vector<uint8_t> ReadSignatureFile(Env& env, const std::string& path) {
  auto file = env.OpenRead(path, ShareMode::kReadWrite);
  std::vector<uint8_t> bytes(kSignatureFileSize + 1);
  size_t size = 0;
  while (size < bytes.size()) {
    const size_t n = file->Read(bytes.data() + size, bytes.size() - size);
    if (n == 0) break;
    size += n;
  }
  bytes.resize(size);
  return bytes;
}

// The last entry of the step that a name folds to, and that was fetched.
std::optional<size_t> LastFetched(const std::vector<std::string>& names,
                                  const std::function<std::string(size_t)>& temporary, Env& env,
                                  const std::string& name) {
  const std::string wanted = SignedName(name);
  for (size_t i = names.size(); i-- > 0;) {
    if (SignedName(names[i]) == wanted) {
      if (env.FileExists(temporary(i))) return i;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string UnsignedFileText(std::string_view name, std::string_view reason) {
  return "A assinatura de " + std::string(name) + " não é válida: " + std::string(reason);
}

void CheckSignedFile(Env& env, const TrustKey& key, const std::string& content_path, std::string_view name,
                     const std::string& signature_path) {
  const std::string signature_name = std::string(name) + std::string(kSignatureSuffix);
  if (!env.FileExists(signature_path)) {
    throw EUnsignedFile(UnsignedFileText(name, "falta o arquivo " + signature_name + "."));
  }
  SignatureValue value;
  try {
    value = ParseSignatureFile(ReadSignatureFile(env, signature_path));
  } catch (const ESignatureFormat& e) {
    throw EUnsignedFile(UnsignedFileText(name, e.what()));
  }
  Sha256 hash;
  auto content = env.OpenRead(content_path, ShareMode::kReadWrite);
  FeedSignedMessage(name, *content, [&](std::span<const uint8_t> piece) { hash.Update(piece); });
  if (!VerifyP256(key, hash.Final(), value)) {
    throw EUnsignedFile(UnsignedFileText(name, "a assinatura não confere com o arquivo."));
  }
}

void CheckStepSignatures(Env& env, const TrustKey& key, const std::string& folder,
                         const std::vector<std::string>& names,
                         const std::function<std::string(size_t index)>& temporary) {
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (!NeedsSignature(name) || LastFetched(names, temporary, env, name) != i) continue;
    const std::string signature_name = name + std::string(kSignatureSuffix);
    const std::optional<size_t> fetched = LastFetched(names, temporary, env, signature_name);
    const std::string signature = fetched ? temporary(*fetched) : folder + signature_name;
    CheckSignedFile(env, key, temporary(i), name, signature);
  }
}

}  // namespace selvane
