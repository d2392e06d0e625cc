// Signature files, signed names and signed messages from arbitrary bytes:
// a signature file is accepted only in its one exact form and writes back to
// the same bytes; the folded name is stable and keeps its need of a
// signature; the message fed in pieces is head, bytes and tail exactly; and
// verification of any key and signature ends with an answer.
//
// Input: the whole is read as a signature file; up to its first NUL it is
// also a file name, the rest that file's bytes; its first 65 bytes are a key
// and the next 64 a signature.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "platform/signature_check.h"
#include "protocol/file_signature.h"
#include "testing/memory_file.h"

using namespace selvane;

namespace {

void Require(bool ok) {
  if (!ok) abort();
}

void CheckSignatureFile(std::span<const uint8_t> bytes) {
  bool accepted = false;
  SignatureValue value{};
  try {
    value = ParseSignatureFile(bytes);
    accepted = true;
  } catch (const ESignatureFormat&) {
  }
  const bool exact = bytes.size() == kSignatureFileSize &&
                     std::memcmp(bytes.data(), kSignatureMagic.data(), kSignatureMagic.size()) == 0 &&
                     bytes[kSignatureMagic.size()] == kSignatureVersion;
  Require(accepted == exact);
  if (accepted) {
    const std::vector<uint8_t> again = SignatureFileBytes(value);
    Require(again.size() == bytes.size() && std::memcmp(again.data(), bytes.data(), bytes.size()) == 0);
  }
}

void CheckMessage(std::string_view name, std::span<const uint8_t> content) {
  const std::string folded = SignedName(name);
  Require(SignedName(folded) == folded);
  Require(NeedsSignature(folded) == NeedsSignature(name));

  std::vector<uint8_t> fed;
  MemoryFile file(content);
  FeedSignedMessage(name, file, [&fed](std::span<const uint8_t> piece) { fed.insert(fed.end(), piece.begin(), piece.end()); });
  std::vector<uint8_t> expected = SignedMessageHead(name);
  Require(expected.size() == kSignedFileTag.size() + folded.size() + 1);
  Require(std::memcmp(expected.data(), kSignedFileTag.data(), kSignedFileTag.size()) == 0);
  expected.insert(expected.end(), content.begin(), content.end());
  const std::vector<uint8_t> tail = SignedMessageTail(content.size());
  Require(tail.size() == 8);
  for (size_t i = 0; i < 8; ++i) Require(tail[i] == static_cast<uint8_t>(uint64_t{content.size()} >> (8 * i)));
  expected.insert(expected.end(), tail.begin(), tail.end());
  Require(fed == expected);
}

void CheckVerify(std::span<const uint8_t> bytes) {
  if (bytes.size() < 65 + 64) return;
  TrustKey key{};
  std::memcpy(key.point.data(), bytes.data(), key.point.size());
  Sha256 hash;
  hash.Update(bytes.subspan(65 + 64));
  const Sha256Digest digest = hash.Final();
  const bool valid = VerifyP256(key, digest, std::span<const uint8_t, 64>(bytes.data() + 65, 64));
  // Only an uncompressed point can be a key at all.
  if (key.point[0] != 0x04) Require(!valid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CheckSignatureFile(bytes);
  const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t name_size = nul ? static_cast<size_t>(nul - data) : size;
  const std::string_view name(reinterpret_cast<const char*>(data), name_size);
  CheckMessage(name, nul ? bytes.subspan(name_size + 1) : std::span<const uint8_t>{});
  CheckVerify(bytes);
  return 0;
}
