// The window's pictures as the layout needs them: sizes and colour types.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace selvane::ui {
namespace {

std::vector<uint8_t> ReadAsset(const std::string& name) {
  std::ifstream in(std::string(SELVANE_ASSETS_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

TEST(ArtworkTest, PngPicturesHaveTheirSizesAndCarryAlpha) {
  const struct {
    const char* file;
    uint32_t width, height;
  } pictures[] = {
      {"logo.png", 100, 30},          // Image1
      {"emblem.png", 150, 147},       // Image5
      {"close_button.png", 30, 30},   // ImageButton3
      {"close_hidden.png", 48, 48},   // BtnFechar
  };
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.file);
    const std::vector<uint8_t> b = ReadAsset(p.file);
    ASSERT_GE(b.size(), 33u);
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
    EXPECT_EQ(BigEndian(b, 16), p.width);
    EXPECT_EQ(BigEndian(b, 20), p.height);
    EXPECT_EQ(b[24], 8) << "bit depth";
    EXPECT_EQ(b[25], 6) << "colour type: RGBA";
  }
}

TEST(ArtworkTest, BusyAnimationHeaderAndTables) {
  const std::vector<uint8_t> b = ReadAsset("busy.gif");
  ASSERT_GE(b.size(), 13u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
  EXPECT_EQ(b[6] | (b[7] << 8), 28);
  EXPECT_EQ(b[8] | (b[9] << 8), 28);
  EXPECT_TRUE(b[10] & 0x80) << "global colour table";
  EXPECT_EQ(2 << (b[10] & 7), 128) << "128 colours";
  // Frames 2 to 7 carry local tables of 128 colours; 1 and 8 use the global one.
  std::vector<bool> local;
  size_t i = 13 + 128 * 3;
  auto skip_sub_blocks = [&] {
    while (i < b.size() && b[i] != 0) i += b[i] + 1u;
    ++i;
  };
  while (i < b.size() && b[i] != 0x3B) {
    if (b[i] == 0x21) {
      i += 2;
      skip_sub_blocks();
    } else {
      ASSERT_EQ(b[i], 0x2C);
      ASSERT_LT(i + 10, b.size());
      const uint8_t packed = b[i + 9];
      local.push_back(packed & 0x80);
      i += 10;
      if (packed & 0x80) {
        EXPECT_EQ(2 << (packed & 7), 128);
        i += 3u * (2u << (packed & 7));
      }
      ++i;  // LZW code size
      skip_sub_blocks();
    }
  }
  EXPECT_EQ(local, (std::vector<bool>{false, true, true, true, true, true, true, false}));
}

}  // namespace
}  // namespace selvane::ui
