#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ui/gif_image.h"
#include "ui/gif_test_builder.h"

namespace selvane::ui {
namespace {

using testing::GifBuilder;
using testing::TestFrame;

std::vector<uint8_t> ReadAsset(const char* name) {
  std::ifstream in(std::string(SELVANE_ASSETS_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(GifDecoderTest, ReadsTheBusyAnimation) {
  const std::vector<uint8_t> bytes = ReadAsset("busy.gif");
  ASSERT_FALSE(bytes.empty());
  const TGIFImage img = DecodeGif(bytes);
  EXPECT_EQ(img.ScreenWidth, 28);
  EXPECT_EQ(img.ScreenHeight, 28);
  ASSERT_EQ(img.frames.size(), 8u);
  EXPECT_EQ(img.FrameIndex, 0);
  EXPECT_TRUE(img.Looping);
  EXPECT_EQ(img.RepeatCount, 0);
  EXPECT_FALSE(img.Transparent());
  // The ground is close to the panel's #00336A.
  ASSERT_NE(img.BackgroundColor, clNone);
  EXPECT_NEAR(static_cast<int>(img.BackgroundColor & 0xFF), 0x6A, 4);
  for (size_t i = 0; i < img.frames.size(); ++i) {
    SCOPED_TRACE(i);
    const TGIFFrame& f = img.frames[i];
    EXPECT_EQ(f.AnimateInterval, 70);
    EXPECT_EQ(f.DisposalMethod, TDisposalMethod::dmRestoreBackground);
    EXPECT_EQ(f.TransparentColor, clNone);
    EXPECT_TRUE(f.CoversScreen(28, 28));
    EXPECT_EQ(f.colors.size(), 128u);
    EXPECT_EQ(f.ColorAt(0, 0), img.BackgroundColor) << "corner shows the ground";
  }
  // Frames turn: consecutive frames differ, and frame 2's local table is read.
  EXPECT_NE(img.frames[0].indices, img.frames[1].indices);
  int differing = 0;
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 28; ++x) differing += img.frames[0].ColorAt(x, y) != img.frames[1].ColorAt(x, y);
  EXPECT_GT(differing, 10);
}

TEST(GifDecoderTest, FrameFieldsFromTheGraphicControlExtension) {
  const std::vector<uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  TestFrame a{0, 0, 2, 2, {0, 1, 2, 3}};
  a.delay = 4;
  a.disposal = 3;
  TestFrame b{1, 1, 1, 1, {2}};
  b.delay = 65535;  // saturates instead of wrapping in 16 bits
  b.transparent = 2;
  TestFrame c{0, 0, 1, 1, {1}};
  c.control = false;
  const TGIFImage img = DecodeGif(GifBuilder(2, 2, pal, 1).Add(a).Add(b).Add(c).Build());
  ASSERT_EQ(img.frames.size(), 3u);
  EXPECT_EQ(img.BackgroundColor, 0xFF0000u);
  EXPECT_FALSE(img.Looping);
  EXPECT_EQ(img.frames[0].AnimateInterval, 40);
  EXPECT_EQ(img.frames[0].DisposalMethod, TDisposalMethod::dmRestorePrevious);
  EXPECT_EQ(img.frames[0].ColorAt(1, 1), 0x0000FFu);
  EXPECT_EQ(img.frames[1].AnimateInterval, 65535);
  EXPECT_EQ(img.frames[1].TransparentColor, 0x00FF00u);
  EXPECT_TRUE(img.frames[1].TransparentAt(0, 0));
  EXPECT_TRUE(img.Transparent());
  EXPECT_EQ(img.frames[2].AnimateInterval, 0);
  EXPECT_EQ(img.frames[2].DisposalMethod, TDisposalMethod::dmUndefined);
}

TEST(GifDecoderTest, LargestDelayOfSeveralControlExtensionsWins) {
  std::vector<uint8_t> gif = GifBuilder(1, 1, {0, 0xFFFFFF}).Add(TestFrame{0, 0, 1, 1, {1}}).Build();
  // Put a second extension with a longer delay before the first one.
  const uint8_t ext[] = {0x21, 0xF9, 4, 0, 90, 0, 0, 0};
  const size_t at = 13 + 6;  // after header, screen descriptor and a 2-entry table
  gif.insert(gif.begin() + static_cast<ptrdiff_t>(at), std::begin(ext), std::end(ext));
  const TGIFImage img = DecodeGif(gif);
  EXPECT_EQ(img.frames[0].AnimateInterval, 900);
}

struct UniqueCase {
  const char* name;
  std::vector<uint32_t> colors;
  int transparent;
  uint32_t expected;
};

TEST(GifDecoderTest, TransparentColourIsMadeUnique) {
  const UniqueCase cases[] = {
      {"already unique", {0x102030, 0x405060}, 1, 0x405060},
      {"moves down first", {0x000005, 0x000005, 0x000004}, 0, 0x000003},
      {"up from zero", {0xFF0000, 0xFF0000}, 1, 0xFF0001},
      {"down from 255", {0x0000FF, 0x0000FF}, 0, 0x0000FE},
  };
  for (const UniqueCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFrame f{0, 0, 1, 1, {static_cast<uint8_t>(c.transparent)}};
    f.transparent = c.transparent;
    f.local_colors = c.colors;
    const TGIFImage img = DecodeGif(GifBuilder(1, 1, {}).Add(f).Build());
    EXPECT_EQ(img.frames[0].TransparentColor, c.expected);
  }
}

TEST(GifDecoderTest, InterlacedRowsComeOutInOrder) {
  TestFrame f{0, 0, 1, 11, {}};
  for (uint8_t y = 0; y < 11; ++y) f.indices.push_back(y);
  f.interlaced = true;
  std::vector<uint32_t> pal;
  for (uint32_t i = 0; i < 16; ++i) pal.push_back(i * 0x10);
  const TGIFImage img = DecodeGif(GifBuilder(1, 11, pal).Add(f).Build());
  for (uint8_t y = 0; y < 11; ++y) EXPECT_EQ(img.frames[0].indices[y], y);
}

TEST(GifDecoderTest, ReadsLongLiteralStreamsAcrossClearCodes) {
  TestFrame f{0, 0, 40, 30, {}};
  for (int i = 0; i < 1200; ++i) f.indices.push_back(static_cast<uint8_t>(i * 7));
  std::vector<uint32_t> pal(256);
  const TGIFImage img = DecodeGif(GifBuilder(40, 30, pal).Add(f).Build());
  EXPECT_EQ(img.frames[0].indices, f.indices);
}

TEST(GifDecoderTest, EmptyPictureHasNoFrame) {
  const TGIFImage img = DecodeGif(GifBuilder(5, 5, {0, 1}).Build());
  EXPECT_TRUE(img.frames.empty());
  EXPECT_EQ(img.FrameIndex, -1);
}

struct BadCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* message;
};

TEST(GifDecoderTest, RejectsMalformedStreamsWithClearErrors) {
  const std::vector<uint8_t> good = GifBuilder(2, 2, {0, 1}).Add(TestFrame{0, 0, 2, 2, {0, 1, 1, 0}}).Build();
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)); };
  std::vector<uint8_t> unknown = cut(19);
  unknown.push_back(0x99);
  std::vector<uint8_t> huge = good;
  huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;
  std::vector<uint8_t> short_gce = cut(19);
  for (uint8_t b : {0x21, 0xF9, 2, 0, 0, 0}) short_gce.push_back(b);

