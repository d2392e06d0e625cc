// The floors of the product benchmark under Wine: the least a Windows program
// must do for the same work, measured in the same Wine as Selvane.exe.
//
//   minimal_client fetch PORT SIZE OUT    receive the cached container of the
//       file of SIZE bytes from the raw peer on 127.0.0.1:PORT (it answers the
//       line "SIZE\n" with the container's bytes), inflate it and write it to
//       OUT: Winsock, zlib, CreateFileW/WriteFile, reused 1 MiB buffers
//   minimal_client small FOLDER COUNT [rename]    create, write and close COUNT
//       text files of 2 to 20 KB in FOLDER (sizes as the benchmark's small
//       files); with rename each through a temporary moved into its place
//   minimal_client rounds PORT FOLDER COUNT    the same files, each asked for
//       on one connection to the raw peer ("SIZE\n"), its container received
//       and inflated, then created, written and closed in FOLDER: one request
//       and its reply at a time, as the update server's connection carries them
//
// Prints the seconds the work took (the data is made before the clock starts).
#include <winsock2.h>
#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <stdexcept>
#include <vector>

#include "../inflate_all.h"

namespace {

constexpr size_t kBuffer = 1 << 20;

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool WriteAll(HANDLE h, const uint8_t* p, size_t n) {
  while (n > 0) {
    DWORD put = 0;
    if (!WriteFile(h, p, static_cast<DWORD>(n), &put, nullptr)) return false;
    p += put;
    n -= put;
  }
  return true;
}

// A connection to 127.0.0.1:PORT, or INVALID_SOCKET.
SOCKET ConnectLoopback(int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

int Fetch(int port, const std::string& size, const std::string& out_path) {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  const SOCKET s = ConnectLoopback(port);
  if (s == INVALID_SOCKET) return 1;
  std::vector<uint8_t> in(kBuffer), out(kBuffer);
  z_stream z{};
  inflateInit(&z);
  const HANDLE h = CreateFileW(Wide(out_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  const std::string ask = size + "\n";
  const double t0 = Now();
  send(s, ask.data(), static_cast<int>(ask.size()), 0);
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    const int n = recv(s, reinterpret_cast<char*>(in.data()), static_cast<int>(in.size()), 0);
    if (n <= 0) break;
    rc = InflateAll(z, in.data(), static_cast<size_t>(n), out, [h](const uint8_t* p, size_t produced) {
      if (!WriteAll(h, p, produced)) throw std::runtime_error("write");
    });
  }
  CloseHandle(h);
  const double seconds = Now() - t0;
  inflateEnd(&z);
  closesocket(s);
  WSACleanup();
  if (rc != Z_STREAM_END) return 1;
  std::printf("%.6f\n", seconds);
  return 0;
}

// The benchmark's small-file sizes: 2048 + (x >> 8) % 18 KiB of a linear congruential x.
std::vector<size_t> SmallSizes(int count) {
  std::vector<size_t> sizes;
  uint32_t x = 7;
  for (int i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    sizes.push_back(2048 + (x >> 8) % (18 * 1024));
  }
  return sizes;
}

std::wstring SmallName(const std::string& folder, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "\\t%04d.txt", i);
  return Wide(folder + name);
}

bool WriteNew(const std::wstring& path, const uint8_t* p, size_t n) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(h, p, n);
  return CloseHandle(h) && written;
}

int Small(const std::string& folder, int count, bool rename) {
  std::vector<std::string> texts;
  const std::string words = "venda caixa cupom fiscal produto estoque cliente pagamento troco\r\n";
  for (size_t size : SmallSizes(count)) {
    std::string text;
    while (text.size() < size) text += words;
    text.resize(size);
    texts.push_back(std::move(text));
  }
  std::vector<std::wstring> names, temps;
  for (int i = 0; i < count; ++i) {
    names.push_back(SmallName(folder, i));
    temps.push_back(names.back() + L".tmp");
  }
  const double t0 = Now();
  for (int i = 0; i < count; ++i) {
    const std::wstring& path = rename ? temps[i] : names[i];
    if (!WriteNew(path, reinterpret_cast<const uint8_t*>(texts[i].data()), texts[i].size())) return 1;
    if (rename && !MoveFileExW(temps[i].c_str(), names[i].c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
  }
  std::printf("%.6f\n", Now() - t0);
  return 0;
}

int Rounds(int port, const std::string& folder, int count) {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  const SOCKET s = ConnectLoopback(port);
  if (s == INVALID_SOCKET) return 1;
  const std::vector<size_t> sizes = SmallSizes(count);
  std::vector<std::wstring> names;
  for (int i = 0; i < count; ++i) names.push_back(SmallName(folder, i));
  std::vector<uint8_t> in(kBuffer), out(kBuffer), text;
  z_stream z{};
  inflateInit(&z);
  const double t0 = Now();
  for (int i = 0; i < count; ++i) {
    const std::string ask = std::to_string(sizes[i]) + "\n";
    send(s, ask.data(), static_cast<int>(ask.size()), 0);
    text.clear();
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {  // the peer sends nothing past the container
      const int n = recv(s, reinterpret_cast<char*>(in.data()), static_cast<int>(in.size()), 0);
      if (n <= 0) return 1;
      rc = InflateAll(z, in.data(), static_cast<size_t>(n), out,
                      [&text](const uint8_t* p, size_t produced) { text.insert(text.end(), p, p + produced); });
    }
    inflateReset(&z);
    // The container's one entry: its header (count, name, size), then the content.
    if (text.size() < sizes[i] || !WriteNew(names[i], text.data() + text.size() - sizes[i], sizes[i])) return 1;
  }
  const double seconds = Now() - t0;
  inflateEnd(&z);
  closesocket(s);
  WSACleanup();
  std::printf("%.6f\n", seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  try {
    if (a.size() == 4 && a[0] == "fetch") return Fetch(std::stoi(a[1]), a[2], a[3]);
    if (a.size() == 4 && a[0] == "rounds") return Rounds(std::stoi(a[1]), a[2], std::stoi(a[3]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "minimal_client: %s\n", e.what());
    return 1;
  }
  if ((a.size() == 3 || a.size() == 4) && a[0] == "small") return Small(a[1], std::stoi(a[2]), a.size() == 4);
  std::fprintf(stderr, "usage: minimal_client fetch PORT SIZE OUT | small FOLDER COUNT [rename] | rounds PORT FOLDER COUNT\n");
  return 2;
}
