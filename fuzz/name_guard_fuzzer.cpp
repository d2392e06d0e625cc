// Arbitrary server texts as file names: a name the guard accepts is a plain
// name that Windows would create as is (no trailing blank or dot), names a
// file directly inside the folder, is no device by an independent reading of
// Windows' rules, and is accepted again unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "install/windows_names.h"
#include "testing/memory_env.h"

namespace {

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Windows' device rule, written out separately from the guard.
bool LooksLikeDevice(std::string_view name) {
  std::string base = UpperAscii(name.substr(0, name.find('.')));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (const char* d : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
    if (base == d) return true;
  if (base.rfind("COM", 0) != 0 && base.rfind("LPT", 0) != 0) return false;
  const std::string digit = base.substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
         digit == "\xC2\xB3";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string name;
  try {
    name = selvane::PlainFileNameFromServer(text);
  } catch (const selvane::EInvalidFileName& e) {
    // The text names what the server sent (as far as a C string carries it).
    if (std::string(e.what()).find(text.substr(0, text.find('\0'))) == std::string::npos) std::abort();
    return 0;
  }
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') std::abort();
  if (name.find_first_of("\\/:") != std::string::npos) std::abort();
  for (unsigned char c : name)
    if (c < 0x20) std::abort();
  if (LooksLikeDevice(name) || selvane::IsDeviceName(name)) std::abort();
  if (name != selvane::WindowsNormalName(selvane::FileNamePart(text))) std::abort();
  if (selvane::PlainFileNameFromServer(name) != name) std::abort();

  // Created in a folder, the name is one file directly inside that folder.
  selvane::MemoryEnv env;
  env.MakeDirs("C:\\Kavel\\ECF\\");
  try {
    env.PutFile("C:\\Kavel\\ECF\\" + name, "x");
  } catch (const selvane::EFileError&) {
    return 0;  // refused by the file layer: nothing was created
  }
  const auto files = env.Files();
  if (files.size() != 1) std::abort();
  const std::string& f = files.front();
  if (f.rfind("C:\\Kavel\\ECF\\", 0) != 0 || f.find('\\', 13) != std::string::npos) std::abort();
  if (env.Folders().size() != 2) std::abort();
  return 0;
}
