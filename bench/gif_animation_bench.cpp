// The busy animation's costs (reading the GIF, one full turn of ticks), and
// what the one-frame cache saves: composing in play order against composing
// each frame from the start, on an animation that builds its picture up from
// small frames (every frame of the busy animation covers the screen, so there
// the two do the same work). Each figure is printed after the table beside
// its floor, measured in the same run: a memcpy of the composed pixels the
// figure produces.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ui/gif_composer.h"
#include "ui/gif_image.h"
#include "ui/gif_test_builder.h"

namespace {

std::vector<uint8_t> BusyGif() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "assets" / "busy.gif";
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void BM_DecodeBusyGif(benchmark::State& state) {
  const std::vector<uint8_t> bytes = BusyGif();
  for (auto _ : state) benchmark::DoNotOptimize(selvane::ui::DecodeGif(bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodeBusyGif);

// Loading the picture as the window does, then one full turn of ticks.
void BM_DecodeAndComposeEveryFrame(benchmark::State& state) {
  const std::vector<uint8_t> bytes = BusyGif();
  for (auto _ : state) {
    const selvane::ui::TGIFImage image = selvane::ui::DecodeGif(bytes);
    selvane::ui::FrameComposer composer;
    for (int i = 0; i < static_cast<int>(image.frames.size()); ++i)
      benchmark::DoNotOptimize(composer.Compose(image, i, true).pixels.data());
  }
}
BENCHMARK(BM_DecodeAndComposeEveryFrame);

// 64 x 64: an opaque first frame, then 63 tiles of 8 x 8 that stay (disposal
// "leave"), each in a place of its own: frame i shows the first frame and i
// tiles, so from scratch it draws i + 1 frames and through the cache one.
const selvane::ui::TGIFImage& BuildUpAnimation() {
  static const selvane::ui::TGIFImage image = [] {
    using selvane::ui::testing::TestFrame;
    selvane::ui::testing::GifBuilder gif(64, 64, {0x00336A, 0xFFFFFF, 0xFF0000, 0x00FF00});
    TestFrame ground{0, 0, 64, 64, std::vector<uint8_t>(64 * 64, 0)};
    ground.disposal = 1;
    gif.Add(ground);
    for (int i = 1; i < 64; ++i) {
      TestFrame tile{(i % 8) * 8, (i / 8) * 8, 8, 8, std::vector<uint8_t>(64, static_cast<uint8_t>(1 + i % 3))};
      tile.disposal = 1;
      gif.Add(tile);
    }
    return selvane::ui::DecodeGif(gif.Build());
  }();
  return image;
}

// One tick's composition while playing: the cache holds the previous frame.
void BM_ComposeInPlayOrder(benchmark::State& state) {
  const selvane::ui::TGIFImage& image = BuildUpAnimation();
  selvane::ui::FrameComposer composer;
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(composer.Compose(image, i, true).pixels.data());
    i = (i + 1) % static_cast<int>(image.frames.size());
  }
}
BENCHMARK(BM_ComposeInPlayOrder);

// The same frames without the cache: every frame built from the start.
void BM_ComposeFromScratch(benchmark::State& state) {
  const selvane::ui::TGIFImage& image = BuildUpAnimation();
  selvane::ui::FrameComposer composer;
  int i = 0;
  for (auto _ : state) {
    composer.Reset();
    benchmark::DoNotOptimize(composer.Compose(image, i, true).pixels.data());
    i = (i + 1) % static_cast<int>(image.frames.size());
  }
}
BENCHMARK(BM_ComposeFromScratch);

// The floor of one tick of the build-up animation: copying one composed picture.
void BM_CopyBuildUpPixels(benchmark::State& state) {
  selvane::ui::FrameComposer composer;
  const std::vector<selvane::ui::Color> from = composer.Compose(BuildUpAnimation(), 0, true).pixels;
  std::vector<selvane::ui::Color> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(selvane::ui::Color));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyBuildUpPixels);

// The floor: copying the composed pixels of `range(0)` frames, already made.
void BM_CopyComposedPixels(benchmark::State& state) {
  const selvane::ui::TGIFImage image = selvane::ui::DecodeGif(BusyGif());
  selvane::ui::FrameComposer composer;
  const std::vector<selvane::ui::Color> frame = composer.Compose(image, 0, true).pixels;
  std::vector<selvane::ui::Color> from(frame.size() * static_cast<size_t>(state.range(0)));
  for (size_t at = 0; at < from.size(); at += frame.size()) std::memcpy(&from[at], frame.data(), frame.size() * 4);
  std::vector<selvane::ui::Color> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(selvane::ui::Color));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyComposedPixels)->Arg(1)->Arg(8);

// Keeps each benchmark's CPU time per iteration for the lines after the table
// (CPU rather than wall time: the build machines share their cores).
class FloorReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.iterations > 0) ns_[r.benchmark_name()] = r.cpu_accumulated_time * 1e9 / static_cast<double>(r.iterations);
  }
  void Summary() const {
    std::printf("\nBeside a memcpy of the composed pixels (same run), CPU ns:\n");
    Line("decode busy.gif (8 frames)", "BM_DecodeBusyGif", "BM_CopyComposedPixels/8");
    Line("decode + compose 8 frames", "BM_DecodeAndComposeEveryFrame", "BM_CopyComposedPixels/8");
    std::printf("Build-up animation (64 x 64, a ground and 63 tiles), beside a memcpy of one picture:\n");
    Line("one tick, cached", "BM_ComposeInPlayOrder", "BM_CopyBuildUpPixels");
    Line("one tick, from the start", "BM_ComposeFromScratch", "BM_CopyBuildUpPixels");
    const auto cached = ns_.find("BM_ComposeInPlayOrder"), scratch = ns_.find("BM_ComposeFromScratch");
    if (cached != ns_.end() && scratch != ns_.end())
      std::printf("  %-28s %10.1f\n", "from the start / cached", scratch->second / cached->second);
  }

 private:
  void Line(const char* what, const std::string& figure, const std::string& floor) const {
    const auto f = ns_.find(figure);
    const auto c = ns_.find(floor);
    if (f == ns_.end() || c == ns_.end()) return;
    std::printf("  %-28s %10.1f   floor %8.1f   ratio %7.1f\n", what, f->second, c->second, f->second / c->second);
  }
  std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  FloorReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Summary();
  benchmark::Shutdown();
  return 0;
}
