#include "records/packet_reader.h"

#include <gtest/gtest.h>

#include "records/db_errors.h"
#include "records/packet_test_util.h"
#include "records/table.h"

namespace selvane {
namespace {

using packet::TypeCode;
using testing::PacketBuilder;

using testing::kString1;
constexpr uint32_t kBlob = packet::kVarying | TypeCode(packet::dsfldBYTES, 4);

uint16_t LoadError(const Bytes& packet) {
  try {
    Table::Load(packet);
  } catch (const EDBClient& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST(PacketReader, ReadsTheOneRowListing) {
  const auto table = Table::Load(testing::kOneRowListing);
  ASSERT_EQ(table->ColumnCount(), 2u);
  EXPECT_EQ(table->Field(0).szName, "Filename");
  EXPECT_EQ(table->Field(0).iFldType, fldZSTRING);
  EXPECT_EQ(table->Field(0).iUnits1, 100u);
  EXPECT_EQ(table->Field(0).iFldAttr, fldAttrREQUIRED);
  EXPECT_EQ(table->Field(1).iFldType, fldTIMESTAMP);
  ASSERT_EQ(table->StoredRows(), 1u);
  EXPECT_EQ(table->RowState(0), 4);
  const auto name = table->Value(0, 0).value.content;
  EXPECT_EQ(std::string(name.begin(), name.end()), "Config.ini");
  EXPECT_EQ(table->ChangeLog(), (std::vector<uint32_t>{1, 0, 4}));
  EXPECT_EQ(table->StreamDS(), testing::kOneRowListing);
}

// Every prefix of a valid packet ends early somewhere: each must be a clean
// "Mismatch in datapacket." and never a read past the end.
TEST(PacketReader, EveryTruncationIsAMismatch) {
  for (const Bytes* full : {&testing::kOneRowListing, &testing::kEmptyListing}) {
    for (size_t n = 0; n < full->size(); ++n) {
      const Bytes cut(full->begin(), full->begin() + static_cast<ptrdiff_t>(n));
      EXPECT_EQ(LoadError(cut), dberr::kMismatch) << "length " << n;
    }
  }
}

TEST(PacketReader, RejectsPacketsThatLie) {
  auto listing_with = [](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes b = testing::kOneRowListing;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<ptrdiff_t>(at));
    return b;
  };
  struct Case {
    const char* what;
    Bytes packet;
    uint16_t code;
  };
  const Case cases[] = {
      {"version 4", listing_with(4, {4, 0}), dberr::kMismatch},
      {"minor version 4", listing_with(6, {4, 0}), dberr::kMismatch},
      {"foreign magic", listing_with(0, {'<', '?', 'x', 'm'}), dberr::kMismatch},
      {"flags 0", listing_with(18, {0, 0, 0, 0}), dberr::kNoMetaData},
      {"no columns", listing_with(12, {0, 0}), dberr::kMismatch},
      {"header size past the end", listing_with(8, {0xFF, 0xFF, 0, 0}), dberr::kMismatch},
      {"header size below 24", listing_with(8, {4, 0, 0, 0}), dberr::kMismatch},
      {"zero-length column name", listing_with(0x18, {0}), dberr::kNullFieldName},
      {"more rows than the packet holds", listing_with(14, {0xFF, 0xFF, 0xFF, 0xFF}), dberr::kMismatch},
      {"more columns than the packet holds",
       PacketBuilder().Header(0xFFFF, 0).Column("a", TypeCode(packet::dsfldINT, 4), 0, 0).bytes(),
       dberr::kMismatch},
      {"text longer than what remains", listing_with(0x69, {0xFF}), dberr::kMismatch},
      {"change log count beyond the packet", listing_with(0x57, {0xFF, 0xFF, 0xFF, 0x3F}), dberr::kMismatch},
      {"change log of two numbers", listing_with(0x57, {2, 0, 0, 0}), dberr::kInvalidParameter},
      {"time stamp of 4 bytes", listing_with(0x3E, {4, 0}), dberr::kInvalidFieldType},
      {"prefix of 3 bytes", listing_with(0x21, {3, 0}), dberr::kInvalidFieldType},
      {"array column", listing_with(0x3E, {8, 0, 0x88, 0}), dberr::kInvalidFieldType},
      {"pseudo column", listing_with(0x3E, {8, 0, 8, 1}), dberr::kInvalidFieldType},
      {"nested table column", listing_with(0x3E, {0, 0, 0x0E, 0}), dberr::kInvalidFieldType},
      {"WIDTH that is not a number", listing_with(0x2F, {2, 0, 0x09, 0}), dberr::kInvalidParameter},
  };
  for (const auto& c : cases) EXPECT_EQ(LoadError(c.packet), c.code) << c.what;
}

TEST(PacketReader, AStringColumnNeedsAWidth) {
  const Bytes packet = PacketBuilder().Header(1, 0).Column("Name", kString1, 0, 0).U16(0).bytes();
  EXPECT_EQ(LoadError(packet), dberr::kInvalidParameter);
}

TEST(PacketReader, SubTypeMustBeText) {
  const Bytes packet =
      PacketBuilder().Header(1, 0).Column("Content", kBlob, 0, 1).U16Param("SUBTYPE", 23).U16(0).bytes();
  EXPECT_EQ(LoadError(packet), dberr::kInvalidParameter);
}

TEST(PacketReader, TextLongerThanTheLargestFieldIsRejectedAndLongerThanItsWidthIsCut) {
  auto packet_with_text_of = [](uint16_t length) {
    PacketBuilder b;
    b.Header(1, 1).Column("Name", packet::kVarying | TypeCode(packet::dsfldZSTRING, 2), 0, 1);
    b.U16Param("WIDTH", 10).U16(0);
    b.U8(0).U8(0).U16(length).Raw(Bytes(length, 'a'));
    return b.bytes();
  };
  EXPECT_EQ(LoadError(packet_with_text_of(259)), dberr::kInvalidParameter);
  const Bytes fits = packet_with_text_of(258);
  const auto table = Table::Load(fits);
  EXPECT_EQ(table->Value(0, 0).value.content.size(), 10u);
}

TEST(PacketReader, BlobLengthsAreNotLimitedAndAnEmptyBlobIsNull) {
  PacketBuilder b;
  b.Header(1, 3).Column("Content", kBlob, 0, 1).TextParam("SUBTYPE", "Binary").U16(0);
  b.U8(0).U8(0).U32(1000).Raw(Bytes(1000, 7));
  b.U8(0).U8(0).U32(0);
  b.U8(0).U8(0).U32(0xFFFFFFFF);  // content not carried
  const Bytes packet = b.bytes();
  const auto table = Table::Load(packet);
  EXPECT_EQ(table->Field(0).iSubType, fldstBINARY);
  EXPECT_EQ(table->Value(0, 0).value.content.size(), 1000u);
  EXPECT_EQ(table->Value(1, 0).status, FieldStatus::kNull);
  EXPECT_TRUE(table->Value(2, 0).value.absent());
  // Written back, the empty blob is null and the missing one stays missing.
  const Bytes again = table->StreamDS();
  const auto reread = Table::Load(again);
  EXPECT_EQ(reread->Value(1, 0).status, FieldStatus::kNull);
  EXPECT_EQ(reread->Value(2, 0).value.absent_length, -1);
}

TEST(PacketReader, AFixedBytesColumnKeepsItsSizeWhenWrittenBack) {
  PacketBuilder b;
  b.Header(1, 1).Column("Hash", TypeCode(packet::dsfldBYTES, 8), 0, 0).U16(0);
  b.U8(0).U8(0).Raw({1, 2, 3, 4, 5, 6, 7, 8});
  const auto table = Table::Load(b.bytes());
  const Bytes again = table->StreamDS();
  const auto reread = Table::Load(again);
  EXPECT_EQ(reread->Value(0, 0).value.content.size(), 8u);
  EXPECT_EQ(reread->StreamDS(), again);
}

TEST(PacketReader, HonoursALongerHeaderAndTheLegacyMagic) {
  Bytes longer = testing::kOneRowListing;
  longer[8] = 28;
  longer.insert(longer.begin() + 24, {0xEE, 0xEE, 0xEE, 0xEE});
  EXPECT_EQ(Table::Load(longer)->StoredRows(), 1u);

  Bytes legacy = testing::kOneRowListing;
  legacy[0] = 0xCD;
  legacy[1] = 0xAB;
  legacy[2] = legacy[3] = 0;
  legacy[4] = 9;  // no version check under this magic
  EXPECT_EQ(Table::Load(legacy)->StoredRows(), 1u);
}

TEST(PacketReader, KeepsColumnsOfUnknownTypesAndUserParameters) {
  PacketBuilder b;
  b.Header(2, 1).Column("Odd", TypeCode(30, 3), 0, 1).U16Param("MYPARAM", 5);
  b.Column("Note", packet::kVarying | TypeCode(31, 1), 0, 0);
  b.U16(1).U16Param("LCID", 1046);
  b.U8(0).U8(0).Raw({1, 2, 3}).U8(2).Raw({9, 9});
  const Bytes packet = b.bytes();
  const auto table = Table::Load(packet);
  EXPECT_EQ(table->Field(0).iFldType, fldUNKNOWN);
  EXPECT_EQ(table->Value(0, 1).value.content.size(), 2u);

  const Bytes again = table->StreamDS();
  const std::string text(again.begin(), again.end());
  EXPECT_NE(text.find("MYPARAM"), std::string::npos);
  EXPECT_NE(text.find("LCID"), std::string::npos);
  const auto reread = Table::Load(again);
  const auto odd = reread->Value(0, 0).value.content;
  EXPECT_EQ(Bytes(odd.begin(), odd.end()), (Bytes{1, 2, 3}));
  EXPECT_EQ(reread->StreamDS(), again);
}

}  // namespace
}  // namespace selvane
