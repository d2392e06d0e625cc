// Arbitrary server bytes through the filter handshake and its frames. The
// client writes two messages and reads until the bytes run out; the same
// input is then replayed with the server's bytes handed out one at a time and
// read one at a time. Both runs must agree on every written and read byte and
// on how they end, what the client wrote must be the query followed by the
// messages (plain, or each in one frame after the "{}" reply), and nothing
// read may be more than the server sent.
//
// Input: the server's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rpc/filter_socket_channel.h"
#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"
#include "rpc/transport_filter_tools.h"

using namespace selvane;

namespace {

void Require(bool ok) {
  if (!ok) abort();
}

constexpr std::string_view kFirst = "{\"method\":\"connect\"}";
constexpr std::string_view kSecond = "{\"method\":\"close\"}";

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

struct Outcome {
  Bytes written;
  Bytes read;
  std::string error;  // empty when the run ended at the end of the bytes
  int flag = 0;
  bool operator==(const Outcome&) const = default;
};

Outcome Run(std::span<const uint8_t> server, size_t max_read, size_t read_size) {
  auto delegate = std::make_unique<TRpcMemoryChannel>(max_read);
  TRpcMemoryChannel* memory = delegate.get();
  memory->Feed(server);
  TRpcFilterSocketChannel channel;
  channel.SetChannel(std::move(delegate));
  channel.SetRpcProperties(TRpcProperties{{"Filters", "{}"}});
  channel.Open();
  Outcome out;
  try {
    Require(channel.Write(AsBytes(kFirst)) == static_cast<int>(kFirst.size()));
    Require(channel.Write(AsBytes(kSecond)) == static_cast<int>(kSecond.size()));
    Bytes buffer(read_size);
    while (true) {
      const int n = channel.Read(buffer);
      if (n < 0) break;  // the pass-through delegate has nothing more
      Require(n > 0 && static_cast<size_t>(n) <= buffer.size());
      out.read.insert(out.read.end(), buffer.begin(), buffer.begin() + n);
    }
  } catch (const TRpcError& e) {
    out.error = e.what();
  }
  out.written = memory->written();
  out.flag = channel.GetFlag();
  return out;
}

Bytes Frame(std::string_view s) {
  const FilterHeader h = EncodeDataLength(static_cast<uint32_t>(s.size()));
  Bytes b(h.begin(), h.end());
  b.insert(b.end(), s.begin(), s.end());
  return b;
}

Bytes Cat(std::initializer_list<std::span<const uint8_t>> parts) {
  Bytes b;
  for (auto p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> server(data, size);
  const Outcome whole = Run(server, SIZE_MAX, 16384);
  const Outcome bytewise = Run(server, 1, 1);
  Require(whole == bytewise);

  const Outcome& o = whole;
  Require(o.read.size() + 5 <= size || o.read.empty());
  const Bytes query(kFilterQuery.begin(), kFilterQuery.end());
  switch (o.flag) {
    case TRpcFilterSocketChannel::kPassThrough:
      // The server's bytes after its answer, as they came.
      Require(o.error.empty());
      Require(o.written == Cat({query, AsBytes(kFirst), AsBytes(kSecond)}));
      Require(o.read == Bytes(data + 5, data + size));
      break;
    case TRpcFilterSocketChannel::kFiltering: {
      Require(o.written == Cat({query, Frame("{}"), Frame(kFirst), Frame(kSecond)}));
      // Frames deliver their content only: what was read left out at least
      // the answer ("{}" in a frame) and one frame header.
      Require(o.read.empty() || o.read.size() + 12 <= size);
      break;
    }
    default:
      // The handshake failed: only the query left, none of the caller's bytes.
      Require(!o.error.empty());
      Require(o.written == query);
      Require(o.read.empty());
  }
  // A valid no-filter answer always gives pass-through.
  if (size >= 5 && FilterHeader{data[0], data[1], data[2], data[3], data[4]} == kNoFilter) {
    Require(o.flag == TRpcFilterSocketChannel::kPassThrough);
  }
  // Header coding round trip.
  if (size >= 4) {
    const uint32_t n = (uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3]) & 0x7FFFFFFF;
    Require(DecodeDataLen(EncodeDataLength(n)) == n);
    Require(DecodeDataLen(EncodePublicKeyLength(n)) == n);
  }
  return 0;
}
