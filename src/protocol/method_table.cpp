#include "protocol/method_table.h"

namespace selvane {

namespace {

constexpr MethodParameter kNumberResult[] = {{"ReturnParameter", ValueKind::kInt32, true, 4}};
constexpr MethodParameter kFileParameters[] = {
    {"arquivo", ValueKind::kWideString, false, 0},
    {"NumeroAtualizacao", ValueKind::kInt32, false, 4},
    {"ReturnParameter", ValueKind::kPacket, true, 0},
};
constexpr MethodParameter kListingParameters[] = {
    {"CDSCliente", ValueKind::kPacket, false, 0},
    {"ReturnParameter", ValueKind::kPacket, true, 0},
};

constexpr RemoteMethod Folder(ServidorMethod id, std::string_view text, std::string_view folder) {
  return {id, text, MethodKind::kFolder, folder, kListingParameters};
}

constexpr std::array<RemoteMethod, kServidorMethodCount> kMethods{{
    {kGetNumeroAtualizacao, "TServidor.GetNumeroAtualizacao", MethodKind::kGetNumeroAtualizacao, "", kNumberResult},
    {kRetornaArquivo, "TServidor.RetornaArquivo", MethodKind::kRetornaArquivo, "", kFileParameters},
    Folder(kAtualizaPastaECF, "TServidor.AtualizaPastaECF", "ECF"),
    Folder(kRecompoePastaECF, "TServidor.RecompoePastaECF", "ECF"),
    Folder(kAtualizaPastaKVL, "TServidor.AtualizaPastaKVL", "KVL"),
    Folder(kRecompoePastaKVL, "TServidor.RecompoePastaKVL", "KVL"),
    Folder(kAtualizaPastaNFCE, "TServidor.AtualizaPastaNFCE", "NFCE"),
    Folder(kRecompoePastaNFCE, "TServidor.RecompoePastaNFCE", "NFCE"),
    Folder(kAtualizaPastaSchemasNFCE, "TServidor.AtualizaPastaSchemasNFCE", "SchemasNFCE"),
    Folder(kRecompoePastaSchemasNFCE, "TServidor.RecompoePastaSchemasNFCE", "SchemasNFCE"),
    Folder(kAtualizaPastaDNF, "TServidor.AtualizaPastaDNF", "DNF"),
    Folder(kRecompoePastaDNF, "TServidor.RecompoePastaDNF", "DNF"),
    {kAtualizaAtualizador, "TServidor.AtualizaAtualizador", MethodKind::kAtualizaAtualizador, "", kListingParameters},
}};

constexpr bool IdsMatchTheirPlaces() {
  for (size_t i = 0; i < kMethods.size(); ++i) {
    if (kMethods[i].id != i || !kMethods[i].text.starts_with(kServidorClass)) return false;
  }
  return true;
}
static_assert(IdsMatchTheirPlaces(), "every method sits at its own index and carries the class");

}  // namespace

std::string_view RemoteMethod::Name() const { return text.substr(kServidorClass.size()); }

const std::array<RemoteMethod, kServidorMethodCount>& ServidorMethods() { return kMethods; }

const RemoteMethod* FindMethodByText(std::string_view command_text) {
  for (const RemoteMethod& m : kMethods) {
    if (m.text == command_text) return &m;
  }
  return nullptr;
}

const RemoteMethod* FindMethodByName(std::string_view name) {
  for (const RemoteMethod& m : kMethods) {
    if (m.Name() == name) return &m;
  }
  return nullptr;
}

}  // namespace selvane
