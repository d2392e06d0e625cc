#include "install/updater_check.h"

#include <gtest/gtest.h>

#include "install/test_updater_image.h"
#include "testing/memory_env.h"

namespace selvane {
namespace {

constexpr char kPath[] = "C:\\Kavel\\ECF\\Selvane_new.exe";

std::string Patched(std::string image, size_t at, std::string_view bytes) {
  image.replace(at, bytes.size(), bytes);
  return image;
}

TEST(CheckNewUpdater, OnlyOneWindowsProgramForThisMachineOfAPlausibleSizePasses) {
  constexpr uint16_t kOther = kRunningMachine == kMachineAmd64 ? kMachineI386 : kMachineAmd64;
  const std::string good = TestUpdaterImage("build 2");
  struct Case {
    const char* what;
    std::string bytes;
    int32_t entries;
    const char* reason;  // nullptr: accepted
  };
  const std::vector<Case> cases = {
      {"a program for this machine", good, 1, nullptr},
      {"a large program", good + std::string(8 << 20, 'x'), 1, nullptr},
      {"an empty container", "", 0, "o pacote deveria conter exatamente um arquivo e contém 0."},
      {"a negative count", good, -3, "o pacote deveria conter exatamente um arquivo e contém 0."},
      {"two entries", good, 2, "o pacote deveria conter exatamente um arquivo e contém 2."},
      {"a few KB of noise", std::string(6000, '\x5A'), 1, "não é um programa do Windows."},
      {"too small", good.substr(0, 1000), 1, "tamanho de 1000 bytes fora do esperado para um programa."},
      {"MZ without PE headers", Patched(good, 0x80, "XX"), 1, "não é um programa do Windows."},
      {"PE headers beyond the file's start", Patched(good, 0x3C, "\xF0\xFF\x00\x00"), 1,
       "não é um programa do Windows."},
      {"a library", TestUpdaterImage("dll", kRunningMachine, 0x2022), 1,
       "não é um programa executável do Windows."},
      {"an object file", TestUpdaterImage("obj", kRunningMachine, 0x0000), 1,
       "não é um programa executável do Windows."},
      {"another machine", TestUpdaterImage("other", kOther), 1, "é um programa para outro processador."},
      {"this machine's code with the other's header", Patched(good, 0x80 + 24, kOther == kMachineI386 ? "\x0B\x01" : "\x0B\x02"), 1,
       "é um programa para outro processador."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryEnv env;
    if (c.entries > 0) env.PutFile(kPath, c.bytes);
    try {
      CheckNewUpdater(env, kPath, c.entries);
      EXPECT_EQ(c.reason, nullptr) << "accepted";
    } catch (const EInvalidUpdater& e) {
      ASSERT_NE(c.reason, nullptr) << e.what();
      EXPECT_EQ(std::string(e.what()), std::string("O atualizador recebido do servidor não é válido: ") + c.reason);
    }
  }
}

}  // namespace
}  // namespace selvane
