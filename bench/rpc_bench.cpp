// Remote calls over loopback TCP against the reference update server, each
// beside the raw TCP figure for the same exchange measured in the same run:
//   - round trips per second of GetNumeroAtualizacao and of RetornaArquivo for
//     a 1 KiB file, beside a raw ping-pong of similar message sizes;
//   - MB/s of RetornaArquivo for a 64 MiB file, its container cached by the
//     server and its reply received part by part, beside a raw one-way
//     transfer of 64 MiB.
// The ratios are printed after the table.

#include <cstdlib>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "platform/socket.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"
#include "update-server/test_repository.h"
#include "update-server/update_service.h"
#include "update-server/update_server.h"

namespace selvane {
namespace {

constexpr size_t kSmallFile = 1024;
// SELVANE_BENCH_QUICK: the test command's one quick run, on an eighth of the
// size and with round trips timed briefly (its figures are printed, not judged).
const bool kQuick = std::getenv("SELVANE_BENCH_QUICK") != nullptr;
const size_t kLargeFile = kQuick ? 8u << 20 : 64u << 20;
const double kRoundTripSeconds = kQuick ? 0.05 : 1.0;

std::string RandomBytes(size_t n) {
  std::mt19937_64 rng(42);
  std::string s(n, '\0');
  for (size_t i = 0; i + 8 <= n; i += 8) {
    const uint64_t v = rng();
    std::memcpy(&s[i], &v, 8);
  }
  return s;
}

// The reference server over a repository holding the two files, and one open
// connection made as the updater makes it.
class RpcSetup {
 public:
  RpcSetup() {
    repo_.Add("ECF/small.bin", RandomBytes(kSmallFile));
    repo_.Add("ECF/large.bin", RandomBytes(kLargeFile));
    refserver::ServerOptions o;
    o.root = repo_.dir();
    o.port = 0;
    server_ = std::make_unique<refserver::UpdateServer>(o);
    // Containers made before any clock runs: the fetches below measure serving, as raw TCP does.
    server_->MakeContainersNow();
    server_->Start();
    conn_.SetHostName("127.0.0.1");
    conn_.Params.Set("Port", std::to_string(server_->port()));
    conn_.Open();
  }
  ~RpcSetup() {
    conn_.Close();
    server_->Stop();
  }
  TRpcConnection* connection() { return conn_.DBXConnection(); }

 private:
  refserver::TestRepository repo_;
  std::unique_ptr<refserver::UpdateServer> server_;
  TServerConnection conn_;
};

RpcSetup& Rpc() {
  static RpcSetup setup;
  return setup;
}

// A raw peer: for every `request` bytes it receives it sends `reply` bytes.
class RawPeer {
 public:
  RawPeer(size_t request, size_t reply) : request_(request), reply_(reply) {
    listener_ = ListenTcp(0);
    thread_ = std::thread([this] { Serve(); });
    client_ = ConnectTcp({.host = "127.0.0.1", .port = listener_->port()});
    buffer_.resize(std::max<size_t>(reply_, 1 << 20));
  }
  ~RawPeer() {
    client_->Shutdown();
    client_->Close();
    thread_.join();
    listener_->Close();
  }
  // One exchange: send the request, read the whole reply.
  void RoundTrip() {
    const Bytes request(request_, 'q');
    client_->WriteAll(request);
    for (size_t got = 0; got < reply_;) got += client_->Read({buffer_.data(), std::min(buffer_.size(), reply_ - got)});
  }

 private:
  void Serve() {
    auto s = listener_->Accept();
    const Bytes reply(reply_, 'r');
    Bytes in(request_);
    try {
      for (;;) {
        for (size_t got = 0; got < request_;) got += s->Read({in.data() + got, request_ - got});
        s->WriteAll(reply);
      }
    } catch (const std::exception&) {
      // the client closed: done
    }
    s->Close();
  }

