// End to end: the worker's folder step (SincronizaPasta with the real client
// and the POSIX Env) against the reference server on loopback, its
// containers made and cached before the clock starts, beside minimal clients
// of our own over the same loopback in the same run:
//   big     one 256 MiB file of mixed data (libraries and shared data files
//           of this machine), MB/s, beside raw TCP + zlib inflate + write with
//           reused 1 MiB buffers; and the same reply received through the
//           real client without unpacking (the server's speed);
//   small   2000 text files of 2 to 20 KB into an empty folder and over
//           existing files, files/s, beside create + write + close per file;
//   huge    one 1 GiB file, for memory: peak resident memory beside the
//           256 MiB figure.
// The server runs in a process of its own and every client in a fresh
// process, so each VmHWM (peak resident memory) is that client's alone.
//
//   build/bench/sync_bench [--dir DIR] [--skip-huge | --only-small | --only-big]

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "inflate_all.h"
#include "install/folder_sync.h"
#include "install/recording_window.h"
#include "platform/posix_env.h"
#include "platform/socket.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"
#include "update-server/update_server.h"

namespace fs = std::filesystem;
using namespace selvane;

namespace {

// SELVANE_BENCH_QUICK (inherited by the client processes) shrinks every size,
// so that the test command can run this once to keep it working.
const bool kQuick = std::getenv("SELVANE_BENCH_QUICK") != nullptr;
const uint64_t kBig = kQuick ? 8ull << 20 : 256ull << 20;
const uint64_t kHuge = 1ull << 30;
const int kSmallFiles = kQuick ? 100 : 2000;
constexpr size_t kBuffer = 1 << 20;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Peak resident memory of this process, in MiB.
double VmHwmMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

// ---- Data ------------------------------------------------------------------

// Files this machine ships (libraries, then shared data), concatenated until `size`.
void WriteMixed(const fs::path& out_path, uint64_t size) {
  std::ofstream out(out_path, std::ios::binary);
  uint64_t written = 0;
  std::vector<char> buf(kBuffer);
  for (const char* root : {"/usr/share", "/usr/lib", "/usr/bin"}) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator() && written < size; it.increment(ec)) {
      if (ec || !it->is_regular_file(ec) || it->is_symlink(ec)) continue;
      std::ifstream in(it->path(), std::ios::binary);
      while (in && written < size) {
        in.read(buf.data(), static_cast<std::streamsize>(std::min<uint64_t>(buf.size(), size - written)));
        out.write(buf.data(), in.gcount());
        written += static_cast<uint64_t>(in.gcount());
      }
    }
  }
  // A machine with fewer files repeats what it has.
  std::ifstream again(out_path, std::ios::binary);
  while (written < size) {
    again.read(buf.data(), static_cast<std::streamsize>(std::min<uint64_t>(buf.size(), size - written)));
    if (again.gcount() == 0) {
      again.clear();
      again.seekg(0);
      continue;
    }
    out.write(buf.data(), again.gcount());
    written += static_cast<uint64_t>(again.gcount());
  }
}

// Text files of 2 to 20 KB made of words from the machine's shared texts.
std::vector<std::pair<std::string, std::string>> SmallFiles() {
  std::vector<std::string> words;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator("/usr/share/common-licenses", ec);
       it != fs::recursive_directory_iterator() && words.size() < 50000; it.increment(ec)) {
    std::ifstream in(it->path());
    for (std::string w; in >> w && words.size() < 50000;) words.push_back(w);
  }
  if (words.empty()) words = {"venda", "caixa", "cupom", "fiscal", "produto", "estoque"};
  std::vector<std::pair<std::string, std::string>> files;
  uint32_t x = 7;
  size_t w = 0;
  for (int i = 0; i < kSmallFiles; ++i) {
    x = x * 1103515245u + 12345u;
    const size_t size = 2048 + (x >> 8) % (18 * 1024);
    std::string text;
    while (text.size() < size) {
      text += words[w++ % words.size()];
      text += (w % 12 == 0) ? "\r\n" : " ";
    }
    text.resize(size);
    char name[32];
    std::snprintf(name, sizeof name, "t%04d.txt", i);
    files.emplace_back(name, std::move(text));
  }
  return files;
}

// ---- Server process ----------------------------------------------------------

