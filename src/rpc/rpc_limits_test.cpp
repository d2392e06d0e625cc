// A server that keeps sending ends the call at the client's limits: each
// hostile reply below goes on for ever, and the read stops with the text of
// the limit it ran into instead of looping or growing without end.

#include "rpc/rpc_limits.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "rpc/filter_socket_channel.h"
#include "rpc/json_client_input_handler.h"
#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"

namespace selvane {
namespace {

// The server's bytes: a prefix, then one unit repeated without end. Counts
// what it handed out, so a test can tell that the client stopped early.
class EndlessChannel : public TRpcChannel {
 public:
  EndlessChannel(std::string prefix, std::string unit) : prefix_(std::move(prefix)), unit_(std::move(unit)) {}
  int Read(std::span<uint8_t> buffer) override {
    size_t n = 0;
    while (n < buffer.size()) {
      const std::string& src = at_ < prefix_.size() ? prefix_ : unit_;
      const size_t from = at_ < prefix_.size() ? at_ : (at_ - prefix_.size()) % unit_.size();
      const size_t take = std::min(buffer.size() - n, src.size() - from);
      std::copy_n(src.begin() + static_cast<ptrdiff_t>(from), take, buffer.begin() + static_cast<ptrdiff_t>(n));
      n += take;
      at_ += take;
    }
    return static_cast<int>(n);
  }
  int Write(std::span<const uint8_t> bytes) override { return static_cast<int>(bytes.size()); }
  std::string GetChannelInfo() override { return "endless"; }
  uint64_t handed_out() const { return at_; }