  size_t request_, reply_;
  std::unique_ptr<TcpListener> listener_;
  std::unique_ptr<TcpSocket> client_;
  std::thread thread_;
  Bytes buffer_;
};

void RoundTripRate(benchmark::State& state) {
  state.counters["round_trips/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate);
}

// Message sizes of the two calls on the wire, roughly: the execute request and
// its reply.
void BM_RawTcp_RoundTrip_Small(benchmark::State& state) {
  RawPeer peer(60, 25);
  for (auto _ : state) peer.RoundTrip();
  RoundTripRate(state);
}
void BM_RawTcp_RoundTrip_1KiB(benchmark::State& state) {
  RawPeer peer(85, kSmallFile + 350);
  for (auto _ : state) peer.RoundTrip();
  RoundTripRate(state);
}
void BM_RawTcp_Transfer_64MiB(benchmark::State& state) {
  RawPeer peer(85, kLargeFile);
  for (auto _ : state) peer.RoundTrip();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeFile));
}

void BM_Rpc_GetNumeroAtualizacao(benchmark::State& state) {
  TServidorClient proxy(Rpc().connection());
  for (auto _ : state) benchmark::DoNotOptimize(proxy.GetNumeroAtualizacao());
  RoundTripRate(state);
}
void BM_Rpc_RetornaArquivo_1KiB(benchmark::State& state) {
  TServidorClient proxy(Rpc().connection());
  for (auto _ : state) benchmark::DoNotOptimize(proxy.RetornaArquivo("ECF\\small.bin", 1));
  RoundTripRate(state);
}
// The reply received through the client as the fetch receives it, part by part
// and dropped: the same one-way bytes as the raw transfer, with the protocol around them.
void BM_Rpc_RetornaArquivo_64MiB(benchmark::State& state) {
  TServidorClient proxy(Rpc().connection());
  uint64_t bytes = 0;
  for (auto _ : state) {
    proxy.RetornaArquivo("ECF\\large.bin", 1, [&bytes](std::span<const uint8_t> piece) { bytes += piece.size(); });
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// The server's own work for one file, without the network: where a call's time goes.
void ServiceRetornaArquivo(benchmark::State& state, size_t size) {
  refserver::TestRepository repo;
  repo.Add("ECF/file.bin", RandomBytes(size));
  refserver::ServerOptions o;
  refserver::UpdateService service(repo.env(), o);
  for (auto _ : state) benchmark::DoNotOptimize(service.RetornaArquivo("ECF\\file.bin", 1));
}
void BM_Service_RetornaArquivo_1KiB(benchmark::State& state) {
  ServiceRetornaArquivo(state, kSmallFile);
  RoundTripRate(state);
}
void BM_Service_RetornaArquivo_64MiB(benchmark::State& state) {
  ServiceRetornaArquivo(state, kLargeFile);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeFile));
}

BENCHMARK(BM_Service_RetornaArquivo_1KiB)->UseRealTime()->MinTime(kRoundTripSeconds / 2);
BENCHMARK(BM_Service_RetornaArquivo_64MiB)->UseRealTime()->Iterations(kQuick ? 1 : 2);
BENCHMARK(BM_RawTcp_RoundTrip_Small)->UseRealTime()->MinTime(kRoundTripSeconds);
BENCHMARK(BM_Rpc_GetNumeroAtualizacao)->UseRealTime()->MinTime(kRoundTripSeconds);
BENCHMARK(BM_RawTcp_RoundTrip_1KiB)->UseRealTime()->MinTime(kRoundTripSeconds);
BENCHMARK(BM_Rpc_RetornaArquivo_1KiB)->UseRealTime()->MinTime(kRoundTripSeconds);
BENCHMARK(BM_RawTcp_Transfer_64MiB)->UseRealTime()->Iterations(kQuick ? 2 : 5);
BENCHMARK(BM_Rpc_RetornaArquivo_64MiB)->UseRealTime()->Iterations(kQuick ? 2 : 3);

// Keeps each benchmark's headline figure for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      // The function's name alone: the settings after it differ in the quick run.
      const std::string full = r.benchmark_name();
      const std::string name = full.substr(0, full.find('/'));
      const auto rt = r.counters.find("round_trips/s");
      if (rt != r.counters.end()) figures_[name] = rt->second.value;
      const auto bytes = r.counters.find("bytes_per_second");
      if (bytes != r.counters.end()) figures_[name] = bytes->second.value / 1e6;
    }
  }
  void Summary() const {
    std::printf("\nRemote call beside raw loopback TCP (same run):\n");
    Line("GetNumeroAtualizacao", "round trips/s", "BM_Rpc_GetNumeroAtualizacao", "BM_RawTcp_RoundTrip_Small");
    Line("RetornaArquivo 1 KiB", "round trips/s", "BM_Rpc_RetornaArquivo_1KiB", "BM_RawTcp_RoundTrip_1KiB");
    Line(kQuick ? "RetornaArquivo 8 MiB" : "RetornaArquivo 64 MiB", "MB/s", "BM_Rpc_RetornaArquivo_64MiB",
         "BM_RawTcp_Transfer_64MiB");
  }

 private:
  void Line(const char* what, const char* unit, const std::string& rpc, const std::string& raw) const {
    const auto a = figures_.find(rpc);
    const auto b = figures_.find(raw);
    if (a == figures_.end() || b == figures_.end()) return;
    std::printf("  %-22s %12.1f %-14s raw TCP %12.1f   ratio %.3f\n", what, a->second, unit, b->second,
                a->second / b->second);
  }
  std::map<std::string, double> figures_;
};

}  // namespace
}  // namespace selvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  selvane::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Summary();
  benchmark::Shutdown();
  return 0;
}
