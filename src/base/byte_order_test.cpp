#include "base/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace selvane {
namespace {

using ByteVector = std::vector<uint8_t>;

TEST(ByteOrderTest, LoadsAndStoresEveryWidthInBothOrders) {
  struct Case {
    uint64_t value;
    ByteVector little;  // the value's bytes, least significant first; its size is the width
  };
  const Case cases[] = {
      {0x00, {0x00}},
      {0xAB, {0xAB}},
      {0x1234, {0x34, 0x12}},
      {0xFFFE, {0xFE, 0xFF}},
      {0x00ABCDEF, {0xEF, 0xCD, 0xAB}},
      {0x80000000, {0x00, 0x00, 0x00, 0x80}},
      {0xDEADBEEF, {0xEF, 0xBE, 0xAD, 0xDE}},
      {0x0102030405060708, {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
      {0xFFFFFFFFFFFFFFFF, ByteVector(8, 0xFF)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const ByteVector big(c.little.rbegin(), c.little.rend());
    EXPECT_EQ(LoadLittleEndian(c.little), c.value);
    EXPECT_EQ(LoadBigEndian(big), c.value);

    ByteVector stored(c.little.size());
    StoreLittleEndian(stored, c.value);
    EXPECT_EQ(stored, c.little);
    StoreBigEndian(stored, c.value);
    EXPECT_EQ(stored, big);

    ByteVector appended{0x55};
    AppendLittleEndian(appended, c.value, c.little.size());
    AppendBigEndian(appended, c.value, c.little.size());
    ByteVector expected{0x55};
    expected.insert(expected.end(), c.little.begin(), c.little.end());
    expected.insert(expected.end(), big.begin(), big.end());
    EXPECT_EQ(appended, expected);
  }
}

TEST(ByteOrderTest, FixedWidthsReadOnlyTheirOwnBytesAndKeepTheSign) {
  const std::array<uint8_t, 9> b{0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(LoadLe16(b), 0xFFFF);
  EXPECT_EQ(static_cast<int32_t>(LoadLe32(b)), -1);
  EXPECT_EQ(LoadLe64(b), 0x3322117FFFFFFFFFu);
  EXPECT_EQ(LoadBe32(std::span(b).subspan(4)), 0x7F112233u);

  std::array<uint8_t, 9> out{};
  out.fill(0xAA);
  StoreLe16(out, 0x0102);
  StoreLe32(std::span(out).subspan(2), static_cast<uint32_t>(-2));
  EXPECT_EQ(out, (std::array<uint8_t, 9>{0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xAA, 0xAA, 0xAA}));
  StoreLe64(std::span(out).subspan(1), 0x0807060504030201);
  EXPECT_EQ(out, (std::array<uint8_t, 9>{0x02, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));

  std::string text;
  AppendLe16(text, 0x4142);
  AppendLe32(text, 0x45444342);
  AppendLe64(text, 0x4847464544434241);
  EXPECT_EQ(text, std::string("BA") + "BCDE" + "ABCDEFGH");
}

}  // namespace
}  // namespace selvane
