#include <gtest/gtest.h>

#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"
#include "rpc/rpc_limits.h"

namespace selvane {
namespace {

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string Written(const std::function<void(TRpcJsonStreamWriter&)>& write) {
  TRpcMemoryChannel channel;
  TRpcJsonStreamWriter writer(channel);
  write(writer);
  writer.Flush();
  return AsText(channel.written());
}

TEST(JsonStreamWriter, StringsAreOneBytePerCodeUnitWithEscapes) {
  struct Case {
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      {u"\u00E9", "\"\xE9\""},
      {u"\u20AC", "\"\\u20AC\""},
      {std::u16string(1, u'\0'), "\"\\u0000\""},
      {u"\u00FF", "\"\xFF\""},
      {u"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
      {u"\x0B\x1F", "\"\\u000B\\u001F\""},
      {u"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
      {u"\u0100", "\"\\u0100\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Written([&](auto& w) { w.WriteString(c.text); }), c.bytes);
  }
  // Program texts are UTF-8 and go out as their code units.
  EXPECT_EQ(Written([](auto& w) { w.WriteString(std::string_view("Atualiza\xC3\xA7\xC3\xA3o")); }),
            "\"Atualiza\xE7\xE3o\"");
}

TEST(JsonStreamWriter, NumbersLiteralsAndDataBlocks) {
  EXPECT_EQ(Written([](auto& w) {
              w.WriteArrayStart();
              w.WriteInt32(-1);
              w.WriteValueSeparator();
              w.WriteBoolean(false);
              w.WriteValueSeparator();
              w.WriteInt64(INT64_MIN);
              w.WriteValueSeparator();
              w.WriteNull();
              w.WriteArrayEnd();
            }),
            "[-1,false,-9223372036854775808,null]");
  const Bytes raw{'}', ']', 0x00, '"', '{'};
  EXPECT_EQ(Written([&](auto& w) { w.WriteDataBlock(raw); }), std::string("{\"data\":[5,}]\0\"{]}", 18));
  EXPECT_EQ(Written([&](auto& w) { w.WriteDataBlock(Bytes{}); }), "{\"data\":[0,]}");
  EXPECT_EQ(Written([&](auto& w) { w.WriteDataBlock(0, {}); }), "{\"data\":[0]}");
  EXPECT_EQ(Written([&](auto& w) { w.WriteDataBlock(-2, Bytes{0x61, 0x2A}); }), "{\"data\":[-2,a*]}");
}

TEST(JsonStreamWriter, MoreBlobAnswerCountIsNineBytes) {
  EXPECT_EQ(Written([](auto& w) { w.WriteMoreBlobAnswer(Bytes{7}, true); }), "{\"data\":[-1       ,\x07]}");
  EXPECT_EQ(Written([](auto& w) { w.WriteMoreBlobAnswer(Bytes(300, 'z'), true); }),
            "{\"data\":[-300     ," + std::string(300, 'z') + "]}");
  EXPECT_EQ(Written([](auto& w) { w.WriteMoreBlobAnswer(Bytes(2, 'q'), false); }), "{\"data\":[2        ,qq]}");
  EXPECT_EQ(Written([](auto& w) { w.WriteMoreBlobAnswer({}, true); }), "{\"data\":[0        ,]}");
}

TEST(JsonStreamWriter, FullBufferGoesOutWholeAndFlushSendsTheRest) {
  TRpcMemoryChannel channel;
  TRpcJsonStreamWriter writer(channel, 8);
  writer.WriteRaw(std::string_view("0123456789ABCDEFGHIJ"));
  EXPECT_EQ(channel.writes().size(), 2u);  // two full buffers
  writer.Flush();
  ASSERT_EQ(channel.writes().size(), 3u);
  EXPECT_EQ(AsText(channel.writes()[0]), "01234567");
  EXPECT_EQ(AsText(channel.writes()[2]), "GHIJ");
  writer.Flush();  // nothing buffered: nothing sent
  EXPECT_EQ(channel.writes().size(), 3u);
}

class FailingChannel : public TRpcChannel {
 public:
  int Read(std::span<uint8_t>) override { return -1; }
  int Write(std::span<const uint8_t>) override { return -1; }
  std::string GetChannelInfo() override { return "failing"; }
};

TEST(JsonStreamWriter, ChannelFailureIsRaised) {
  FailingChannel channel;
  TRpcJsonStreamWriter writer(channel);
  writer.WriteRaw(std::string_view("{}"));
  EXPECT_THROW(writer.Flush(), TRpcError);
}

// Reader over the given bytes, handed out `chunk` bytes per channel read.
struct ReaderFixture {
  explicit ReaderFixture(std::string_view input, size_t chunk = SIZE_MAX, size_t buffer = 64)
      : channel(chunk), reader(channel, buffer) {
    channel.Feed(input);
  }
  TRpcMemoryChannel channel;
  TRpcJsonStreamReader reader;
};

TEST(JsonStreamReader, TokensAcrossSmallReads) {
  for (size_t chunk : {size_t{1}, size_t{3}, SIZE_MAX}) {
    ReaderFixture f(" {\"a\\\"\\u00e9\\u20ACx\\q\":[ -12 ,+7,1.5e3,true,false,null]}\r\n", chunk, 16);
    auto& r = f.reader;
    r.ReadToken(TRpcJsonToken::kObjectStart);
    EXPECT_EQ(r.ReadMemberName(), u"a\"\u00E9\u20ACxq");
    r.ReadToken(TRpcJsonToken::kNameSeparator);
    r.ReadToken(TRpcJsonToken::kArrayStart);
    EXPECT_EQ(r.ReadInt64(), -12);
    EXPECT_TRUE(r.SkipValueSeparator());
    EXPECT_EQ(r.ReadInt32(), 7);
    EXPECT_TRUE(r.SkipValueSeparator());
    EXPECT_EQ(r.ReadInt32(), 1);
    EXPECT_TRUE(r.SkipValueSeparator());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_TRUE(r.SkipValueSeparator());
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.SkipValueSeparator());
    r.ReadNull();
    EXPECT_FALSE(r.SkipValueSeparator());
    r.ReadToken(TRpcJsonToken::kArrayEnd);
    r.ReadToken(TRpcJsonToken::kObjectEnd);
  }
}

TEST(JsonStreamReader, HighBytesBecomeTheSameCodeUnits) {
  ReaderFixture f("\"\xE9\xFF\x80\"");
  EXPECT_EQ(f.reader.ReadString(), u"\u00E9\u00FF\u0080");
}

TEST(JsonStreamReader, DataBlocksAreCountedRawBytes) {
  const std::string input = std::string("[6,]}{\"\0\x01]", 10) + "[-2,ab][0][0,]";
  for (size_t chunk : {size_t{1}, SIZE_MAX}) {
    ReaderFixture f(input, chunk, 4);
    Bytes out;
    EXPECT_EQ(f.reader.ReadDataArray(out), 6);
    EXPECT_EQ(out, (Bytes{']', '}', '{', '"', 0, 1}));
    out.clear();
    EXPECT_EQ(f.reader.ReadDataArray(out), -2);
    EXPECT_EQ(AsText(out), "ab");
    EXPECT_EQ(f.reader.ReadDataArray(out), 0);
    EXPECT_EQ(f.reader.ReadDataArray(out), 0);
    EXPECT_EQ(AsText(out), "ab");
  }
}

TEST(JsonStreamReader, HugeCountReadsOnlyWhatArrives) {
  // The largest count the client takes; storage follows the bytes, not the count.
  ReaderFixture f("[" + std::to_string(kMaxDataBlockBytes) + ",abc");
  Bytes out;
  try {
    f.reader.ReadDataArray(out);
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Read error");
    EXPECT_EQ(e.ErrorCode(), 1);
  }
  EXPECT_EQ(AsText(out), "abc");
  EXPECT_LT(out.capacity(), 4096u);
}

TEST(JsonStreamReader, UnexpectedTokenMessage) {
  ReaderFixture f("{\x01\"x");
  f.reader.ReadToken(TRpcJsonToken::kObjectStart);
  try {
    f.reader.ReadToken(TRpcJsonToken::kArrayStart);
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Expected:  '[' found:  'Unknown' at position:  1\n{#1\"x");
    EXPECT_EQ(e.ErrorCode(), 2);
  }
  // The rest of the buffer was discarded: the next read asks the channel.
  EXPECT_THROW(f.reader.PeekToken(), TRpcError);
}

TEST(JsonStreamReader, TokenNamesInMessages) {
  struct Case {
    std::string input;
    TRpcJsonToken expected;
    std::string message;
  };
  const Case cases[] = {
      {"5", TRpcJsonToken::kString, "Expected:  '\"' found:  '-+0-9.' at position:  0\n5"},
      {"\"s\"", TRpcJsonToken::kNumber, "Expected:  '-+0-9.' found:  '\"' at position:  0\n\"s\""},
      {"null", TRpcJsonToken::kObjectEnd, "Expected:  '}' found:  'null' at position:  0\nnull"},
      {" :", TRpcJsonToken::kValueSeparator, "Expected:  ',' found:  ':' at position:  1\n :"},
  };
  for (const auto& c : cases) {
    ReaderFixture f(c.input);
    try {
      f.reader.ReadToken(c.expected);
      ADD_FAILURE() << c.input;
    } catch (const TRpcError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST(JsonStreamReader, MisspeltWordAndMemberNameErrors) {
  ReaderFixture f("trux");
  try {
    f.reader.ReadBoolean();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Expected:  'true at position:  3\ntrux");
  }
  ReaderFixture g("{x");
  g.reader.ReadReplyObjectStart();
  try {
    g.reader.ReadMemberName();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Unexpected byte at position:  1\n{x");
  }
}

TEST(JsonStreamReader, HeaderBlocksBeforeAReplyAreSkipped) {
  std::string input("\xB7\x00\x00\x00\x0C\x00\x00\x00\x01xyz{", 13);
  ReaderFixture f(input, 2, 8);
  f.reader.ReadReplyObjectStart();
  EXPECT_EQ(f.channel.pending(), 0u);

  ReaderFixture g(std::string("\xB7\x00\x00\x00\x09\x00\x00\x00\x00{", 10));
  try {
    g.reader.ReadReplyObjectStart();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Server uses unsupported streaming protocol");
  }
}

TEST(JsonStreamReader, SkippingObjectsAndValues) {
  ReaderFixture f("{\"a\":{\"}\":[1,{}]},\"b\":\"{\"}X [1,[2,{\"c\":\"]\"}],3] \"s\" -4 true Y");
  f.reader.ReadToken(TRpcJsonToken::kObjectStart);
  f.reader.SkipToObjectEnd();
  EXPECT_EQ(f.reader.ReadRawByte(), 'X');
  f.reader.SkipValue();
  f.reader.SkipValue();
  f.reader.SkipValue();
  f.reader.SkipValue();
  f.reader.PeekToken();
  EXPECT_EQ(f.reader.ReadRawByte(), 'Y');
}

TEST(JsonStreamReader, EmptyChannelIsReadError) {
  ReaderFixture f("");
  try {
    f.reader.PeekToken();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Read error");
    EXPECT_EQ(e.ErrorCode(), 1);
  }
}

}  // namespace
}  // namespace selvane
