#include "rpc/filter_socket_channel.h"

#include <gtest/gtest.h>

#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"
#include "rpc/transport_filter_tools.h"

namespace selvane {
namespace {

// The filter channel over an in-memory delegate that the test keeps a view of.
struct FilterFixture {
  explicit FilterFixture(std::string_view filters = "{}") {
    auto d = std::make_unique<TRpcMemoryChannel>();
    delegate = d.get();
    channel.SetChannel(std::move(d));
    channel.SetRpcProperties(TRpcProperties{{"Filters", std::string(filters)}});
  }
  std::string Written() const { return std::string(delegate->written().begin(), delegate->written().end()); }
  int Write(std::string_view text) {
    return channel.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  std::string Read(size_t n) {
    Bytes b(n);
    const int got = channel.Read(b);
    return got < 0 ? std::string("<fail>") : std::string(b.begin(), b.begin() + got);
  }
  TRpcFilterSocketChannel channel;
  TRpcMemoryChannel* delegate = nullptr;
};

std::string S(std::initializer_list<uint8_t> b) { return std::string(b.begin(), b.end()); }

TEST(TransportFilterTools, Headers) {
  EXPECT_EQ(EncodeDataLength(0x01020304), (FilterHeader{0x0D, 1, 2, 3, 4}));
  EXPECT_EQ(EncodePublicKeyLength(5), (FilterHeader{0x07, 0, 0, 0, 5}));
  EXPECT_EQ(DecodeDataLen(FilterHeader{0x0D, 0, 0, 1, 0}), 256);
  EXPECT_EQ(DecodeDataLen(FilterHeader{0x07, 0, 0, 0, 9}), 9);
  EXPECT_EQ(DecodeDataLen(FilterHeader{0x06, 0, 0, 0, 0}), -1);
  EXPECT_LT(DecodeDataLen(FilterHeader{0x0D, 0xFF, 0xFF, 0xFF, 0xFF}), 0);
}

TEST(FilterSocketChannel, NoFilterAnswerGivesPassThroughFromTheSixthByte) {
  FilterFixture f;
  f.delegate->Feed(S({6, 0, 0, 0, 0}));
  f.delegate->Feed("{\"result\":[]}");
  EXPECT_EQ(f.channel.GetFlag(), TRpcFilterSocketChannel::kNotNegotiated);
  EXPECT_EQ(f.Write("{\"method\":\"connect\"}"), 20);
  EXPECT_EQ(f.channel.GetFlag(), TRpcFilterSocketChannel::kPassThrough);
  EXPECT_EQ(f.Written(), S({5, 5, 5, 5, 5}) + "{\"method\":\"connect\"}");
  EXPECT_EQ(f.Read(100), "{\"result\":[]}");
  // No second handshake; an empty write sends nothing.
  f.Write("x");
  f.Write("");
  EXPECT_EQ(f.Written(), S({5, 5, 5, 5, 5}) + "{\"method\":\"connect\"}x");
}

TEST(FilterSocketChannel, AServerDemandingAFilterIsRefusedBeforeTheCallersBytes) {
  const std::string block = "{\"ZLibCompression\":{\"CompressMoreThan\":\"1024\"}}";
  FilterFixture f;
  f.delegate->Feed(S({0x0D, 0, 0, 0, static_cast<uint8_t>(block.size())}) + block);
  try {
    f.Write("{\"method\":\"connect\"}");
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(),
                 "Communication filter ZLibCompression is not registered. Filter class needs to be registered in "
                 "order to communicate with the server.");
  }
  EXPECT_EQ(f.Written(), S({5, 5, 5, 5, 5}));
}

TEST(FilterSocketChannel, PublicKeyAndBrokenHandshakesAreRefused) {
  const std::string cases[] = {
      S({0x07, 0, 0, 0, 2}) + "{}",  // public-key exchange
      S({0x09, 1, 2, 3, 4}),         // no length header at all
      S({0x0D, 0, 0, 0, 3}) + "{x}",  // parameters that do not parse
      S({0x0D, 0, 0, 0, 2}) + "[]",   // not an object
      S({0x0D, 0, 0}),                // the answer ends early
  };
  for (const std::string& answer : cases) {
    FilterFixture f;
    f.delegate->Feed(answer);
    EXPECT_THROW(f.Write("payload"), TRpcError);
    EXPECT_EQ(f.Written(), S({5, 5, 5, 5, 5})) << "the caller's bytes must not leave";
  }
}

TEST(FilterSocketChannel, FramesWhenTheServerFramesWithoutFilters) {
  FilterFixture f;
  f.delegate->Feed(S({0x0D, 0, 0, 0, 2}) + "{}");
  f.delegate->Feed(S({0x0D, 0, 0, 0, 0}) + S({0x0D, 0, 0, 0, 5}) + "hello");
  f.Write("abc");
  EXPECT_EQ(f.channel.GetFlag(), TRpcFilterSocketChannel::kFiltering);
  EXPECT_EQ(f.Written(), S({5, 5, 5, 5, 5}) + S({0x0D, 0, 0, 0, 2}) + "{}" + S({0x0D, 0, 0, 0, 3}) + "abc");
  EXPECT_EQ(f.Read(3), "hel");
  EXPECT_TRUE(f.channel.HasLeftover());
  EXPECT_EQ(f.Read(10), "lo");
}

TEST(FilterSocketChannel, FiltersSetting) {
  FilterFixture empty("");
  EXPECT_FALSE(empty.channel.HasFilters());
  FilterFixture braces("{}");
  EXPECT_FALSE(braces.channel.HasFilters());
  EXPECT_THROW(FilterFixture("{\"PC1\":{}}"), TRpcError);
  EXPECT_THROW(FilterFixture("not json"), TRpcError);
}

}  // namespace
}  // namespace selvane