// The raw peer of the minimal client: sends the cached container of a file as it is.
void ServeRaw(TcpListener& listener, const fs::path& cache_dir) {
  for (;;) {
    std::unique_ptr<TcpSocket> s;
    try {
      s = listener.Accept();
    } catch (const std::exception&) {
      return;
    }
    uint8_t which[64] = {};
    size_t got = 0;
    while (got == 0 || which[got - 1] != '\n') got += s->Read({which + got, sizeof which - got});
    // The cache file of the file of the asked size.
    const uint64_t size = std::stoull(std::string(reinterpret_cast<char*>(which), got - 1));
    fs::path found;
    for (const auto& e : fs::directory_iterator(cache_dir)) {
      if (e.path().filename().string().find("-" + std::to_string(size) + "-") != std::string::npos) found = e.path();
    }
    std::ifstream in(found, std::ios::binary);
    std::vector<uint8_t> buf(kBuffer);
    while (in) {
      in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
      if (in.gcount() > 0) s->WriteAll({buf.data(), static_cast<size_t>(in.gcount())});
    }
    s->Shutdown();
    s->Close();
  }
}

struct Ports {
  uint16_t rpc = 0;
  uint16_t raw = 0;
};

pid_t StartServer(const fs::path& dir, Ports& ports) {
  int pipe_fd[2];
  if (pipe(pipe_fd) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fd[0]);
    refserver::ServerOptions o;
    o.root = (dir / "repo").string();
    o.port = 0;
    o.cache_dir = (dir / "cache").string();
    refserver::UpdateServer server(o);
    const double t0 = Now();
    server.MakeContainersNow();
    std::fprintf(stderr, "server: %llu containers made in %.1f s (the rest came from the cache folder)\n",
                 static_cast<unsigned long long>(server.ContainersMade()), Now() - t0);
    server.Start();
    auto raw = ListenTcp(0);
    Ports p{server.port(), raw->port()};
    if (write(pipe_fd[1], &p, sizeof p) != sizeof p) _exit(1);
    ServeRaw(*raw, dir / "cache");
    _exit(0);
  }
  close(pipe_fd[1]);
  if (read(pipe_fd[0], &ports, sizeof ports) != sizeof ports) throw std::runtime_error("server did not start");
  close(pipe_fd[0]);
  return pid;
}

// ---- Client processes --------------------------------------------------------

struct Figure {
  double seconds = 0;
  double vmhwm_mib = 0;
};

// Runs this program again as `--child ARGS...` and brings back the time and
// peak memory it prints: a fresh process holds nothing of this one's memory.
std::string g_self;

