// Unpacking fetched containers: in memory (the decoder alone) and through the
// native Env into a temporary folder (as the installer does it, temporary file
// and replacement included). The data is streamed in blocks, so memory stays
// flat whatever the file's size.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "install/container.h"
#include "platform/posix_env.h"
#include "testing/memory_file.h"
#include "testing/scratch_dir.h"

namespace {

// A container of one entry holding `size` bytes of mixed text-like data.
std::string MakeContainer(size_t size) {
  std::string raw;
  auto put32 = [&raw](int32_t v) { raw.append(reinterpret_cast<const char*>(&v), 4); };
  put32(1);
  put32(7);
  raw += "arquivo";
  put32(static_cast<int32_t>(size));
  uint32_t x = 7;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    raw.push_back(static_cast<char>('a' + (x >> 28)));
  }
  raw.push_back('\0');
  uLongf out_size = compressBound(raw.size());
  std::string out(out_size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &out_size, reinterpret_cast<const Bytef*>(raw.data()), raw.size(),
            6);
  out.resize(out_size);
  return out;
}

void BM_UnpackInMemory(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0));
  const std::string container = MakeContainer(size);
  for (auto _ : state) {
    selvane::MemoryFile in(container);
    selvane::UnpackContainer(in, [] { return std::make_unique<selvane::MemorySink>(); });
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
    const std::string container = MakeContainer(size);
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
