// Record sets at the sizes the updater meets: a large folder listing turned
// into a packet, a packet holding one large file saved to disk, and the same
// packet read as a fetch reads it, streamed, beside a plain read of its bytes. Memory is
// counted by replacing the global allocator: the blob case reports its peak
// allocation beyond the packet it was handed, per byte of packet.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <span>
#include <string>

#include "base/byte_order.h"
#include "base/code_page_1252.h"
#include "platform/env.h"
#include "records/packet_stream_reader.h"
#include "records/record_set.h"
#include "testing/memory_file.h"

namespace {

std::atomic<int64_t> g_live{0};
std::atomic<int64_t> g_peak{0};

void Track(int64_t delta) {
  const int64_t now = g_live.fetch_add(delta) + delta;
  int64_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

// Each block carries its size in front so that delete can count it.
void* operator new(size_t n) {
  auto* p = static_cast<size_t*>(std::malloc(n + sizeof(std::max_align_t)));
  if (!p) throw std::bad_alloc();
  *p = n;
  Track(static_cast<int64_t>(n));
  return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}
void operator delete(void* p) noexcept {
  if (!p) return;
  auto* base = reinterpret_cast<size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  Track(-static_cast<int64_t>(*base));
  std::free(base);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace selvane {
namespace {

constexpr TDateTime kWhen = 45366.4375;

void BM_GetDataFolderListing(benchmark::State& state) {
  Windows1252CodePage code_page;
  TRecordSet rs(code_page);
  rs.FieldDefs().Add("Filename", ftString, 100, true);
  rs.FieldDefs().Add("FileDate", ftDateTime, 0, true);
  rs.CreateDataSet();
  for (int64_t i = 0; i < state.range(0); ++i) {
    rs.Insert();
    rs.FieldByName("Filename").SetAsString("Arquivo" + std::to_string(i) + ".dll");
    rs.FieldByName("FileDate").SetAsDateTime(kWhen + static_cast<double>(i) / 1000);
    rs.Post();
  }
  size_t packet_size = 0;
  for (auto _ : state) {
    OleVariant packet = rs.GetData();
    packet_size = packet.bytes().size();
    benchmark::DoNotOptimize(packet);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet_size));
  state.counters["packet_bytes"] = static_cast<double>(packet_size);
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GetDataFolderListing)->Arg(10000)->Unit(benchmark::kMillisecond);

Bytes FileRecordPacket(size_t blob_size) {
  Windows1252CodePage code_page;
  TRecordSet rs(code_page);
  rs.FieldDefs().Add("FileName", ftString, 255);
  rs.FieldDefs().Add("Content", ftBlob);
  rs.FieldDefs().Add("FileDate", ftDateTime);
  rs.CreateDataSet();
  rs.Insert();
  rs.FieldByName("FileName").SetAsString("VendraECF.exe");
  rs.FieldByName("Content").SetAsBytes(Bytes(blob_size, 0x5A));
  rs.FieldByName("FileDate").SetAsDateTime(kWhen);
  rs.Post();
  return std::move(rs.GetData()).TakeBytes();
}

// SetData of a handed-over packet and SaveToFile of its blob: the content is
// written to disk, which is the work this path does (the updater's fetch
// streams instead, below).
void SaveBlob(benchmark::State& state, const std::function<std::unique_ptr<WritableFile>()>& create_file) {
  Windows1252CodePage code_page;
  const Bytes packet = FileRecordPacket(static_cast<size_t>(state.range(0)) << 20);
  double worst_extra = 0;
  for (auto _ : state) {
    state.PauseTiming();
    OleVariant received = OleVariant::FromBytes(packet);  // as the network hands it over
    const int64_t before = g_live.load();
    g_peak.store(before);
    state.ResumeTiming();

    TRecordSet rs(code_page);
    rs.SetData(std::move(received));
    rs.FieldByName("Content").SaveToFile(create_file);
    rs.Close();

    state.PauseTiming();
    // The packet itself was allocated before; count only what came on top.
    worst_extra = std::max(worst_extra, static_cast<double>(g_peak.load() - before));
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
  state.counters["packet_bytes"] = static_cast<double>(packet.size());
  state.counters["peak_extra_bytes"] = worst_extra;
  state.counters["extra_per_packet"] = worst_extra / static_cast<double>(packet.size());
}

// Every byte of the content is read, as the inflater behind a fetch reads it.
uint64_t Touch(std::span<const uint8_t> bytes, uint64_t sum) {
  for (const uint8_t b : bytes) sum = sum * 31 + b;
  return sum;
}

constexpr size_t kPiece = 64 * 1024;  // what one network read hands over

// The fetch's own record work: the packet arrives in pieces, its Content is
// handed on piece by piece and read, the rest is kept and read with SetData.
void BM_StreamedRecordContent(benchmark::State& state) {
  Windows1252CodePage code_page;
  const Bytes packet = FileRecordPacket(static_cast<size_t>(state.range(0)) << 20);
  PacketStreamReader reader;
  double worst_extra = 0;
  for (auto _ : state) {
    const int64_t before = g_live.load();
    g_peak.store(before);
    uint64_t sum = 0;
    reader.Start([](std::span<const uint8_t>) { return std::optional<size_t>(1); }, [](std::span<const uint8_t>) {},
                 [&sum](std::span<const uint8_t> bytes) { sum = Touch(bytes, sum); });
    for (size_t at = 0; at < packet.size(); at += kPiece) {
      reader.Feed(std::span<const uint8_t>(packet).subspan(at, std::min(kPiece, packet.size() - at)));
    }
    const auto kept = reader.Finish();
    TRecordSet rs(code_page);
    rs.SetData(OleVariant::FromBytes(Bytes(kept.begin(), kept.end())));
    benchmark::DoNotOptimize(rs.FieldByName("FileDate").AsDateTime());
    benchmark::DoNotOptimize(sum);
    worst_extra = std::max(worst_extra, static_cast<double>(g_peak.load() - before));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
  state.counters["peak_extra_bytes"] = worst_extra;
}
BENCHMARK(BM_StreamedRecordContent)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(10);

// Its floor: the same pieces read by the same loop, with no packet around them.
void BM_Floor_ReadPieces(benchmark::State& state) {
  const Bytes packet = FileRecordPacket(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    uint64_t sum = 0;
    for (size_t at = 0; at < packet.size(); at += kPiece) {
      sum = Touch(std::span<const uint8_t>(packet).subspan(at, std::min(kPiece, packet.size() - at)), sum);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
}
BENCHMARK(BM_Floor_ReadPieces)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SetDataSaveToFileDisk(benchmark::State& state) {
  const auto root = std::filesystem::temp_directory_path() / ("records_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(root);
  {
    auto disk = NewPosixEnv(root.string());
    SaveBlob(state, [&] { return disk->Create("C:\\VendraECF.exe", ShareMode::kExclusive); });
  }
  std::filesystem::remove_all(root);
}
BENCHMARK(BM_SetDataSaveToFileDisk)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

// Packets shaped to make the reader allocate the most per byte: the smallest
// possible columns, parameters or rows, as many as the counts allow.
Bytes HostilePacket(int shape) {
  Bytes b = {0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0, 0, 0};
  auto u16 = [&](uint32_t v) { AppendLe16(b, static_cast<uint16_t>(v)); };
  auto u32 = [&](uint32_t v) { AppendLe32(b, v); };
  auto column = [&](uint8_t name, uint16_t params) { b.push_back(1); b.push_back(name); u32(0x00010004); u16(0); u16(params); };
  switch (shape) {
    case 0:  // 65535 columns of 10 bytes
      u16(0xFFFF); u32(0); u32(1); u16(0);
      for (uint32_t i = 0; i < 0xFFFF; ++i) column(static_cast<uint8_t>('a' + i % 26), 0);
      u16(0);
      break;
    case 1:  // one column with 65535 parameters of 5 bytes
      u16(1); u32(0); u32(1); u16(0);
      column('a', 0xFFFF);
      for (uint32_t i = 0; i < 0xFFFF; ++i) { b.push_back(0); u32(0); }
      u16(0);
      break;
    default:  // 500000 rows of 2 bytes, one null column
      u16(1); u32(500000); u32(1); u16(0);
      column('a', 0);
      u16(0);
      for (int i = 0; i < 500000; ++i) { b.push_back(0); b.push_back(1); }
      break;
  }
  return b;
}

void BM_SetDataHostileShapes(benchmark::State& state) {
  Windows1252CodePage code_page;
  const Bytes packet = HostilePacket(static_cast<int>(state.range(0)));
  double worst_extra = 0;
  for (auto _ : state) {
    state.PauseTiming();
    OleVariant received = OleVariant::FromBytes(packet);
    const int64_t before = g_live.load();
    g_peak.store(before);
    state.ResumeTiming();
    TRecordSet rs(code_page);
    rs.SetData(std::move(received));
    benchmark::DoNotOptimize(rs.RecordCount());
    rs.Close();
    state.PauseTiming();
    worst_extra = std::max(worst_extra, static_cast<double>(g_peak.load() - before));
    state.ResumeTiming();
  }
  state.SetLabel(state.range(0) == 0 ? "65535 columns" : state.range(0) == 1 ? "65535 parameters" : "500000 rows");
  state.counters["packet_bytes"] = static_cast<double>(packet.size());
  state.counters["extra_per_packet"] = worst_extra / static_cast<double>(packet.size());
}
BENCHMARK(BM_SetDataHostileShapes)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace selvane

BENCHMARK_MAIN();
