#include "ui/gif_composer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/gif_test_builder.h"

namespace selvane::ui {
namespace {

using testing::GifBuilder;
using testing::TestFrame;

constexpr Color R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, K = 0x000000, W = 0xFFFFFF;
const std::vector<uint32_t> kPalette = {K, R, G, B};  // indices 0..3

std::vector<Color> Row(const ComposedFrame& c) {
  std::vector<Color> row;
  for (int x = 0; x < c.width; ++x) row.push_back(c.At(x, 0));
  return row;
}

TestFrame Strip(int left, int width, uint8_t index, int disposal, int transparent = -1) {
  TestFrame f{left, 0, width, 1, std::vector<uint8_t>(static_cast<size_t>(width), index)};
  f.disposal = disposal;
  f.transparent = transparent;
  return f;
}

struct ComposeCase {
  const char* name;
  std::vector<TestFrame> frames;
  int index;
  std::vector<Color> expected;
};

// The case's frame composed from scratch, and again after playing the frames
// before it in order through the cache: the same picture both ways.
void ExpectComposes(const ComposeCase& c) {
  SCOPED_TRACE(c.name);
  GifBuilder builder(4, 1, kPalette);
  for (const TestFrame& f : c.frames) builder.Add(f);
  const TGIFImage img = DecodeGif(builder.Build());
  FrameComposer fresh(W);
  EXPECT_EQ(Row(fresh.Compose(img, c.index, true)), c.expected) << "from scratch";
  FrameComposer played(W);
  const int last = std::min<int>(c.index, static_cast<int>(img.frames.size()) - 1);
  for (int i = 0; i < last; ++i) played.Compose(img, i, true);
  EXPECT_EQ(Row(played.Compose(img, c.index, true)), c.expected) << "through the cache";
  EXPECT_EQ(played.CacheIndex(), last);
}

// A 4 x 1 screen; the composer's window colour is white.
TEST(GifComposerTest, DisposalMethodsDecideWhatEarlierFramesLeave) {
  const ComposeCase cases[] = {
      {"opaque full frames are themselves", {Strip(0, 4, 1, 2), Strip(0, 4, 2, 2)}, 1, {G, G, G, G}},
      {"leave keeps the earlier frame", {Strip(0, 4, 1, 1), Strip(2, 2, 3, 1)}, 1, {R, R, B, B}},
      {"undefined keeps it too", {Strip(0, 4, 1, 0), Strip(3, 1, 3, 0)}, 1, {R, R, R, B}},
      {"restore background clears its rectangle",
       {Strip(0, 4, 1, 1), Strip(0, 2, 2, 2), Strip(3, 1, 3, 1)}, 2, {W, W, R, B}},
      {"restore background after a partial first frame", {Strip(0, 2, 1, 2), Strip(2, 2, 3, 1)}, 1, {W, W, B, B}},
      {"restore previous is skipped", {Strip(0, 4, 1, 1), Strip(0, 3, 2, 3), Strip(3, 1, 3, 1)}, 2, {R, R, R, B}},
      {"transparent pixels show what lies beneath", {Strip(0, 4, 1, 1), Strip(0, 4, 0, 1, 0)}, 1, {R, R, R, R}},
      {"frames beside the screen change nothing", {Strip(0, 4, 1, 1), Strip(6, 2, 3, 2), Strip(1, 1, 2, 1)}, 2,
       {R, G, R, R}},
      {"index beyond the last frame is lowered", {Strip(0, 4, 1, 1), Strip(1, 1, 3, 1)}, 9, {R, B, R, R}},
  };
  for (const ComposeCase& c : cases) ExpectComposes(c);
}

TEST(GifComposerTest, BackgroundComesFromTheCurrentFramesTransparentColour) {
  // Frame 0 has a transparent colour: it becomes the background and, with
  // Transparent on, the result's transparent colour.
  const TGIFImage img = DecodeGif(GifBuilder(4, 1, kPalette).Add(Strip(1, 2, 1, 1, 3)).Build());
  FrameComposer c(W);
  const ComposedFrame& on = c.Compose(img, 0, true);
  EXPECT_EQ(on.background, B);
  EXPECT_EQ(on.transparent, B);
  EXPECT_EQ(Row(on), (std::vector<Color>{B, R, R, B}));
  c.Reset();
  EXPECT_EQ(c.Compose(img, 0, false).transparent, clNone);
}

TEST(GifComposerTest, PictureBackgroundOnlyForTransparentPictures) {
  // Background index 2 (green). A transparent picture whose frame 0 has no
  // transparent colour uses it; an opaque picture uses the window colour.
  GifBuilder transparent(4, 1, kPalette, 2);
  transparent.Add(Strip(0, 1, 1, 1)).Add(Strip(1, 1, 3, 1, 0));
  FrameComposer a(W);
  EXPECT_EQ(Row(a.Compose(DecodeGif(transparent.Build()), 0, true)), (std::vector<Color>{R, G, G, G}));
  GifBuilder opaque(4, 1, kPalette, 2);
  opaque.Add(Strip(0, 1, 1, 1));
  FrameComposer b(W);
  EXPECT_EQ(Row(b.Compose(DecodeGif(opaque.Build()), 0, true)), (std::vector<Color>{R, W, W, W}));
}

TEST(GifComposerTest, StartsFromTheLastFrameThatHidesEverythingBefore) {
  // In each case a start at the wrong full frame gives another picture than
  // the right one: composed from scratch, every frame before the start is lost.
  TestFrame holed{0, 0, 4, 1, {2, 0, 2, 2}};  // green with a transparent hole at x = 1
  holed.disposal = 1;
  holed.transparent = 0;
  const ComposeCase cases[] = {
      {"an opaque full frame hides what lies before it",
       {Strip(0, 4, 1, 1), Strip(0, 4, 2, 1), Strip(0, 4, 0, 1, 0)}, 2, {G, G, G, G}},
      {"a full frame with a transparent hole is no start", {Strip(0, 4, 1, 1), holed}, 1, {G, R, G, G}},
      {"a full frame that restores the previous picture is no start for the frames after it",
       {Strip(0, 4, 1, 1), Strip(0, 4, 2, 3), Strip(3, 1, 3, 1)}, 2, {R, R, R, B}},
      {"a full frame that restores the previous picture is its own start",
       {Strip(0, 4, 1, 1), Strip(0, 4, 2, 3)}, 1, {G, G, G, G}},
      {"a reserved disposal leaves the frame, as the cached path does",
       {Strip(0, 4, 1, 5), Strip(3, 1, 3, 1)}, 1, {R, R, R, B}},
  };
  for (const ComposeCase& c : cases) ExpectComposes(c);
}

TEST(GifComposerTest, EmptyPictureComposesNothing) {
  FrameComposer c(W);
  const ComposedFrame& f = c.Compose(TGIFImage{}, 0, true);
  EXPECT_TRUE(f.pixels.empty());
  EXPECT_EQ(c.CacheIndex(), -1);
}

}  // namespace
}  // namespace selvane::ui
