#pragma once
// The thirteen remote methods of TServidor as the server describes them to a
// prepare request: parameters in ordinal order, the return value last.

#include <cstdint>
#include <string_view>
#include <vector>

namespace selvane::refserver {

enum class MethodKind { kGetNumeroAtualizacao, kRetornaArquivo, kFolder, kAtualizaAtualizador };

enum ParameterDirection : int32_t { kDirIn = 1, kDirOut = 2, kDirInOut = 3, kDirReturn = 4 };

// Type codes of the parameters these methods use.
enum ParameterType : int32_t { kTypeInt32 = 6, kTypeWideString = 26, kTypeVariant = 35 };

struct ParameterDescription {
  int32_t data_type;
  int32_t direction;
  std::string_view name;
  int32_t size;
};

struct Method {
  std::string_view text;  // "TServidor.AtualizaPastaECF"
  MethodKind kind;
  std::vector<ParameterDescription> parameters;
};

// The method of a command text; nullptr for any other text.
const Method* FindMethod(std::string_view command_text);

// Every method, in the proxy's order.
const std::vector<Method>& AllMethods();

}  // namespace selvane::refserver
