// Unpacking fetched containers: in memory (the reader alone) and through the
// native Env into a temporary folder (as the installer does it, temporary file
// and replacement included). The data is streamed in blocks, so memory stays
// flat whatever the file's size.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "install/container.h"
#include "protocol/container_writer.h"
#include "platform/posix_env.h"
#include "testing/memory_file.h"
#include "testing/scratch_dir.h"

namespace {

// A container of one entry holding `size` bytes of mixed text-like data.
std::string TextContainer(size_t size) {
  selvane::Bytes data(size);
  uint32_t x = 7;
  for (uint8_t& c : data) {
    x = x * 1103515245u + 12345u;
    c = static_cast<uint8_t>('a' + (x >> 28));
  }
  const selvane::Bytes container = selvane::MakeContainer("arquivo", data);
  return std::string(container.begin(), container.end());
}

void BM_UnpackInMemory(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string container = TextContainer(size);
  for (auto _ : state) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(container.data()), container.size());
    selvane::ReadContainer(bytes, [] { return std::make_unique<selvane::MemorySink>(); });
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["ratio"] = static_cast<double>(size) / static_cast<double>(container.size());
}
BENCHMARK(BM_UnpackInMemory)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);

void BM_DescomprimirToDisk(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const selvane::ScratchDir dir("selvane-bench");
  {
    selvane::PosixEnv env(dir.path());
    env.CreateDirectory("C:\\Kavel");
    const std::string container = TextContainer(size);
    auto f = env.Create("C:\\Kavel\\arquivo.zip", selvane::ShareMode::kExclusive);
    f->Write(container.data(), container.size());
    f->Close();
    for (auto _ : state) selvane::Descomprimir(env, "C:\\Kavel\\arquivo.zip", "C:\\Kavel\\VendraECF.exe");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  }
}
BENCHMARK(BM_DescomprimirToDisk)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace

BENCHMARK_MAIN();
