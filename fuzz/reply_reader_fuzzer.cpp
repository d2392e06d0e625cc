// Arbitrary server bytes after the filter handshake, read by the update-server
// client through an in-memory channel: the opening (connect reply, metadata
// table) and then the replies to a prepare and execute of three methods
// (rows, tables, server requests, segmented values, error replies).
//
// First input byte: bit 0 set puts a valid opening before the remaining bytes
// (so they are method replies); bits 1-3 choose how many bytes each channel
// read hands out; bit 4 selects 1 KiB buffers instead of 8 KiB; bit 5 a
// packet argument too large for one row.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/ole_variant.h"
#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"

namespace {

using selvane::Bytes;

constexpr std::string_view kOpening =
    "{\"result\":[1,\"UpdateServer\",5]}"
    "{\"result\":[{\"handle\":[0]},{\"table\":[{\"fields\":[0,false,0,1,true]},{\"columns\":[2,"
    "[\"QuoteChar\",26,0,1,0,1,0],[\"MaxCommands\",6,0,4,0,4,0]]}]}]}"
    "{\"data\":[-3,!\"a]}";

class Forwarding : public selvane::TRpcChannel {
 public:
  explicit Forwarding(selvane::TRpcChannel& t) : t_(t) {}
  int Read(std::span<uint8_t> b) override { return t_.Read(b); }
  int Write(std::span<const uint8_t> b) override { return t_.Write(b); }
  std::string GetChannelInfo() override { return "fuzz"; }

 private:
  selvane::TRpcChannel& t_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  static constexpr size_t kChunks[] = {SIZE_MAX, 1, 2, 3, 7, 64, 1000, 4096};
  selvane::TRpcMemoryChannel channel(kChunks[(mode >> 1) & 7]);
  if (mode & 1) channel.Feed(kOpening);
  channel.Feed(std::span(data + 1, size - 1));

  selvane::TServerConnection connection;
  connection.SetHostName("fuzz");
  // Small buffers keep runs fast and make every reply cross buffer refills.
  connection.Params.Set("BufferKBSize", (mode & 0x10) ? "1" : "8");
  connection.SetChannelFactory([&](const selvane::TRpcProperties&) { return std::make_unique<Forwarding>(channel); });
  try {
    connection.Open();
  } catch (const selvane::TRpcError&) {
    return 0;
  }
  selvane::TServidorClient client(connection.DBXConnection());
  try {
    client.GetNumeroAtualizacao();
  } catch (const selvane::TRpcError&) {
  }
  try {
    client.RetornaArquivo("C:\\A.zip", 300);
  } catch (const selvane::TRpcError&) {
  }
  try {
    // Large enough to go in parts when the server asks for them.
    client.AtualizaPastaECF(selvane::OleVariant::FromBytes(Bytes((mode & 0x20) ? 70000 : 300, 0x5A)));
  } catch (const selvane::TRpcError&) {
  }
  return 0;
}