Figure InChild(const std::vector<std::string>& args) {
  int pipe_fd[2];
  if (pipe(pipe_fd) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fd[1], 1);
    close(pipe_fd[0]);
    close(pipe_fd[1]);
    std::vector<std::string> all = {g_self, "--child"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(g_self.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_fd[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(pipe_fd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(pipe_fd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Figure f;
  if (std::sscanf(out.c_str(), "%lf %lf", &f.seconds, &f.vmhwm_mib) != 2) {
    throw std::runtime_error("client process failed: " + args[0]);
  }
  return f;
}

// The best of `runs`: the machine is shared, and the least disturbed run is the one that tells.
Figure Best(const std::vector<std::string>& args, int runs, const std::function<void()>& before = {}) {
  Figure best;
  for (int i = 0; i < runs; ++i) {
    if (before) before();
    const Figure f = InChild(args);
    if (i == 0 || f.seconds < best.seconds) best.seconds = f.seconds;
    best.vmhwm_mib = std::max(best.vmhwm_mib, f.vmhwm_mib);
  }
  return best;
}

void OpenOnLoopback(TServerConnection& connection, uint16_t port) {
  connection.SetHostName("127.0.0.1");
  connection.Params.Set("Port", std::to_string(port));
  connection.Open();
}

// The worker's folder step for C:\Windows\kvl\ against the server's KVL folder.
double Synchronise(const fs::path& client_root, uint16_t port) {
  PosixEnv env(client_root.string());
  RecordingWindow window("ECF");
  TServerConnection connection;
  OpenOnLoopback(connection, port);
  const double t0 = Now();
  SincronizaPasta(env, connection.DBXConnection(), window, 1, {"AtualizaPastaKVL", "C:\\Windows\\kvl\\", std::nullopt, false});
  return Now() - t0;
}

// Each file's reply through the real client, dropped as it arrives: what the
// server and the wire give.
double ReceiveOnly(uint16_t port, const std::vector<std::string>& files) {
  TServerConnection connection;
  OpenOnLoopback(connection, port);
  TServidorClient proxy(connection.DBXConnection());
  uint64_t bytes = 0;
  const double t0 = Now();
  for (const std::string& file : files) {
    proxy.RetornaArquivo(file, 1, [&bytes](std::span<const uint8_t> piece) { bytes += piece.size(); });
  }
  return Now() - t0;
}

// The names of the small files, as the server's KVL folder holds them.
std::vector<std::string> SmallFileNames(int files) {
  std::vector<std::string> names;
  for (int i = 0; i < files; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "KVL\\t%04d.txt", i);
    names.push_back(name);
  }
  return names;
}

// The minimal client: raw TCP, zlib inflate and write, with reused 1 MiB buffers.
double MinimalFetch(uint16_t raw_port, uint64_t file_size, const fs::path& out_path) {
  auto s = ConnectTcp({.host = "127.0.0.1", .port = raw_port});
  const std::string ask = std::to_string(file_size) + "\n";
  const double t0 = Now();
  s->WriteAll({reinterpret_cast<const uint8_t*>(ask.data()), ask.size()});
  std::vector<uint8_t> in(kBuffer), out(kBuffer);
  z_stream z{};
  inflateInit(&z);
  const int fd = ::open(out_path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    size_t n = 0;
    try {
      n = s->Read(in);
    } catch (const std::exception&) {
      break;
    }
    rc = InflateAll(z, in.data(), n, out, [fd](const uint8_t* p, size_t produced) {
      if (::write(fd, p, produced) != static_cast<ssize_t>(produced)) throw std::runtime_error("write");
    });
  }
  ::close(fd);
  inflateEnd(&z);
  return Now() - t0;
}

// The minimal small-file client: create, write and close each file; with
// `rename`, through a temporary put in the file's place, as an all-or-nothing
// replacement must.
double MinimalSmallFiles(const fs::path& folder, bool rename) {
  const auto files = SmallFiles();  // made before the clock starts
  const double t0 = Now();
  for (const auto& [name, text] : files) {
    const fs::path target = folder / name;
    const fs::path temp = rename ? folder / (name + ".tmp") : target;
    const int fd = ::open(temp.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) throw std::runtime_error("write");
    ::close(fd);
    if (rename && ::rename(temp.c_str(), target.c_str()) != 0) throw std::runtime_error("rename");
  }
  return Now() - t0;
}

void FreshFolder(const fs::path& p) {
  fs::remove_all(p);
  fs::create_directories(p);
}

uint64_t CacheFileSize(const fs::path& cache_dir, uint64_t file_size) {
  for (const auto& e : fs::directory_iterator(cache_dir)) {
    if (e.path().filename().string().find("-" + std::to_string(file_size) + "-") != std::string::npos) {
      return fs::file_size(e.path());
    }
  }
  return 0;
}

// "256 MiB", "1 GiB": the labels say the sizes of this run, quick or not.
std::string SizeText(uint64_t bytes) {
  return bytes >= (1ull << 30) && bytes % (1ull << 30) == 0 ? std::to_string(bytes >> 30) + " GiB"
                                                             : std::to_string(bytes >> 20) + " MiB";
}

void Row(const std::string& label, const char* unit, double value, double floor, double vmhwm, double floor_vmhwm) {
  const char* what = label.c_str();
  std::printf("%-34s %10.1f %-7s floor %10.1f  ratio %5.2f   VmHWM %7.1f MiB (floor %6.1f MiB)\n", what, value, unit,
              floor, value / floor, vmhwm, floor_vmhwm);
}

}  // namespace

// One measured client, in its own process: prints its seconds and VmHWM.
int Child(const std::vector<std::string>& a) {
  double seconds = 0;
  const std::string& kind = a.at(0);
  if (kind == "sync") seconds = Synchronise(a.at(1), static_cast<uint16_t>(std::stoi(a.at(2))));
  if (kind == "receive") seconds = ReceiveOnly(static_cast<uint16_t>(std::stoi(a.at(1))), {a.at(2)});
  if (kind == "receive-all") seconds = ReceiveOnly(static_cast<uint16_t>(std::stoi(a.at(1))), SmallFileNames(kSmallFiles));
  if (kind == "minimal") seconds = MinimalFetch(static_cast<uint16_t>(std::stoi(a.at(1))), std::stoull(a.at(2)), a.at(3));
  if (kind == "minimal-small") seconds = MinimalSmallFiles(a.at(1), false);
  if (kind == "minimal-small-rename") seconds = MinimalSmallFiles(a.at(1), true);
  std::printf("%.6f %.3f\n", seconds, VmHwmMiB());
  return 0;
}

int main(int argc, char** argv) {
  g_self = fs::canonical("/proc/self/exe").string();
  if (argc > 1 && std::string(argv[1]) == "--child") {
    try {
      return Child(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "client failed: %s\n", e.what());
      return 1;
    }
  }
  fs::path dir = fs::temp_directory_path() / "selvane-sync-bench";
  bool huge = !kQuick;
  bool big = true;
  bool small_files = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (a == "--skip-huge") {
      huge = false;
    } else if (a == "--only-small") {
      huge = big = false;
    } else if (a == "--only-big") {
      huge = small_files = false;
    } else if (a.starts_with("--benchmark_")) {
      // Google Benchmark's flags, which the test command gives every benchmark.
    } else {
      std::fprintf(stderr, "usage: sync_bench [--dir DIR] [--skip-huge | --only-small | --only-big]\n");
      return 2;
    }
  }
  fs::create_directories(dir / "repo" / "KVL");
  fs::create_directories(dir / "repo" / "updater");
  fs::create_directories(dir / "small" / "KVL");
  fs::create_directories(dir / "small" / "updater");
  fs::create_directories(dir / "cache");
  // One repository per scenario, so that each folder step fetches only its files.
  const fs::path big_repo = dir / "repo";
  const fs::path big_file = big_repo / "KVL" / "big.bin";
  if (!fs::exists(big_file) || fs::file_size(big_file) != kBig) WriteMixed(big_file, kBig);
  const auto small = SmallFiles();
  // A folder kept from a run of another size holds files this one must not fetch.
  std::set<std::string> small_names;
  for (const auto& [name, text] : small) small_names.insert(name);
  for (const auto& e : fs::directory_iterator(dir / "small" / "KVL")) {
    if (!small_names.contains(e.path().filename().string())) fs::remove_all(e.path());
  }
  for (const auto& [name, text] : small) {
    const fs::path p = dir / "small" / "KVL" / name;
    if (!fs::exists(p)) std::ofstream(p, std::ios::binary) << text;
  }
  const fs::path huge_dir = dir / "huge";
  if (huge) {
    fs::create_directories(huge_dir / "KVL");
    fs::create_directories(huge_dir / "updater");
    const fs::path f = huge_dir / "KVL" / "huge.bin";
    if (!fs::exists(f) || fs::file_size(f) != kHuge) WriteMixed(f, kHuge);
  }

  // Each scenario against a server over its own repository.
  auto with_server = [&](const fs::path& repo, const auto& run) {
    const fs::path sdir = dir / ("server-" + repo.filename().string());
    fs::create_directories(sdir);
    fs::remove(sdir / "repo");
    fs::create_directory_symlink(fs::absolute(repo), sdir / "repo");
    Ports ports;
    const pid_t server = StartServer(sdir, ports);
    run(ports, sdir / "cache");
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
  };

  std::printf("Folder step against the reference server on loopback, containers cached; floors by minimal clients\n\n");

  const std::string kvl = "Windows/kvl";
  if (big) with_server(big_repo, [&](const Ports& ports, const fs::path& cache) {
    const uint64_t container = CacheFileSize(cache, kBig);
    std::printf("%s mixed file: container %.1f MB (%.2f of the file)\n", SizeText(kBig).c_str(), container / 1e6,
                static_cast<double>(container) / kBig);
    const fs::path client = dir / "client-big";
    const auto fresh = [&] { FreshFolder(client / kvl); };
    const std::string rpc = std::to_string(ports.rpc);
    const std::string raw = std::to_string(ports.raw);
    const Figure sync = Best({"sync", client.string(), rpc}, 3, fresh);
    const Figure floor = Best({"minimal", raw, std::to_string(kBig), (client / "floor.bin").string()}, 3, fresh);
    const Figure receive = Best({"receive", rpc, "KVL\\big.bin"}, 3);
    const double mb = kBig / 1e6;
    Row("updater, " + SizeText(kBig) + " file", "MB/s", mb / sync.seconds, mb / floor.seconds, sync.vmhwm_mib, floor.vmhwm_mib);
    Row("server: the reply received only", "MB/s", mb / receive.seconds, mb / sync.seconds, receive.vmhwm_mib,
        sync.vmhwm_mib);
    std::printf("  (the last row's floor is the updater: the server serves its reply that many times as fast)\n");
    fs::remove_all(client);
  });

  if (small_files) with_server(dir / "small", [&](const Ports& ports, const fs::path&) {
    const fs::path client = dir / "client-small";
    const std::string rpc = std::to_string(ports.rpc);
    const Figure fresh = Best({"sync", client.string(), rpc}, 3, [&] { FreshFolder(client / kvl); });
    // Over existing files: the client's copies are older, so every file is fetched again.
    const Figure over = Best({"sync", client.string(), rpc}, 3, [&] {
      for (const auto& e : fs::directory_iterator(client / kvl)) {
        fs::last_write_time(e.path(), fs::last_write_time(e.path()) - std::chrono::hours(48));
      }
    });
    const fs::path floor_dir = dir / "client-small-floor";
    const Figure floor_new = Best({"minimal-small", floor_dir.string()}, 3, [&] { FreshFolder(floor_dir); });
    const Figure floor_over = Best({"minimal-small", floor_dir.string()}, 3);
    const Figure rename_new = Best({"minimal-small-rename", floor_dir.string()}, 3, [&] { FreshFolder(floor_dir); });
    const Figure rename_over = Best({"minimal-small-rename", floor_dir.string()}, 3);
    const Figure receive = Best({"receive-all", rpc}, 3);
    const std::string files = std::to_string(kSmallFiles);
    Row("updater, " + files + " new small files", "files/s", kSmallFiles / fresh.seconds, kSmallFiles / floor_new.seconds,
        fresh.vmhwm_mib, floor_new.vmhwm_mib);
    Row("updater, " + files + " over existing files", "files/s", kSmallFiles / over.seconds, kSmallFiles / floor_over.seconds,
        over.vmhwm_mib, floor_over.vmhwm_mib);
    Row("  beside temporary + rename, new", "files/s", kSmallFiles / fresh.seconds, kSmallFiles / rename_new.seconds,
        fresh.vmhwm_mib, rename_new.vmhwm_mib);
    Row("  beside temporary + rename, over", "files/s", kSmallFiles / over.seconds, kSmallFiles / rename_over.seconds,
        over.vmhwm_mib, rename_over.vmhwm_mib);
    Row("server: " + files + " replies received only", "files/s", kSmallFiles / receive.seconds, kSmallFiles / fresh.seconds,
        receive.vmhwm_mib, fresh.vmhwm_mib);
    fs::remove_all(client);
    fs::remove_all(floor_dir);
  });

  if (huge) {
    with_server(huge_dir, [&](const Ports& ports, const fs::path& cache) {
      const uint64_t container = CacheFileSize(cache, kHuge);
      std::printf("%s file: container %.1f MB\n", SizeText(kHuge).c_str(), container / 1e6);
      const fs::path client = dir / "client-huge";
      const auto fresh = [&] { FreshFolder(client / kvl); };
      const Figure sync = Best({"sync", client.string(), std::to_string(ports.rpc)}, 1, fresh);
      const Figure floor =
          Best({"minimal", std::to_string(ports.raw), std::to_string(kHuge), (client / "floor.bin").string()}, 1, fresh);
      const double mb = kHuge / 1e6;
      Row("updater, " + SizeText(kHuge) + " file", "MB/s", mb / sync.seconds, mb / floor.seconds, sync.vmhwm_mib, floor.vmhwm_mib);
      fs::remove_all(client);
    });
  }
  return 0;
}
