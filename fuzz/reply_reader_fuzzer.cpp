// Arbitrary server bytes after the filter handshake, read by the update-server
// client through an in-memory channel: the opening (connect reply, metadata
// table) and then the replies to a prepare and execute of three methods
// (rows, tables, server requests, segmented values, error replies).
//
// First input byte: bit 0 set puts a valid opening before the remaining bytes
// (so they are method replies); bits 1-3 choose how many bytes each channel
// read hands out; bit 4 selects 1 KiB buffers instead of 8 KiB; bit 5 a
// packet argument too large for one row.
//
// The same bytes are read a second time, handed out whole: both reads must
// give the same values and the same first error (but for where in its buffer
// a parse error stopped), and the client must send the same bytes, however
// the replies were cut.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

struct Outcome {
  std::vector<std::string> results;  // per step: the value read or the error's text
  Bytes written;
  bool operator==(const Outcome&) const = default;
};

std::string Text(const selvane::OleVariant& v) {
  return std::to_string(static_cast<int>(v.kind())) + ":" + std::string(v.bytes().begin(), v.bytes().end());
}

// Runs one call; false once it failed. After a failed reply the bytes still
// unread depend on how they arrived, so a run makes no call after its first
// failure, as the updater does.
template <typename Call>
bool Step(Outcome& out, Call call) {
  try {
    out.results.push_back("value " + call());
    return true;
  } catch (const selvane::TRpcError& e) {
    // A parse error ends with where it stopped in the read buffer and the
    // buffer's bytes, which depend on how the bytes arrived: compare the rest.
    std::string text = e.what();
    text = text.substr(0, text.find('\n'));
    text = text.substr(0, text.find(" at position:"));
    out.results.push_back("error " + text);
    return false;
  }
}

Outcome Run(std::span<const uint8_t> server, uint8_t mode, size_t chunk) {
  selvane::TRpcMemoryChannel channel(chunk);
  if (mode & 1) channel.Feed(kOpening);
  channel.Feed(server);

  Outcome out;
  selvane::TServerConnection connection;
  connection.SetHostName("fuzz");
  // Small buffers keep runs fast and make every reply cross buffer refills.
  connection.Params.Set("BufferKBSize", (mode & 0x10) ? "1" : "8");
  connection.SetChannelFactory([&](const selvane::TRpcProperties&) { return std::make_unique<Forwarding>(channel); });
  if (Step(out, [&] {
        connection.Open();
        return std::string("opened");
      })) {
    selvane::TServidorClient client(connection.DBXConnection());
    // Large enough to go in parts when the server asks for them.
    const Bytes packet((mode & 0x20) ? 70000 : 300, 0x5A);
    (void)(Step(out, [&] { return std::to_string(client.GetNumeroAtualizacao()); }) &&
           Step(out, [&] { return Text(client.RetornaArquivo("C:\\A.zip", 300)); }) &&
           Step(out, [&] { return Text(client.AtualizaPastaECF(selvane::OleVariant::FromBytes(packet))); }));
  }
  out.written = channel.written();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  static constexpr size_t kChunks[] = {SIZE_MAX, 1, 2, 3, 7, 64, 1000, 4096};
  const std::span<const uint8_t> server(data + 1, size - 1);
  const Outcome cut = Run(server, mode, kChunks[(mode >> 1) & 7]);
  if (Run(server, mode, SIZE_MAX) != cut) abort();
  return 0;
}
