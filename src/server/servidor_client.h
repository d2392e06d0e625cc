#pragma once
// Proxy of the update server's remote methods (server class TServidor). Each
// method's command is created and prepared at its first call on a proxy and
// executed at every call; destroying the proxy closes its commands on the
// server. Failures of the layers below pass through unchanged.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/ole_variant.h"
#include "protocol/method_table.h"

namespace selvane {

class TRpcCommand;
class TRpcConnection;

class TServidorClient {
 public:
  // Raises TRpcError "Connection cannot be nil.  Make sure the connection has
  // been opened." when `connection` is null.
  explicit TServidorClient(TRpcConnection* connection);
  ~TServidorClient();
  TServidorClient(const TServidorClient&) = delete;
  TServidorClient& operator=(const TServidorClient&) = delete;

  int32_t GetNumeroAtualizacao();
  // The file record data packet of one file.
  OleVariant RetornaArquivo(const std::string& arquivo, int32_t NumeroAtualizacao);
  // The same call (the same requests on the wire), with the data packet handed
  // to `packet` piece by piece as it arrives instead of gathered. Returns
  // nullopt when the result was a packet; otherwise the result, which then
  // carries none (Null, unassigned). A failure of `packet` ends the call.
  std::optional<OleVariant> RetornaArquivo(const std::string& arquivo, int32_t NumeroAtualizacao,
                                           const std::function<void(std::span<const uint8_t>)>& packet);
  // Folder methods: a folder listing in, a fetch list out.
  OleVariant AtualizaPastaECF(const OleVariant& CDSCliente);
  OleVariant RecompoePastaECF(const OleVariant& CDSCliente);
  OleVariant AtualizaPastaKVL(const OleVariant& CDSCliente);
  OleVariant RecompoePastaKVL(const OleVariant& CDSCliente);
  OleVariant AtualizaPastaNFCE(const OleVariant& CDSCliente);
  OleVariant RecompoePastaNFCE(const OleVariant& CDSCliente);
  OleVariant AtualizaPastaSchemasNFCE(const OleVariant& CDSCliente);
  OleVariant RecompoePastaSchemasNFCE(const OleVariant& CDSCliente);
  OleVariant AtualizaPastaDNF(const OleVariant& CDSCliente);
  OleVariant RecompoePastaDNF(const OleVariant& CDSCliente);
  OleVariant AtualizaAtualizador(const OleVariant& CDSCliente);

  // A folder method (or AtualizaAtualizador) by its name without the class,
  // as the editions table names it ("RecompoePastaECF"). Any other name
  // raises TRpcError "Unknown remote method: <name>".
  OleVariant CallFolderMethod(std::string_view method, const OleVariant& CDSCliente);

  // Commands created so far, for tests.
  size_t command_count() const;

 private:
  TRpcCommand& Command(ServidorMethod method);
  OleVariant CallPacketMethod(ServidorMethod method, const OleVariant& CDSCliente);

  TRpcConnection* FRpcConnection;
  bool FInstanceOwner = true;
  // FGetNumeroAtualizacaoCommand ... FAtualizaAtualizadorCommand, in that order.
  std::array<std::unique_ptr<TRpcCommand>, kServidorMethodCount> commands_;
};

}  // namespace selvane
