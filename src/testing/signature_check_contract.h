#pragma once
// What every build's SHA-256 and ECDSA P-256 verification must agree on: the
// native one (OpenSSL) and the program's (CNG, run under Wine) both include
// these cases once.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/signature_check.h"
#include "testing/test_trust_keys.h"

namespace selvane {
namespace contract {

inline Sha256Digest DigestInPieces(std::string_view text, size_t piece) {
  Sha256 hash;
  for (size_t at = 0; at < text.size(); at += piece) {
    const std::string_view p = text.substr(at, piece);
    hash.Update({reinterpret_cast<const uint8_t*>(p.data()), p.size()});
  }
  return hash.Final();
}

TEST(SignatureCheckContract, Sha256KnownAnswersWhateverThePieces) {
  const std::string million(1000000, 'a');
  struct Case {
    std::string_view text;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    for (const size_t piece : {size_t{1}, size_t{63}, size_t{64}, size_t{1} << 20}) {
      if (c.text.size() > 1000 && piece == 1) continue;
      EXPECT_EQ(DigestInPieces(c.text, piece), HexArray<32>(c.digest)) << c.text.size() << " bytes by " << piece;
    }
  }
}

TEST(SignatureCheckContract, OnlyTheKeysOwnSignatureOfThatDigestVerifies) {
  EXPECT_TRUE(VerifyP256(kKey, kDigestOfAbc, kSignatureOfAbc));
  EXPECT_FALSE(VerifyP256(kOtherKey, kDigestOfAbc, kSignatureOfAbc)) << "other key";
  Sha256Digest other_digest = kDigestOfAbc;
  other_digest[31] ^= 1;
  EXPECT_FALSE(VerifyP256(kKey, other_digest, kSignatureOfAbc)) << "other digest";
  // Every byte of r and of s matters.
  for (size_t i = 0; i < kSignatureOfAbc.size(); ++i) {
    std::array<uint8_t, 64> bad = kSignatureOfAbc;
    bad[i] ^= 0x40;
    EXPECT_FALSE(VerifyP256(kKey, kDigestOfAbc, bad)) << "byte " << i;
  }
  EXPECT_FALSE(VerifyP256(kKey, kDigestOfAbc, std::array<uint8_t, 64>{})) << "r = s = 0";
}

TEST(SignatureCheckContract, AKeyThatIsNoCurvePointVerifiesNothing) {
  TrustKey off_curve = kKey;
  off_curve.point[64] ^= 1;
  TrustKey compressed_tag = kKey;
  compressed_tag.point[0] = 0x02;
  for (const TrustKey& k : {off_curve, compressed_tag, TrustKey{}}) {
    EXPECT_FALSE(VerifyP256(k, kDigestOfAbc, kSignatureOfAbc));
  }
}

}  // namespace contract
}  // namespace selvane
