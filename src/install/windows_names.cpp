#include "install/windows_names.h"

#include <array>

#include "base/windows_path.h"

namespace selvane {

std::string_view FileNamePart(std::string_view path) {
  auto at = path.find_last_of("\\:");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view WindowsNormalName(std::string_view name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.remove_suffix(1);
  return name;
}

namespace {

// The superscript digits Windows counts as port numbers, in UTF-8.
constexpr std::array<std::string_view, 3> kSuperscripts = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};

bool IsPortNumber(std::string_view digit) {
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  for (std::string_view s : kSuperscripts) {
    if (digit == s) return true;
  }
  return false;
}

bool HasForbiddenCharacter(std::string_view name) {
  for (unsigned char c : name) {
    if (c < 0x20) return true;
    switch (c) {
      case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
        return true;
      default:
        break;
    }
  }
  return false;
}

}  // namespace

bool IsDeviceName(std::string_view name) {
  // Windows looks at the part before the first dot, without its trailing
  // blanks (and so without trailing dots and blanks of the whole name).
  std::string_view base = WindowsNormalName(name);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 7> kPlain = {"CON",    "PRN",     "AUX",   "NUL",
                                                             "CONIN$", "CONOUT$", "CLOCK$"};
  for (std::string_view r : kPlain) {
    if (EqualsNoCase(base, r)) return true;
  }
  return base.size() >= 4 && (EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT")) &&
         IsPortNumber(base.substr(3));
}

std::string PlainFileNameFromServer(std::string_view server_path) {
  const std::string_view name = WindowsNormalName(FileNamePart(server_path));
  // Dropping trailing dots turns "." and ".." into the empty name.
  if (name.empty() || HasForbiddenCharacter(name) || IsDeviceName(name)) {
    throw EInvalidFileName("Nome de arquivo inválido recebido do servidor: \"" + std::string(server_path) +
                           "\"");
  }
  return std::string(name);
}

}  // namespace selvane
