#pragma once
// The thirteen remote methods of the server class TServidor: their command
// texts, what each one does and its parameters in ordinal order, the return
// value last. The client's proxy calls them by these texts, the reference
// server describes them from this table in its prepare answers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace selvane {

// The methods in the proxy's order, which is also the order of its commands.
enum ServidorMethod : size_t {
  kGetNumeroAtualizacao,
  kRetornaArquivo,
  kAtualizaPastaECF,
  kRecompoePastaECF,
  kAtualizaPastaKVL,
  kRecompoePastaKVL,
  kAtualizaPastaNFCE,
  kRecompoePastaNFCE,
  kAtualizaPastaSchemasNFCE,
  kRecompoePastaSchemasNFCE,
  kAtualizaPastaDNF,
  kRecompoePastaDNF,
  kAtualizaAtualizador,
  kServidorMethodCount,
};

enum class MethodKind {
  kGetNumeroAtualizacao,  // no input; the update number
  kRetornaArquivo,        // a file's text and the update number in; a file record out
  kFolder,                // a folder listing in; a fetch list out
  kAtualizaAtualizador,   // the updater's one-record listing in; a fetch list out
};

// How a parameter's value travels; the remote layer gives each its type code.
enum class ValueKind { kInt32, kWideString, kPacket };

struct MethodParameter {
  std::string_view name;
  ValueKind value;
  bool is_return;
  int32_t size;  // as the server describes it: 4 for integers, else 0
};

struct RemoteMethod {
  ServidorMethod id;
  std::string_view text;  // "TServidor.AtualizaPastaECF"
  MethodKind kind;
  // Folder methods: the folder their name carries ("ECF", "SchemasNFCE"); else empty.
  std::string_view folder;
  std::span<const MethodParameter> parameters;

  // The name without the class: "AtualizaPastaECF".
  std::string_view Name() const;
  // The ordinal of the return value, after the last input.
  size_t ResultOrdinal() const { return parameters.size() - 1; }
};

inline constexpr std::string_view kServidorClass = "TServidor.";

// Every method, indexed by ServidorMethod.
const std::array<RemoteMethod, kServidorMethodCount>& ServidorMethods();

inline const RemoteMethod& ServidorMethodOf(ServidorMethod id) { return ServidorMethods()[id]; }

// The method of a command text ("TServidor.RetornaArquivo"); nullptr for any other text.
const RemoteMethod* FindMethodByText(std::string_view command_text);

// The method of a name without the class ("RetornaArquivo"); nullptr for any other name.
const RemoteMethod* FindMethodByName(std::string_view name);

}  // namespace selvane
