// The busy animation's costs: reading the GIF, and composing frames in play
// order through the one-frame cache against composing each from the start.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ui/gif_composer.h"
#include "ui/gif_image.h"

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

// One tick's composition while playing: the cache holds the previous frame.
void BM_ComposeInPlayOrder(benchmark::State& state) {
  const selvane::ui::TGIFImage image = selvane::ui::DecodeGif(BusyGif());
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
  const selvane::ui::TGIFImage image = selvane::ui::DecodeGif(BusyGif());
  selvane::ui::FrameComposer composer;
  int i = 0;
  for (auto _ : state) {
    composer.Reset();
    benchmark::DoNotOptimize(composer.Compose(image, i, true).pixels.data());
    i = (i + 1) % static_cast<int>(image.frames.size());
  }
}
BENCHMARK(BM_ComposeFromScratch);

}  // namespace

BENCHMARK_MAIN();
