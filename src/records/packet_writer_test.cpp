#include "records/packet_writer.h"

#include <functional>

#include <gtest/gtest.h>

#include "records/db_errors.h"
#include "records/packet_test_util.h"

namespace selvane {
namespace {

using packet::TypeCode;
using Area = PacketWriter::Area;

using testing::kString1;
constexpr uint32_t kTimeStamp = TypeCode(packet::dsfldTIMESTAMP, 8);
const Bytes kWidth100 = {0x64, 0x00};

void WriteListingMetadata(PacketWriter& w) {
  w.InitSequential(3, 2);
  w.AddColumnDesc("Filename", kString1, 4);
  w.AddAttribute(Area::kField, "WIDTH", TypeCode(packet::dsfldUINT, 2), kWidth100);
  w.AddColumnDesc("FileDate", kTimeStamp, 4);
}

TEST(PacketWriter, WritesTheOneRowListingByteForByte) {
  PacketWriter w;
  WriteListingMetadata(w);
  const Bytes change_log = {3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
  w.AddAttribute(Area::kTable, "CHANGE_LOG", packet::kArray | TypeCode(packet::dsfldUINT, 4), change_log);
  w.EndAttributes();
  w.BeginRow(4);
  const std::string name = "Config.ini";
  w.PutField(FieldStatus::kValue, {reinterpret_cast<const uint8_t*>(name.data()), name.size()});
  const Bytes stamp = {0x00, 0x20, 0x44, 0x7E, 0xAC, 0x08, 0xCD, 0x42};
  w.PutField(FieldStatus::kValue, stamp);
  EXPECT_EQ(w.GetDataPacket(), testing::kOneRowListing);
}

TEST(PacketWriter, WritesTheEmptyListingWithTheRowOffsetAtItsEnd) {
  PacketWriter w;
  WriteListingMetadata(w);
  w.EndAttributes();
  EXPECT_EQ(w.GetDataPacket(), testing::kEmptyListing);
}

TEST(PacketWriter, NullAndUnchangedColumnsOnlySetTheirStatusBits) {
  PacketWriter w;
  w.InitSequential(3, 6);
  for (int i = 0; i < 6; ++i) w.AddColumnDesc("c" + std::to_string(i), TypeCode(packet::dsfldINT, 1), 0);
  w.EndAttributes();
  w.BeginRow(0);
  const Bytes one = {7};
  for (int i = 0; i < 4; ++i) w.PutField(FieldStatus::kValue, one);
  w.PutField(FieldStatus::kNull);       // column 4: bit 0 of the second status byte
  w.PutField(FieldStatus::kUnchanged);  // column 5: bit 3 of the second status byte
  const Bytes packet = w.GetDataPacket();
  const Bytes row(packet.end() - 7, packet.end());
  EXPECT_EQ(row, (Bytes{0, 0x00, 0x09, 7, 7, 7, 7}));
}

TEST(PacketWriter, RaisesTheVersionForTypesAboveBytes) {
  PacketWriter w;
  w.InitSequential(3, 1);
  w.AddColumnDesc("Stamp", TypeCode(packet::dsfldDATETIME, 16), 0);
  w.EndAttributes();
  const Bytes packet = w.GetDataPacket();
  EXPECT_EQ(packet[4], 2);
}

TEST(PacketWriter, LeavesTheRowOffsetOutWhenItDoesNotFitSixteenBits) {
  PacketWriter w;
  w.InitSequential(3, 1);
  w.AddColumnDesc("Blob", packet::kVarying | TypeCode(packet::dsfldBYTES, 4), 0);
  Bytes big = {0x00, 0x00, 0x01, 0x00};  // 65536 bytes of user parameter
  big.resize(4 + 65536, 'x');
  w.AddAttribute(Area::kField, "NOTE", packet::kVarying | TypeCode(packet::dsfldBYTES, 4), big);
  w.EndAttributes();
  w.BeginRow(0);
  w.PutField(FieldStatus::kNull);
  const Bytes packet = w.GetDataPacket();
  EXPECT_EQ(packet[18], 1);  // flags: metadata only
  EXPECT_EQ(packet[22], 0);
  EXPECT_EQ(packet[23], 0);
  EXPECT_EQ(packet[14], 1);  // one row
}

TEST(PacketWriter, RejectsMisuse) {
  const Bytes one = {1};
  struct Case {
    const char* what;
    uint16_t code;
    std::function<void(PacketWriter&)> calls;
  };
  const Case cases[] = {
      {"version above 3", dberr::kMismatch, [](PacketWriter& w) { w.InitSequential(4, 1); }},
      {"column named RowState", dberr::kNotApplicable,
       [](PacketWriter& w) { w.InitSequential(3, 1); w.AddColumnDesc("RowState", kTimeStamp, 0); }},
      {"more columns than declared", dberr::kNotApplicable,
       [](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", kTimeStamp, 0);
         w.AddColumnDesc("b", kTimeStamp, 0);
       }},
      {"type code above 36", dberr::kNotApplicable,
       [](PacketWriter& w) { w.InitSequential(3, 1); w.AddColumnDesc("a", TypeCode(37, 4), 0); }},
      {"parameter after a row", dberr::kNotApplicable,
       [&](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", TypeCode(packet::dsfldINT, 1), 0);
         w.EndAttributes();
         w.BeginRow(4);
         w.PutField(FieldStatus::kValue, one);
         w.AddAttribute(Area::kTable, "X", TypeCode(packet::dsfldINT, 1), one);
       }},
      {"value without a row", dberr::kNotApplicable,
       [&](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", TypeCode(packet::dsfldINT, 1), 0);
         w.EndAttributes();
         w.PutField(FieldStatus::kValue, one);
       }},
      {"fixed value of the wrong size", dberr::kNotApplicable,
       [&](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", kTimeStamp, 0);
         w.EndAttributes();
         w.BeginRow(4);
         w.PutField(FieldStatus::kValue, one);
       }},
      {"text longer than its prefix holds", dberr::kNotApplicable,
       [](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", kString1, 0);
         w.EndAttributes();
         w.BeginRow(4);
         const Bytes long_text(256, 'x');
         w.PutField(FieldStatus::kValue, long_text);
       }},
      {"parameter value that is not one value of its type", dberr::kNotApplicable,
       [](PacketWriter& w) {
         w.InitSequential(3, 1);
         w.AddColumnDesc("a", kString1, 0);
         const Bytes three = {1, 2, 3};
         w.AddAttribute(Area::kField, "WIDTH", TypeCode(packet::dsfldUINT, 2), three);
       }},
      {"packet with an unfinished row", dberr::kNotApplicable,
       [](PacketWriter& w) {
         w.InitSequential(3, 2);
         w.AddColumnDesc("a", kTimeStamp, 0);
         w.AddColumnDesc("b", kTimeStamp, 0);
         w.EndAttributes();
         w.BeginRow(4);
         w.PutField(FieldStatus::kNull);
         w.GetDataPacket();
       }},
  };
  for (const auto& c : cases) {
    PacketWriter w;
    try {
      c.calls(w);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EDBClient& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << c.what;
    }
  }
}

}  // namespace
}  // namespace selvane
