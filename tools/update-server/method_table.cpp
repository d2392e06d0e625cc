#include "method_table.h"

namespace selvane::refserver {

namespace {

const ParameterDescription kReturnInt32{kTypeInt32, kDirReturn, "ReturnParameter", 4};
const ParameterDescription kReturnPacket{kTypeVariant, kDirReturn, "ReturnParameter", 0};
const ParameterDescription kListing{kTypeVariant, kDirIn, "CDSCliente", 0};

Method Folder(std::string_view text) { return {text, MethodKind::kFolder, {kListing, kReturnPacket}}; }

}  // namespace

const std::vector<Method>& AllMethods() {
  static const std::vector<Method> methods{
      {"TServidor.GetNumeroAtualizacao", MethodKind::kGetNumeroAtualizacao, {kReturnInt32}},
      {"TServidor.RetornaArquivo",
       MethodKind::kRetornaArquivo,
       {{kTypeWideString, kDirIn, "arquivo", 0}, {kTypeInt32, kDirIn, "NumeroAtualizacao", 4}, kReturnPacket}},
      Folder("TServidor.AtualizaPastaECF"),
      Folder("TServidor.RecompoePastaECF"),
      Folder("TServidor.AtualizaPastaKVL"),
      Folder("TServidor.RecompoePastaKVL"),
      Folder("TServidor.AtualizaPastaNFCE"),
      Folder("TServidor.RecompoePastaNFCE"),
      Folder("TServidor.AtualizaPastaSchemasNFCE"),
      Folder("TServidor.RecompoePastaSchemasNFCE"),
      Folder("TServidor.AtualizaPastaDNF"),
      Folder("TServidor.RecompoePastaDNF"),
      {"TServidor.AtualizaAtualizador", MethodKind::kAtualizaAtualizador, {kListing, kReturnPacket}},
  };
  return methods;
}

const Method* FindMethod(std::string_view command_text) {
  for (const Method& m : AllMethods()) {
    if (m.text == command_text) return &m;
  }
  return nullptr;
}

}  // namespace selvane::refserver
