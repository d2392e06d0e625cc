#include "rpc/field_codec.h"

#include <gtest/gtest.h>

#include "rpc/rpc_error.h"
#include "rpc/variant_stream.h"

namespace selvane {
namespace {

Bytes Int(int64_t v) {
  Bytes row;
  AppendIntegerField(row, v);
  return row;
}

struct IntCase {
  int64_t value;
  Bytes bytes;
};

TEST(FieldCodec, IntegersEncodeSignAndShortestMagnitude) {
  const IntCase cases[] = {
      {0, {0x60}},
      {255, {0x61, 0xFF}},
      {256, {0x62, 0x01, 0x00}},
      {300, {0x62, 0x01, 0x2C}},
      {42, {0x61, 0x2A}},
      {-1, {0x21, 0x01}},
      {-300, {0x22, 0x01, 0x2C}},
      {2147483647, {0x64, 0x7F, 0xFF, 0xFF, 0xFF}},
      {-2147483648LL, {0x24, 0x80, 0x00, 0x00, 0x00}},
      {INT64_MIN, {0x28, 0x80, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Int(c.value), c.bytes);
    EXPECT_EQ(FieldLength(c.bytes), c.bytes.size());
    EXPECT_EQ(DecodeInt64Field(c.bytes), c.value);
    if (c.value >= INT32_MIN && c.value <= INT32_MAX) {
      EXPECT_EQ(DecodeInt32Field(c.bytes), static_cast<int32_t>(c.value));
    }
  }
}

TEST(FieldCodec, NullAndBooleanFields) {
  Bytes row;
  AppendNullField(row);
  AppendBooleanField(row, true);
  AppendBooleanField(row, false);
  EXPECT_EQ(row, (Bytes{0xC0, 0x60, 0x20}));
  EXPECT_EQ(DecodeInt32Field(FieldAt(row, 0)), std::nullopt);
  EXPECT_EQ(DecodeBooleanField(FieldAt(row, 1)), true);
  EXPECT_EQ(DecodeBooleanField(FieldAt(row, 2)), false);
  // Any header from 0x80 up is null, not only the client's 0xC0.
  EXPECT_TRUE(IsNullField(Bytes{0x80}));
  EXPECT_EQ(DecodeWideStringField(Bytes{0xFF}), std::nullopt);
}

TEST(FieldCodec, FieldLengthFollowsEveryHeaderForm) {
  struct Case {
    Bytes field;
    size_t length;
  };
  const Case cases[] = {
      {{0xC0}, 1},
      {{0x23, 1, 2, 3}, 4},
      {{0x02}, 1},
      {{0x10, 0x00, 0x02, 9, 9}, 5},
      {{0x50, 0x00, 0x01, 9}, 4},
      {{0x40, 0, 0, 0, 2, '{', '}'}, 7},
      {{0x08, 0, 1, 0, 0}, 5},
      {{0x09, 0, 0, 0, 4, 0x22, 7, 7}, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.field));
    EXPECT_EQ(FieldLength(c.field), c.length);
  }
}

TEST(FieldCodec, MalformedFieldsRaiseInsteadOfOverrunning) {
  const Bytes cases[] = {
      {},                  // nothing
      {0x23, 1},           // inline length beyond the row
      {0x10, 0x00},        // truncated two-byte length
      {0x10, 0xFF, 0xFF},  // length beyond the row
      {0x40, 0xFF, 0xFF, 0xFF, 0xFF},
      {0x09, 0, 0, 0},
      {0x00, 'a', 0},  // zero-ended strings are not exchanged
      {0x05},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(testing::PrintToString(row));
    EXPECT_THROW(FieldLength(row), TRpcError);
  }
  EXPECT_THROW(FieldAt(Bytes{0x60, 0x60}, 2), TRpcError);
}

TEST(FieldCodec, StringBytesSwitchToTwoBytesAtFirstUnitFromFF) {
  struct Case {
    std::u16string text;
    Bytes field;
  };
  const Case cases[] = {
      {u"", {0x20}},
      {u"\u00E9", {0x21, 0xE9}},
      {u"\u00FF", {0x23, 0xFF, 0x00, 0xFF}},
      {u"a\u20ACb", {0x26, 'a', 0xFF, 0x20, 0xAC, 0x00, 'b'}},
      {u"C:\\A.zip", {0x28, 'C', ':', '\\', 'A', '.', 'z', 'i', 'p'}},
      {std::u16string(1, u'\0'), {0x21, 0x00}},
  };
  for (const auto& c : cases) {
    Bytes row;
    const Bytes e = EncodeStringBytes(c.text);
    EXPECT_EQ(AppendStringField(row, e, 1000), e.size());
    EXPECT_EQ(row, c.field);
    EXPECT_EQ(DecodeWideStringField(row), c.text);
  }
}

TEST(FieldCodec, StringHeaderChangesAt32Bytes) {
  Bytes row31, row32;
  AppendStringField(row31, EncodeStringBytes(std::u16string(31, u'x')), 1000);
  AppendStringField(row32, EncodeStringBytes(std::u16string(32, u'x')), 1000);
  EXPECT_EQ(row31[0], 0x3F);
  EXPECT_EQ(Bytes(row32.begin(), row32.begin() + 3), (Bytes{0x10, 0x00, 0x20}));
  EXPECT_EQ(DecodeWideStringField(row32), std::u16string(32, u'x'));
}

TEST(FieldCodec, StringTooLongForInlineSpaceStartsSegmented) {
  Bytes row;
  const Bytes e = EncodeStringBytes(std::u16string(40, u'y'));
  EXPECT_EQ(AppendStringField(row, e, 10), 10u);
  EXPECT_EQ(Bytes(row.begin(), row.begin() + 3), (Bytes{0x50, 0x00, 0x0A}));
  EXPECT_EQ(row.size(), 13u);
  // A string reader cannot silently take the first part for the whole value.
  EXPECT_THROW(DecodeWideStringField(row), TRpcError);
}

TEST(FieldCodec, StringDecodingRejectsNonStringForms) {
  EXPECT_THROW(DecodeWideStringField(Bytes{0x08, 0, 0, 0, 1}), TRpcError);
  EXPECT_THROW(DecodeWideStringField(Bytes{0x02}), TRpcError);
  // An odd byte after the switch byte is a broken value, not a character.
  EXPECT_THROW(DecodeWideStringField(Bytes{0x22, 0xFF, 0x20}), TRpcError);
  EXPECT_EQ(DecodeAnsiStringField(Bytes{0x22, 0xFF, 'a'}), std::string("\xFF" "a"));
}

TEST(FieldCodec, InlineSpaceRule) {
  EXPECT_EQ(InlineSpace(0, 1021952), 65535u);
  EXPECT_EQ(InlineSpace(0, 2000), 1997u);
  EXPECT_EQ(InlineSpace(973, 2000), 1024u);  // 973 + 1027 = 2000 still fits
  EXPECT_EQ(InlineSpace(974, 2000), 1024u);  // beyond: the fixed 1024
  EXPECT_EQ(InlineSpace(0, 1500), 1497u);
  EXPECT_EQ(InlineSpace(600, 1500), 1024u);
}

TEST(FieldCodec, ThreeHundredBytePacketBecomesA312ByteField) {
  Bytes packet(300);
  for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i * 7);
  const Bytes stream = VariantToStream(OleVariant::FromBytes(packet));
  ASSERT_EQ(stream.size(), 309u);
  Bytes row;
  EXPECT_EQ(AppendStreamField(row, stream, InlineSpace(0, 1021952)), 309u);
  ASSERT_EQ(row.size(), 312u);
  const Bytes head{0x10, 0x01, 0x35, 0x03, 0x2C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(Bytes(row.begin(), row.begin() + 12), head);
  EXPECT_EQ(Bytes(row.begin() + 12, row.end()), packet);

  const StreamField f = ParseStreamField(FieldAt(row, 0));
  EXPECT_EQ(f.kind, StreamField::Kind::kComplete);
  EXPECT_EQ(StreamToVariant(f.inline_bytes).bytes(), packet);
}

TEST(FieldCodec, StreamOf65535GoesWholeAnd65536IsSegmented) {
  const Bytes fits(65535, 0xAB), over(65536, 0xCD);
  Bytes row1, row2;
  EXPECT_EQ(AppendStreamField(row1, fits, InlineSpace(0, 1021952)), 65535u);
  EXPECT_EQ(Bytes(row1.begin(), row1.begin() + 3), (Bytes{0x10, 0xFF, 0xFF}));
  EXPECT_EQ(AppendStreamField(row2, over, InlineSpace(0, 1021952)), 65535u);
  EXPECT_EQ(Bytes(row2.begin(), row2.begin() + 3), (Bytes{0x50, 0xFF, 0xFF}));
  EXPECT_EQ(row2.size(), 65538u);
  EXPECT_EQ(ParseStreamField(row2).kind, StreamField::Kind::kSegmented);

  Bytes empty;
  EXPECT_EQ(AppendStreamField(empty, {}, 100), 0u);
  EXPECT_EQ(empty, Bytes{0x20});
}

TEST(FieldCodec, StreamFieldForms) {
  const Bytes blob_field{0x08, 0x00, 0x01, 0x00, 0x00}, small_field{0x22, 7, 8};
  const StreamField blob = ParseStreamField(blob_field);
  EXPECT_EQ(blob.kind, StreamField::Kind::kBlob);
  EXPECT_EQ(blob.blob_size, 65536u);
  EXPECT_TRUE(blob.inline_bytes.empty());
  EXPECT_EQ(ParseStreamField(Bytes{0xC0}).kind, StreamField::Kind::kNull);
  const StreamField small = ParseStreamField(small_field);
  EXPECT_EQ(small.kind, StreamField::Kind::kComplete);
  EXPECT_EQ(Bytes(small.inline_bytes.begin(), small.inline_bytes.end()), (Bytes{7, 8}));
}

TEST(FieldCodec, ReplyRowWithSegmentedInputIsSkippedByInlineLength) {
  // Field 0 is an input echoed back in parts; field 1 the integer result.
  const Bytes row{0x50, 0x00, 0x02, 0xAA, 0xBB, 0x61, 0x2A};
  EXPECT_EQ(DecodeInt32Field(FieldAt(row, 1)), 42);
}

TEST(VariantStream, ByteArraysAndNull) {
  EXPECT_EQ(VariantToStream(OleVariant::FromBytes({1, 2})), (Bytes{3, 2, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
  EXPECT_TRUE(StreamToVariant(Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0}).IsNull());
  // Only the low 32 bits count, read as signed.
  EXPECT_TRUE(StreamToVariant(Bytes{3, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}).IsNull());
  EXPECT_EQ(StreamToVariant(Bytes{3, 1, 0, 0, 0, 9, 9, 9, 9, 0x55}).bytes(), Bytes{0x55});
  EXPECT_EQ(StreamToVariant(Bytes{7, 1}).kind(), OleVariant::Kind::kUnassigned);
  EXPECT_EQ(StreamToVariant({}).kind(), OleVariant::Kind::kUnassigned);
  EXPECT_TRUE(StreamToVariant(VariantToStream(OleVariant::Null())).IsNull());
  EXPECT_EQ(StreamToVariant(VariantToStream(OleVariant())).kind(), OleVariant::Kind::kUnassigned);
}

TEST(VariantStream, CountBeyondTheBytesIsAnErrorNotAnAllocation) {
  // A count of 2 GB with two bytes behind it.
  EXPECT_THROW(StreamToVariant(Bytes{3, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 1, 2}), TRpcError);
  EXPECT_THROW(StreamToVariant(Bytes{3, 1, 0}), TRpcError);
}

}  // namespace
}  // namespace selvane
