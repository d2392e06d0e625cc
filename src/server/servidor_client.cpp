#include "server/servidor_client.h"

#include "rpc/rpc_command.h"
#include "rpc/rpc_connection.h"
#include "rpc/rpc_error.h"
#include "rpc/variant_stream.h"

namespace selvane {

TServidorClient::TServidorClient(TRpcConnection* connection) : FRpcConnection(connection) {
  if (connection == nullptr) {
    throw TRpcError("Connection cannot be nil.  Make sure the connection has been opened.");
  }
}

TServidorClient::~TServidorClient() {
  // In field order; each command's destruction closes it on the server.
  for (auto& command : commands_) command.reset();
}

size_t TServidorClient::command_count() const {
  size_t n = 0;
  for (const auto& command : commands_) n += command != nullptr;
  return n;
}

TRpcCommand& TServidorClient::Command(ServidorMethod method) {
  auto& command = commands_[method];
  if (!command) {
    auto created = FRpcConnection->CreateCommand();
    created->SetCommandType(std::string(kServerMethodCommandType));
    created->SetText(std::string(ServidorMethodOf(method).text));
    created->Prepare();
    command = std::move(created);
  }
  return *command;
}

int32_t TServidorClient::GetNumeroAtualizacao() {
  TRpcCommand& command = Command(kGetNumeroAtualizacao);
  command.ExecuteUpdate();
  return command.Parameter(ServidorMethodOf(kGetNumeroAtualizacao).ResultOrdinal()).GetInt32();
}

OleVariant TServidorClient::RetornaArquivo(const std::string& arquivo, int32_t NumeroAtualizacao) {
  TRpcCommand& command = Command(kRetornaArquivo);
  command.Parameter(0).SetWideString(arquivo);
  command.Parameter(1).SetInt32(NumeroAtualizacao);
  command.ExecuteUpdate();
  return command.Parameter(ServidorMethodOf(kRetornaArquivo).ResultOrdinal()).GetAsVariant();
}

std::optional<OleVariant> TServidorClient::RetornaArquivo(const std::string& arquivo, int32_t NumeroAtualizacao,
                                                         const std::function<void(std::span<const uint8_t>)>& packet) {
  TRpcCommand& command = Command(kRetornaArquivo);
  command.Parameter(0).SetWideString(arquivo);
  command.Parameter(1).SetInt32(NumeroAtualizacao);
  command.ExecuteUpdate();
  VariantStreamReader stream(packet);
  if (!command.Parameter(ServidorMethodOf(kRetornaArquivo).ResultOrdinal()).ReadStream(
          [&stream](std::span<const uint8_t> part) { stream.Feed(part); })) {
    return OleVariant::Null();
  }
  return stream.Finish();
}

OleVariant TServidorClient::CallPacketMethod(ServidorMethod method, const OleVariant& CDSCliente) {
  TRpcCommand& command = Command(method);
  TRpcParameter& argument = command.Parameter(0);
  argument.SetAsVariant(CDSCliente);
  struct Release {  // the packet is held for the call only
    TRpcParameter& p;
    ~Release() { p.ReleaseValue(); }
  } release{argument};
  command.ExecuteUpdate();
  return command.Parameter(ServidorMethodOf(method).ResultOrdinal()).GetAsVariant();
}

// c: the CDSCliente listing; the short name keeps each forward on one line.
OleVariant TServidorClient::AtualizaPastaECF(const OleVariant& c) { return CallPacketMethod(kAtualizaPastaECF, c); }
OleVariant TServidorClient::RecompoePastaECF(const OleVariant& c) { return CallPacketMethod(kRecompoePastaECF, c); }
OleVariant TServidorClient::AtualizaPastaKVL(const OleVariant& c) { return CallPacketMethod(kAtualizaPastaKVL, c); }
OleVariant TServidorClient::RecompoePastaKVL(const OleVariant& c) { return CallPacketMethod(kRecompoePastaKVL, c); }
OleVariant TServidorClient::AtualizaPastaNFCE(const OleVariant& c) { return CallPacketMethod(kAtualizaPastaNFCE, c); }
OleVariant TServidorClient::RecompoePastaNFCE(const OleVariant& c) {
  return CallPacketMethod(kRecompoePastaNFCE, c);
}
OleVariant TServidorClient::AtualizaPastaSchemasNFCE(const OleVariant& c) {
  return CallPacketMethod(kAtualizaPastaSchemasNFCE, c);
}
OleVariant TServidorClient::RecompoePastaSchemasNFCE(const OleVariant& c) {
  return CallPacketMethod(kRecompoePastaSchemasNFCE, c);
}
OleVariant TServidorClient::AtualizaPastaDNF(const OleVariant& c) { return CallPacketMethod(kAtualizaPastaDNF, c); }
OleVariant TServidorClient::RecompoePastaDNF(const OleVariant& c) { return CallPacketMethod(kRecompoePastaDNF, c); }
OleVariant TServidorClient::AtualizaAtualizador(const OleVariant& c) {
  return CallPacketMethod(kAtualizaAtualizador, c);
}

OleVariant TServidorClient::CallFolderMethod(std::string_view method, const OleVariant& CDSCliente) {
  const RemoteMethod* m = FindMethodByName(method);
  if (m != nullptr && (m->kind == MethodKind::kFolder || m->kind == MethodKind::kAtualizaAtualizador)) {
    return CallPacketMethod(m->id, CDSCliente);
  }
  throw TRpcError("Unknown remote method: " + std::string(method));
}

}  // namespace selvane
