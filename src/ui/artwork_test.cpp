// The window's pictures as the layout needs them: sizes and colour types, for
// each display scale the artwork is drawn for.

#include <gtest/gtest.h>

#include "ui/window_layout.h"

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

constexpr int kScales[] = {100, 125, 150, 200};

// The artwork file of `stem` drawn for `percent`: the 100 % one has the bare name.
std::string ArtworkFile(const std::string& stem, const char* ext, int percent) {
  return percent == 100 ? stem + ext : stem + "_" + std::to_string(percent) + ext;
}

// A size of the 100 % picture at `percent`, rounded half up as the artwork is.
uint32_t AtScale(uint32_t size, int percent) { return (size * percent + 50) / 100; }

struct PngSize {
  uint32_t width = 0, height = 0;
};

PngSize PngSizeOf(const std::string& file) {
  const std::vector<uint8_t> b = ReadAsset(file);
  if (b.size() < 33) return {};
  return {BigEndian(b, 16), BigEndian(b, 20)};
}

TEST(ArtworkTest, PngPicturesHaveTheirSizesAndCarryAlphaAtEveryScale) {
  const struct {
    const char* stem;
    uint32_t width, height;
  } pictures[] = {
      {"logo", 100, 30},          // Image1
      {"emblem", 150, 147},       // Image5
      {"close_button", 30, 30},   // ImageButton3
      {"close_hidden", 48, 48},   // BtnFechar
  };
  for (const auto& p : pictures) {
    for (int percent : kScales) {
      const std::string file = ArtworkFile(p.stem, ".png", percent);
      SCOPED_TRACE(file);
      const std::vector<uint8_t> b = ReadAsset(file);
      ASSERT_GE(b.size(), 33u);
      EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
      EXPECT_EQ(BigEndian(b, 16), AtScale(p.width, percent));
      EXPECT_EQ(BigEndian(b, 20), AtScale(p.height, percent));
      EXPECT_EQ(b[24], 8) << "bit depth";
      EXPECT_EQ(b[25], 6) << "colour type: RGBA";
    }
  }
}

// At the dpi of each artwork scale the logo, the close picture's panel and
// the animation get pictures of just their scaled size: nothing is cut off
// that the 96-dpi window shows, and nothing needs stretching.
TEST(ArtworkTest, AtEachArtworksOwnDpiThePicturesFitTheirScaledBoxes) {
  for (int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    const WindowLayout l = LayoutForDpi(dpi);
    const PngSize logo = PngSizeOf(ArtworkFile("logo", ".png", l.artwork_percent));
    EXPECT_EQ(logo.width, static_cast<uint32_t>(l.Image1.width));
    EXPECT_EQ(logo.height, static_cast<uint32_t>(l.Image1.height));
    const PngSize close = PngSizeOf(ArtworkFile("close_button", ".png", l.artwork_percent));
    EXPECT_GT(close.width, static_cast<uint32_t>(l.KavelPanel2.width)) << "the picture covers the small panel";
    const std::vector<uint8_t> gif = ReadAsset(ArtworkFile("busy", ".gif", l.artwork_percent));
    ASSERT_GE(gif.size(), 10u);
    EXPECT_EQ(gif[6] | (gif[7] << 8), l.GIFAnimator1.width);
    EXPECT_EQ(gif[8] | (gif[9] << 8), l.GIFAnimator1.height);
  }
}

TEST(ArtworkTest, BusyAnimationHeaderAndTablesAtEveryScale) {
  for (int percent : kScales) {
    const std::string file = ArtworkFile("busy", ".gif", percent);
    SCOPED_TRACE(file);
    const std::vector<uint8_t> b = ReadAsset(file);
    ASSERT_GE(b.size(), 13u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 6), "GIF89a");
    EXPECT_EQ(static_cast<uint32_t>(b[6] | (b[7] << 8)), AtScale(28, percent));
    EXPECT_EQ(static_cast<uint32_t>(b[8] | (b[9] << 8)), AtScale(28, percent));
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
}

}  // namespace
}  // namespace selvane::ui
