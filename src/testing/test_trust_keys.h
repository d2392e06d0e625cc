#pragma once
// The tests' trust keys as the program carries them: the public halves of
// tests/keys/test_signing_key.pem (kKey) and other_signing_key.pem
// (kOtherKey), and one signature made once with the first over "abc".

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/signature_check.h"

namespace selvane {
namespace contract {

inline std::vector<uint8_t> Hex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

template <size_t N>
std::array<uint8_t, N> HexArray(std::string_view hex) {
  const std::vector<uint8_t> v = Hex(hex);
  std::array<uint8_t, N> out{};
  std::copy(v.begin(), v.end(), out.begin());
  return out;
}

inline const TrustKey kKey{HexArray<65>(
    "04dd209107e98cc8de62eee977cb23557702efcd532d7a475c65119f0b9554d8fb"
    "8d9813ff1289677427cdb5773e796e059c85a07803d94da628ebd0934d8b04f0")};
inline const TrustKey kOtherKey{HexArray<65>(
    "048e10df1483153fce8bf5540b0da2bbc0312e7c9dc42941ba7d80b564ebe53768"
    "582a1e32d1edd044968223dd530cfc90d946bf522829b71a37d0a740276495ad")};
inline const std::array<uint8_t, 64> kSignatureOfAbc = HexArray<64>(
    "07237DA052EA96FD304C252B4206C869B5CC1611F2B2414C1B659206EF2F0116"
    "3CB7D07C0D70960A016530A2C6F71C7F6BFC511EED2CD23ACF2D6DCFD8D78DA3");
inline const Sha256Digest kDigestOfAbc =
    HexArray<32>("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

}  // namespace contract
}  // namespace selvane
