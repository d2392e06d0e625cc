#include "install/windows_names.h"

#include <array>

#include "base/windows_path.h"

namespace selvane {

std::string_view FileNamePart(std::string_view path) {
  auto at = path.find_last_of("\\:");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

namespace {

bool IsReservedDeviceName(std::string_view name) {
  // The device names are reserved whatever extension follows them.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (auto r : kPlain) {
    if (EqualsNoCase(base, r)) return true;
  }
  return base.size() == 4 && (EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT")) &&
         base[3] >= '1' && base[3] <= '9';
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

std::string PlainFileNameFromServer(std::string_view server_path) {
  std::string_view name = FileNamePart(server_path);
  if (name.empty() || name.back() == '.' || name.back() == ' ' || HasForbiddenCharacter(name) ||
      IsReservedDeviceName(name)) {
    throw EInvalidFileName("Nome de arquivo inválido recebido do servidor: \"" + std::string(server_path) +
                           "\"");
  }
  return std::string(name);
}

}  // namespace selvane
