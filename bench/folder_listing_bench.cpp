// The folder listing at the sizes of a large edition folder: built from a
// real folder through the POSIX Env (as the worker sends it) and read back as
// the server reads it, at 1,000 to 10,000 files, with the fitted growth
// (Google Benchmark's complexity line: "O(N)" with a small RMS means linear).
// Floor: a plain readdir + stat of the same folder, measured beside the
// built listing ("floor_ms", "ratio") and alone with its own growth.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/code_page_1252.h"
#include "install/folder_listing.h"
#include "platform/posix_env.h"
#include "protocol/packet_layouts.h"
#include "testing/scratch_dir.h"

namespace selvane {
namespace {

// One scratch root with a folder of each size, made once.
struct Folders {
  ScratchDir scratch{"selvane-listing-bench"};
  PosixEnv env{scratch.path()};
  std::string Host(int64_t n) const { return scratch.path() + "/f" + std::to_string(n); }
  std::string Windows(int64_t n) const { return "C:\\f" + std::to_string(n) + "\\"; }
  void Make(int64_t n) {
    if (std::filesystem::exists(Host(n))) return;
    std::filesystem::create_directory(Host(n));
    for (int64_t i = 0; i < n; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/Arquivo%05lld.dll", static_cast<long long>(i));
      std::ofstream(Host(n) + name) << "x";
    }
  }
};

Folders& TheFolders() {
  static Folders folders;
  return folders;
}

// The floor's work: every entry's name and status, nothing else.
int64_t ReaddirStat(const std::string& host) {
  DIR* dir = ::opendir(host.c_str());
  int64_t seen = 0;
  while (const dirent* e = ::readdir(dir)) {
    struct stat st;
    seen += ::stat((host + "/" + e->d_name).c_str(), &st) == 0;
  }
  ::closedir(dir);
  return seen;
}

// Files per second, and the size for the fitted growth.
void CountFiles(benchmark::State& state) {
  state.SetComplexityN(state.range(0));
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
}

#define SELVANE_LISTING_SIZES(bm) \
  BENCHMARK(bm)->Arg(1000)->Arg(3000)->Arg(10000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond)

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_ListingBuilt(benchmark::State& state) {
  Folders& f = TheFolders();
  f.Make(state.range(0));
  // The floor in the same run: the best of three plain passes over the folder.
  double floor = 1e9;
  for (int i = 0; i < 3; ++i) {
    const double t0 = Seconds();
    benchmark::DoNotOptimize(ReaddirStat(f.Host(state.range(0))));
    floor = std::min(floor, Seconds() - t0);
  }
  const double t0 = Seconds();
  for (auto _ : state) benchmark::DoNotOptimize(RetornaListaArquivosPasta(f.env, f.Windows(state.range(0))));
  const double each = (Seconds() - t0) / static_cast<double>(state.iterations());
  state.counters["floor_ms"] = floor * 1e3;
  state.counters["ratio"] = floor / each;  // 1.0: as fast as the plain pass
  CountFiles(state);
}
SELVANE_LISTING_SIZES(BM_ListingBuilt);

void BM_ListingRead(benchmark::State& state) {
  Folders& f = TheFolders();
  f.Make(state.range(0));
  const OleVariant packet = RetornaListaArquivosPasta(f.env, f.Windows(state.range(0)));
  Windows1252CodePage code_page;
  for (auto _ : state) benchmark::DoNotOptimize(ReadListing(code_page, packet));
  CountFiles(state);
}
SELVANE_LISTING_SIZES(BM_ListingRead);

// The floor alone, with its own growth.
void BM_FloorReaddirStat(benchmark::State& state) {
  Folders& f = TheFolders();
  f.Make(state.range(0));
  const std::string host = f.Host(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(ReaddirStat(host));
  CountFiles(state);
}
SELVANE_LISTING_SIZES(BM_FloorReaddirStat);

}  // namespace
}  // namespace selvane

BENCHMARK_MAIN();