  // A frame whose LZW data ends too soon, or holds a code never defined.
  std::vector<uint8_t> head = cut(19);
  for (uint8_t b : {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0}) head.push_back(b);
  std::vector<uint8_t> incomplete = head;
  incomplete.insert(incomplete.end(), {2, 2, 0x44, 0x0A, 0, 0x3B});  // clear, 0, 1, end: 2 of 16 pixels
  std::vector<uint8_t> undefined = head;
  undefined.insert(undefined.end(), {2, 1, 0x3C, 0, 0x3B});  // clear, then code 7 with nothing defined
  std::vector<uint8_t> bad_code_size = head;
  bad_code_size.insert(bad_code_size.end(), {12, 1, 0, 0, 0x3B});

  const BadCase cases[] = {
      {"empty", {}, "GIF picture is truncated"},
      {"not a GIF", {'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "Not a GIF picture"},
      {"header cut", cut(9), "GIF picture is truncated"},
      {"table cut", cut(15), "GIF picture is truncated"},
      {"frame cut", cut(good.size() - 5), "GIF picture is truncated"},
      {"unknown block", unknown, "GIF picture holds an unknown block"},
      {"huge screen", huge, "GIF picture is too large"},
      {"short control extension", short_gce, "GIF graphic control extension is corrupt"},
      {"incomplete image data", incomplete, "GIF image data is incomplete"},
      {"undefined code", undefined, "GIF image data is corrupt"},
      {"code size", bad_code_size, "GIF image data is corrupt"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      DecodeGif(c.bytes);
      ADD_FAILURE() << "accepted";
    } catch (const GifError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(GifDecoderTest, MissingTrailerIsAccepted) {
  std::vector<uint8_t> gif = GifBuilder(1, 1, {0, 1}).Add(TestFrame{0, 0, 1, 1, {1}}).Build();
  gif.pop_back();
  EXPECT_EQ(DecodeGif(gif).frames.size(), 1u);
}

}  // namespace
}  // namespace selvane::ui
