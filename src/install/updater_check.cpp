#include "install/updater_check.h"

#include <algorithm>
#include <vector>

namespace selvane {

namespace {

constexpr size_t kHeaderBytes = 4096;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDll = 0x2000;

[[noreturn]] void Refuse(const std::string& reason) {
  throw EInvalidUpdater(std::string(kInvalidUpdaterText) + reason);
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, size_t width) {
  uint32_t v = 0;
  for (size_t i = 0; i < width; ++i) v |= uint32_t{b[at + i]} << (8 * i);
  return v;
}

}  // namespace

void CheckNewUpdater(Env& env, const std::string& path, int32_t entries, uint16_t machine) {
  if (entries != 1) {
    Refuse("o pacote deveria conter exatamente um arquivo e contém " + std::to_string(entries < 0 ? 0 : entries) +
           ".");
  }
  std::vector<uint8_t> header;
  uint64_t size = 0;
  {
    auto file = env.OpenRead(path, ShareMode::kReadWrite);
    std::vector<uint8_t> buf(64 * 1024);
    while (size_t n = file->Read(buf.data(), buf.size())) {
      if (header.size() < kHeaderBytes) {
        header.insert(header.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(
                                                                  std::min(n, kHeaderBytes - header.size())));
      }
      size += n;
      if (size > kMaxUpdaterSize) break;
    }
  }
  if (size < kMinUpdaterSize || size > kMaxUpdaterSize) {
    Refuse("tamanho de " + std::to_string(size) + " bytes fora do esperado para um programa.");
  }
  const auto fits = [&](size_t at, size_t width) { return at + width <= header.size(); };
  if (!fits(0, 0x40) || header[0] != 'M' || header[1] != 'Z') Refuse("não é um programa do Windows.");
  const size_t pe = Le(header, 0x3C, 4);
  if (!fits(pe, 26) || Le(header, pe, 4) != 0x00004550) Refuse("não é um programa do Windows.");
  const uint16_t characteristics = static_cast<uint16_t>(Le(header, pe + 22, 2));
  if ((characteristics & kExecutableImage) == 0 || (characteristics & kDll) != 0) {
    Refuse("não é um programa executável do Windows.");
  }
  const uint16_t magic = static_cast<uint16_t>(Le(header, pe + 24, 2));
  const uint16_t file_machine = static_cast<uint16_t>(Le(header, pe + 4, 2));
  const uint16_t expected_magic = machine == kMachineAmd64 ? 0x20B : 0x10B;
  if (file_machine != machine || magic != expected_magic) {
    Refuse("é um programa para outro processador.");
  }
}

}  // namespace selvane