 private:
  std::string prefix_;
  std::string unit_;
  uint64_t at_ = 0;
};

std::string Header(uint8_t mark, uint32_t length) {
  return std::string{static_cast<char>(mark), static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                     static_cast<char>(length >> 8), static_cast<char>(length)};
}

std::string LimitText(uint64_t limit, const std::string& what) {
  return "The server's reply exceeds the client's limit of " + std::to_string(limit) + " " + what;
}

enum class Reply { kConnect, kPrepare, kExecute };

TEST(RpcLimits, EndlessRepliesStopAtTheirLimit) {
  struct Case {
    const char* name;
    Reply reply;
    std::string prefix;
    std::string unit;
    std::string text;
  };
  const std::string header_block = "\xB7" + std::string("\0\0\0\x09\0\0\0\x01", 8);
  const Case cases[] = {
      {"blanks", Reply::kConnect, "{\"result\":[", " ", LimitText(kMaxBlankRun, "blanks between two tokens")},
      {"string", Reply::kConnect, "{\"result\":[1,\"", "a", LimitText(kMaxStringBytes, "characters in a string")},
      {"escaped string", Reply::kConnect, "{\"result\":[1,\"", "\\n",
       LimitText(kMaxStringBytes, "characters in a string")},
      {"number", Reply::kConnect, "{\"result\":[", "7", LimitText(kMaxNumberChars, "characters in a number")},
      {"header blocks", Reply::kConnect, "", header_block,
       LimitText(kMaxHeaderBlocks, "header blocks before a reply")},
      {"large header block", Reply::kConnect, "\xB7" + std::string("\x7F\0\0\0\0\0\0\x01", 8), "x",
       LimitText(kMaxHeaderBlockBytes, "bytes in a header block")},
      {"extra members", Reply::kConnect, "{\"result\":[1,\"P\",5", ",1",
       LimitText(kMaxSkippedValues, "skipped values")},
      {"nesting", Reply::kPrepare, "{\"result\":[{\"future\":", "[",
       LimitText(kMaxNestingDepth, "nested values")},
      {"long skipped value", Reply::kPrepare, "{\"result\":[{\"future\":[", "1,",
       LimitText(kMaxSkippedValues, "skipped tokens")},
      {"result objects", Reply::kPrepare, "{\"result\":[{\"future\":1}", ",{\"future\":1}",
       LimitText(kMaxSkippedValues, "objects in a result")},
      {"trailing tokens", Reply::kConnect, "{\"result\":[1,\"P\"]", ",1",
       LimitText(kMaxSkippedValues, "skipped tokens")},
      {"error members", Reply::kConnect, "{\"error\":{\"a\":1", ",\"a\":1",
       LimitText(kMaxSkippedValues, "members of an error")},
      {"parameters", Reply::kPrepare, "{\"result\":[{\"parameters\":[99999999,", "[6,0,4,0,0,\"P\",0,4,0],",
       LimitText(kMaxParameters, "parameters")},
      {"columns", Reply::kExecute, "{\"result\":[{\"table\":[{\"fields\":[0,false]},{\"columns\":[99999999,",
       "[\"C\",6,0,4,0,4,0],", LimitText(kMaxColumns, "columns")},
      {"data block", Reply::kExecute, "{\"result\":[{\"data\":[99999999999,", "x",
       LimitText(kMaxDataBlockBytes, "bytes in a data block")},
      {"metadata requests", Reply::kExecute, "", "{\"metadata\":[2,{}]}",
       LimitText(kMaxServerRequests, "server requests before a result")},
      {"callback requests", Reply::kExecute, "", "{\"callback\":[1,x]}",
       LimitText(kMaxServerRequests, "server requests before a result")},
      {"more_blob requests", Reply::kExecute, "", "{\"more_blob\":[0,1,0,0,0]}",
       LimitText(kMaxServerRequests, "server requests before a result")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EndlessChannel channel(c.prefix, c.unit);
    TRpcJsonStreamReader reader(channel, 4096);
    TRpcJsonStreamWriter writer(channel, 4096);
    TRpcJsonClientInputConnectionHandler handler(reader, writer);
    try {
      switch (c.reply) {
        case Reply::kConnect: {
          TRpcConnectMessage m;
          handler.ReadConnectReply(m);
          break;
        }
        case Reply::kPrepare: {
          TRpcPrepareMessage m;
          handler.ReadPrepareReply(m);
          break;
        }
        case Reply::kExecute: {
          TRpcExecuteMessage m;
          handler.ReadExecuteReply(m);
          break;
        }
      }
      ADD_FAILURE() << "an endless reply was read to its end";
    } catch (const TRpcError& e) {
      EXPECT_EQ(e.what(), c.text);
    }
    // Stopped near the limit, not after the channel's whole life.
    EXPECT_LT(channel.handed_out(), 2 * kMaxDataBlockBytes);
  }
}

TEST(RpcLimits, FilteredTransportStopsAtItsLimits) {
  struct Case {
    const char* name;
    std::string answer;  // the server's handshake answer, then its frames without end
    std::string unit;
    std::string text;
  };
  const Case cases[] = {
      {"empty frames", Header(0x0D, 2) + "{}", Header(0x0D, 0), LimitText(kMaxEmptyFrames, "empty frames")},
      {"large frame", Header(0x0D, 2) + "{}" + Header(0x0D, 0x7FFFFFFF), "x",
       LimitText(kMaxFrameBytes, "bytes in a frame")},
      {"filter parameters", Header(0x0D, 0x7FFFFFFF), " ",
       LimitText(kMaxFilterParameterBytes, "bytes of filter parameters")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto endless = std::make_unique<EndlessChannel>(c.answer, c.unit);
    TRpcFilterSocketChannel channel;
    channel.SetChannel(std::move(endless));
    channel.SetRpcProperties(TRpcProperties{{"Filters", "{}"}});
    try {
      const uint8_t request[] = {'{'};
      channel.Write(request);
      uint8_t b[16];
      channel.Read(b);
      ADD_FAILURE() << "an endless stream was read to its end";
    } catch (const TRpcError& e) {
      EXPECT_EQ(e.what(), c.text);
    }
  }
}

}  // namespace
}  // namespace selvane
