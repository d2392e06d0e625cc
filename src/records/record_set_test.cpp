#include "records/record_set.h"

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "base/byte_order.h"
#include "records/db_errors.h"
#include "records/packet_test_util.h"
#include "records/table.h"
#include "testing/fault_injection_env.h"
#include "testing/memory_env.h"

namespace selvane {
namespace {

using packet::TypeCode;
using testing::PacketBuilder;

constexpr TDateTime k20240315_1030 = 45366.4375;

class RecordSetTest : public ::testing::Test {
 protected:
  // The folder listing the client sends.
  void CreateListing(TRecordSet& rs) {
    rs.FieldDefs().Clear();
    rs.FieldDefs().Add("Filename", ftString, 100, true);
    rs.FieldDefs().Add("FileDate", ftDateTime, 0, true);
    rs.CreateDataSet();
    rs.SetActive(true);
  }
  void AddListed(TRecordSet& rs, std::string_view name, TDateTime when) {
    rs.Insert();
    rs.FieldByName("Filename").SetAsString(name);
    rs.FieldByName("FileDate").SetAsDateTime(when);
    rs.Post();
  }
  // A file record as the server sends it; an empty content is left null.
  OleVariant FileRecordPacket(const std::vector<std::pair<std::string, Bytes>>& files) {
    TRecordSet rs(env_);
    rs.FieldDefs().Add("FileName", ftString, 255);
    rs.FieldDefs().Add("Content", ftBlob);
    rs.FieldDefs().Add("FileDate", ftDateTime);
    rs.CreateDataSet();
    for (const auto& [name, content] : files) {
      rs.Insert();
      rs.FieldByName("FileName").SetAsString(name);
      if (!content.empty()) rs.FieldByName("Content").SetAsBytes(content);
      rs.FieldByName("FileDate").SetAsDateTime(k20240315_1030);
      rs.Post();
    }
    return rs.GetData();
  }
  std::vector<std::string> Names(TRecordSet& rs, std::string_view field) {
    std::vector<std::string> names;
    for (rs.First(); !rs.Eof(); rs.Next()) names.push_back(rs.FieldByName(field).AsString());
    return names;
  }

  MemoryEnv env_;
};

TEST_F(RecordSetTest, BuildsTheListingsTheServerExpects) {
  TRecordSet rs(env_);
  CreateListing(rs);
  EXPECT_EQ(rs.GetData().bytes(), testing::kEmptyListing);
  AddListed(rs, "Config.ini", k20240315_1030);
  EXPECT_EQ(rs.GetData().bytes(), testing::kOneRowListing);
}

TEST_F(RecordSetTest, ReadsTheListingsBack) {
  TRecordSet rs(env_);
  rs.SetData(OleVariant::FromBytes(testing::kOneRowListing));
  ASSERT_EQ(rs.RecordCount(), 1);
  rs.First();
  EXPECT_EQ(rs.FieldByName("Filename").AsString(), "Config.ini");
  EXPECT_EQ(rs.FieldByName("FileDate").AsDateTime(), k20240315_1030);
  EXPECT_TRUE(rs.FieldByName("Filename").Required());
  EXPECT_EQ(rs.FieldByName("Filename").Size(), 100);
  EXPECT_EQ(rs.GetData().bytes(), testing::kOneRowListing);

  rs.SetData(OleVariant::FromBytes(testing::kEmptyListing));
  EXPECT_EQ(rs.RecordCount(), 0);
  rs.First();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecNo(), 0);
}

TEST_F(RecordSetTest, LogsEveryPostedRow) {
  for (uint32_t n : {0u, 1u, 3u, 40u}) {
    TRecordSet rs(env_);
    CreateListing(rs);
    std::vector<uint32_t> expected;
    for (uint32_t i = 1; i <= n; ++i) {
      AddListed(rs, "f" + std::to_string(i), k20240315_1030);
      expected.insert(expected.end(), {i, 0, 4});
    }
    const OleVariant packet = rs.GetData();
    const auto table = Table::Load(packet.bytes());
    EXPECT_EQ(table->ChangeLog(), expected) << n << " rows";
    ASSERT_EQ(table->StoredRows(), n);
    for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(table->RowState(i), 4);
    const std::string text(packet.bytes().begin(), packet.bytes().end());
    EXPECT_EQ(text.find("CHANGE_LOG") != std::string::npos, n > 0);
    EXPECT_EQ(text.find("LCID"), std::string::npos);
    EXPECT_EQ(text.find("DEFAULT_ORDER"), std::string::npos);
  }
}

TEST_F(RecordSetTest, StringPrefixFollowsTheSize) {
  struct Case {
    int size;
    uint32_t code;
  };
  const Case cases[] = {
      {253, packet::kVarying | TypeCode(packet::dsfldZSTRING, 1)},
      {254, packet::kVarying | TypeCode(packet::dsfldZSTRING, 2)},
      {65535, packet::kVarying | TypeCode(packet::dsfldZSTRING, 2)},
      // Lengths beyond 16 bits need a 4-byte prefix to arrive whole.
      {70000, packet::kVarying | TypeCode(packet::dsfldZSTRING, 4)},
  };
  for (const auto& c : cases) {
    TRecordSet rs(env_);
    rs.FieldDefs().Add("Name", ftString, c.size);
    rs.CreateDataSet();
    rs.Insert();
    const std::string text(static_cast<size_t>(c.size), 'n');
    rs.FieldByName("Name").SetAsString(text);
    rs.Post();
    OleVariant packet = rs.GetData();
    const Bytes& b = packet.bytes();
    const uint32_t code = LoadLe32(std::span(b).subspan(29));
    EXPECT_EQ(code, c.code) << "size " << c.size;
    TRecordSet back(env_);
    back.SetData(std::move(packet));
    EXPECT_EQ(back.FieldByName("Name").AsString(), text) << "size " << c.size;
  }
}

TEST_F(RecordSetTest, StoresTextAsTheCodePageAllowsAndTrimmed) {
  const std::string c_cedilla = "\xC3\xA7";  // one byte in the code page
  std::string long_name;
  for (int i = 0; i < 120; ++i) long_name += c_cedilla;
  std::string cut_name;
  for (int i = 0; i < 100; ++i) cut_name += c_cedilla;
  struct Case {
    const char* what;
    std::string assigned;
    std::string read_back;
  };
  const Case cases[] = {
      {"plain", "Config.ini", "Config.ini"},
      {"trailing blanks go", "name.txt   ", "name.txt"},
      {"leading blanks stay", "  name.txt", "  name.txt"},
      {"all blanks are empty, not null", "   ", ""},
      {"empty is not null", "", ""},
      {"longer than 100 bytes is cut", long_name, cut_name},
      {"a character the code page lacks", "a\xE6\x97\xA5" "b", "a?b"},
      {"ends at a zero byte", std::string("ab\0cd", 5), "ab"},
  };
  for (const auto& c : cases) {
    TRecordSet rs(env_);
    CreateListing(rs);
    AddListed(rs, c.assigned, k20240315_1030);
    TRecordSet back(env_);
    back.SetData(rs.GetData());
    EXPECT_EQ(back.FieldByName("Filename").AsString(), c.read_back) << c.what;
    EXPECT_FALSE(back.FieldByName("Filename").IsNull()) << c.what;
  }
}

TEST_F(RecordSetTest, EmptyTextTravelsAsOneZeroByte) {
  TRecordSet rs(env_);
  CreateListing(rs);
  AddListed(rs, "", k20240315_1030);
  const Bytes packet = rs.GetData().bytes();
  const Bytes row(packet.end() - 12, packet.end());
  EXPECT_EQ(row[0], 4);  // RowState
  EXPECT_EQ(row[1], 0);  // status: both have values
  EXPECT_EQ(row[2], 1);  // length 1
  EXPECT_EQ(row[3], 0);  // one zero byte
}

TEST_F(RecordSetTest, NullColumnsSetTheirBitsInTheRightStatusByte) {
  TRecordSet rs(env_);
  for (const char* name : {"a", "b", "c", "d", "e"}) rs.FieldDefs().Add(name, ftString, 5);
  rs.CreateDataSet();
  rs.Insert();
  for (const char* name : {"a", "b", "c", "d"}) rs.FieldByName(name).SetAsString("x");
  rs.Post();
  const Bytes packet = rs.GetData().bytes();
  const Bytes row(packet.end() - 11, packet.end());
  EXPECT_EQ(row, (Bytes{4, 0x00, 0x01, 1, 'x', 1, 'x', 1, 'x', 1, 'x'}));
  TRecordSet back(env_);
  back.SetData(OleVariant::FromBytes(packet));
  EXPECT_TRUE(back.FieldByName("e").IsNull());
  EXPECT_EQ(back.FieldByName("d").AsString(), "x");
}

TEST_F(RecordSetTest, NamesLongerThan31BytesAreCut) {
  const std::string forty(40, 'N');
  const std::string thirty_one(31, 'N');
  TRecordSet written(env_);
  written.FieldDefs().Add(forty, ftString, 10);
  written.CreateDataSet();
  const Bytes packet = written.GetData().bytes();
  EXPECT_EQ(packet[24], 31);

  TRecordSet rs(env_);
  const auto column = [&](PacketBuilder& b, uint16_t params) {
    b.Column(forty, packet::kVarying | TypeCode(packet::dsfldZSTRING, 1), 0, params).U16Param("WIDTH", 10);
  };
  PacketBuilder plain;
  plain.Header(1, 0);
  column(plain, 1);
  plain.U16(0);
  rs.SetData(OleVariant::FromBytes(plain.bytes()));
  EXPECT_EQ(rs.Fields(0).FieldName(), thirty_one);

  PacketBuilder named;
  named.Header(1, 0);
  column(named, 2);
  named.TextParam("FIELDNAME", forty).U16(0);
  rs.SetData(OleVariant::FromBytes(named.bytes()));
  EXPECT_EQ(rs.Fields(0).FieldName(), forty);
  EXPECT_EQ(&rs.FieldByName(forty), &rs.Fields(0));
}

TEST_F(RecordSetTest, RenamesRepeatedColumnsAndSkipsLinkColumns) {
  PacketBuilder b;
  const uint32_t i32 = TypeCode(packet::dsfldINT, 4);
  b.Header(5, 0).Column("Id", i32, 0, 0).Column("ID", i32, 0, 0).Column("id_1", i32, 0, 0);
  b.Column("Link", i32, fldAttrLINK, 0).Column("iD", i32, 0, 0).U16(0);
  TRecordSet rs(env_);
  rs.SetData(OleVariant::FromBytes(b.bytes()));
  ASSERT_EQ(rs.FieldCount(), 4);
  EXPECT_EQ(rs.Fields(0).FieldName(), "Id");
  EXPECT_EQ(rs.Fields(1).FieldName(), "ID_1");
  EXPECT_EQ(rs.Fields(2).FieldName(), "id_1_1");
  EXPECT_EQ(rs.Fields(3).FieldName(), "iD_2");
  EXPECT_EQ(rs.FindField("Link"), nullptr);
}

TEST_F(RecordSetTest, MapsColumnsToFieldClasses) {
  struct Case {
    uint32_t code;
    const char* sub_type;
    TFieldType type;
  };
  const uint32_t blob = packet::kVarying | TypeCode(packet::dsfldBYTES, 4);
  const Case cases[] = {
      {blob, "Binary", ftBlob},     {blob, "text", ftMemo},        {blob, "Graphics", ftGraphic},
      {blob, "WideText", ftWideMemo}, {blob, "Nonsense", ftBlob},  {blob, nullptr, ftBlob},
      {packet::kVarying | TypeCode(packet::dsfldBYTES, 2), "Text", ftMemo},
      {packet::kVarying | TypeCode(packet::dsfldBYTES, 2), nullptr, ftVarBytes},
      {TypeCode(packet::dsfldBYTES, 16), nullptr, ftBytes},
      {TypeCode(packet::dsfldINT, 4), "Autoinc", ftAutoInc},
      {TypeCode(packet::dsfldINT, 8), nullptr, ftLargeint},
      {TypeCode(packet::dsfldUINT, 2), nullptr, ftWord},
      {TypeCode(packet::dsfldFLOATIEEE, 8), "Money", ftCurrency},
      {TypeCode(packet::dsfldFLOATIEEE, 10), nullptr, ftExtended},
      {TypeCode(packet::dsfldBOOL, 2), nullptr, ftBoolean},
      {TypeCode(packet::dsfldDATE, 4), nullptr, ftDate},
      {TypeCode(packet::dsfldTIME, 4), nullptr, ftTime},
      {TypeCode(packet::dsfldDATETIME, 16), nullptr, ftTimeStamp},
      {TypeCode(packet::dsfldSINGLE, 4), nullptr, ftSingle},
      {TypeCode(packet::dsfldBCD, 18), nullptr, ftBCD},
      {packet::kVarying | TypeCode(packet::dsfldUNICODE, 2), nullptr, ftWideString},
  };
  for (const auto& c : cases) {
    PacketBuilder b;
    b.Header(1, 0).Column("F", c.code, 0, c.sub_type ? 2 : 1).U16Param("WIDTH", 20);
    if (c.sub_type) b.TextParam("SUBTYPE", c.sub_type);
    b.U16(0);
    TRecordSet rs(env_);
    rs.SetData(OleVariant::FromBytes(b.bytes()));
    EXPECT_EQ(rs.FieldByName("F").DataType(), c.type) << std::hex << c.code << " " << (c.sub_type ? c.sub_type : "");
  }
}

TEST_F(RecordSetTest, ReportsMisuseWithItsText) {
  struct Case {
    const char* what;
    std::function<void(TRecordSet&)> call;
    const char* text;
  };
  const Case cases[] = {
      {"a field without a name", [](TRecordSet& rs) { rs.FieldDefs().Add("", ftString, 10); },
       "Field name missing"},
      {"no fields", [](TRecordSet& rs) { rs.CreateDataSet(); }, "No fields defined.  Cannot create dataset"},
      {"creating an open record set",
       [this](TRecordSet& rs) { CreateListing(rs); rs.CreateDataSet(); },
       "Cannot perform this operation on an open dataset"},
      {"counting a closed record set", [](TRecordSet& rs) { rs.RecordCount(); },
       "Cannot perform this operation on a closed dataset"},
      {"inserting into a closed record set", [](TRecordSet& rs) { rs.Insert(); },
       "Cannot perform this operation on a closed dataset"},
      {"counting after a null packet",
       [](TRecordSet& rs) { rs.SetData(OleVariant::Null()); rs.RecordCount(); },
       "Cannot perform this operation on a closed dataset"},
      {"an unknown field", [this](TRecordSet& rs) { CreateListing(rs); rs.FieldByName("Nome"); },
       "Field 'Nome' not found"},
      {"assigning text while browsing",
       [this](TRecordSet& rs) { CreateListing(rs); rs.FieldByName("Filename").SetAsString("x"); },
       "Dataset not in edit or insert mode"},
      {"assigning a date-time while browsing",
       [this](TRecordSet& rs) { CreateListing(rs); rs.FieldByName("FileDate").SetAsDateTime(1); },
       "Dataset not in edit or insert mode"},
      {"posting without the date",
       [this](TRecordSet& rs) {
         CreateListing(rs);
         rs.Insert();
         rs.FieldByName("Filename").SetAsString("x");
         rs.Post();
       },
       "Field 'FileDate' must have a value"},
      {"a 21-byte array", [](TRecordSet& rs) { rs.SetData(OleVariant::FromBytes(Bytes(21, 0))); },
       "Invalid data packet"},
      {"an unassigned variant", [](TRecordSet& rs) { rs.SetData(OleVariant()); }, "Invalid data packet"},
      {"opening with nothing to open", [](TRecordSet& rs) { rs.SetActive(true); },
       "Missing data provider or data packet"},
      {"a text field as a date-time",
       [this](TRecordSet& rs) { CreateListing(rs); rs.FieldByName("Filename").AsDateTime(); },
       "Cannot access field 'Filename' as type TDateTime"},
  };
  for (const auto& c : cases) {
    TRecordSet rs(env_);
    try {
      c.call(rs);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), c.text) << c.what;
    }
  }
}

TEST_F(RecordSetTest, ARequiredFieldLeftNullKeepsTheRowPending) {
  TRecordSet rs(env_);
  CreateListing(rs);
  rs.Insert();
  rs.FieldByName("Filename").SetAsString("a.txt");
  EXPECT_THROW(rs.Post(), EDatabaseError);
  EXPECT_EQ(rs.State(), TDataSetState::dsInsert);
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(rs.FieldByName("Filename").AsString(), "a.txt");
  // GetData posts the pending row with its checks: it fails the same way.
  EXPECT_THROW(rs.GetData(), EDatabaseError);
  rs.FieldByName("FileDate").SetAsDateTime(k20240315_1030);
  rs.Post();
  EXPECT_EQ(rs.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.RecNo(), 1);
}

TEST_F(RecordSetTest, PendingRowsArePostedOrDroppedBeforeTheNextStep) {
  TRecordSet rs(env_);
  CreateListing(rs);
  rs.Insert();
  rs.FieldByName("Filename").SetAsString("a");
  rs.FieldByName("FileDate").SetAsDateTime(1);
  rs.Insert();  // posts the first
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.Insert();  // nothing assigned: dropped
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.FieldByName("Filename").SetAsString("b");
  rs.FieldByName("FileDate").SetAsDateTime(2);
  TRecordSet back(env_);
  back.SetData(rs.GetData());  // posts the second
  EXPECT_EQ(Names(back, "Filename"), (std::vector<std::string>{"a", "b"}));
  rs.Insert();
  const Bytes packet = rs.GetData().bytes();  // drops the empty one
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Table::Load(packet)->StoredRows(), 2u);
}

TEST_F(RecordSetTest, WalksRowsWithRecNoAndEof) {
  TRecordSet rs(env_);
  CreateListing(rs);
  for (const char* name : {"a", "b", "c"}) AddListed(rs, name, k20240315_1030);
  rs.SetData(rs.GetData());
  ASSERT_EQ(rs.RecordCount(), 3);
  rs.First();
  EXPECT_FALSE(rs.Eof());
  EXPECT_EQ(rs.RecNo(), 1);
  rs.Next();
  EXPECT_EQ(rs.RecNo(), 2);
  rs.Next();
  EXPECT_EQ(rs.RecNo(), 3);
  EXPECT_FALSE(rs.Eof());
  rs.Next();
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(rs.RecNo(), 3);
  EXPECT_EQ(rs.FieldByName("filename").AsString(), "c");
  EXPECT_EQ(rs.FieldByName("FILENAME").AsString(), "c");
}

TEST_F(RecordSetTest, SkipsRowsThatAreNotVisible) {
  PacketBuilder b;
  b.Header(1, 5).Column("N", TypeCode(packet::dsfldINT, 4), 0, 0).U16(0);
  const uint8_t states[] = {2, 0, 1, 32, 8};  // deleted, shown, old version, unused, modified
  for (int i = 0; i < 5; ++i) b.U8(states[i]).U8(0).U32(static_cast<uint32_t>(i));
  TRecordSet rs(env_);
  rs.SetData(OleVariant::FromBytes(b.bytes()));
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(Names(rs, "N"), (std::vector<std::string>{"1", "4"}));
  // Without a change log, unused rows are not written back.
  EXPECT_EQ(Table::Load(rs.GetData().bytes())->StoredRows(), 4u);
}

TEST_F(RecordSetTest, ReadsDateTimesAsStored) {
  auto packet_with_stamp = [](std::optional<double> stored) {
    PacketBuilder b;
    b.Header(1, 1).Column("FileDate", TypeCode(packet::dsfldTIMESTAMP, 8), 0, 0).U16(0);
    b.U8(0).U8(stored ? 0 : 1);
    if (stored) {
      uint64_t bits;
      std::memcpy(&bits, &*stored, 8);
      b.U32(static_cast<uint32_t>(bits)).U32(static_cast<uint32_t>(bits >> 32));
    }
    return OleVariant::FromBytes(b.bytes());
  };
  TRecordSet rs(env_);
  rs.SetData(packet_with_stamp(std::nullopt));
  EXPECT_EQ(rs.FieldByName("FileDate").AsDateTime(), 0);
  rs.SetData(packet_with_stamp(63846181800000.0));
  EXPECT_EQ(rs.FieldByName("FileDate").AsDateTime(), k20240315_1030);
  rs.SetData(packet_with_stamp(0.0));
  try {
    rs.FieldByName("FileDate").AsDateTime();
    ADD_FAILURE() << "a stored 0 read as a date-time";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'0.0' is not a valid timestamp");
  }
}

TEST_F(RecordSetTest, ABadPacketLeavesTheRecordSetClosed) {
  struct Case {
    const char* what;
    Bytes packet;
    const char* text;
  };
  Bytes version4 = testing::kOneRowListing;
  version4[4] = 4;
  Bytes no_metadata = testing::kOneRowListing;
  no_metadata[18] = 0;
  Bytes no_name = testing::kOneRowListing;
  no_name[24] = 0;
  const Case cases[] = {
      {"not a packet at all", Bytes(30, 'x'), "Mismatch in datapacket."},
      {"version 4", version4, "Mismatch in datapacket."},
      {"flags 0", no_metadata, "Datapacket contains no meta data."},
      {"a zero-length column name", no_name, "Field name can't be null, datapacket may be corrupted"},
      {"a string without WIDTH",
       PacketBuilder().Header(1, 0).Column("Name", packet::kVarying | TypeCode(packet::dsfldZSTRING, 1), 0, 0).U16(0).bytes(),
       "Invalid parameter."},
  };
  for (const auto& c : cases) {
    TRecordSet rs(env_);
    CreateListing(rs);
    try {
      rs.SetData(OleVariant::FromBytes(c.packet));
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const EDBClient& e) {
      EXPECT_STREQ(e.what(), c.text) << c.what;
    }
    EXPECT_FALSE(rs.Active()) << c.what;
    EXPECT_THROW(rs.SetActive(true), EDatabaseError) << c.what;  // nothing kept to reopen
  }
}

TEST_F(RecordSetTest, AForeignPacketHasOtherFields) {
  TRecordSet rs(env_);
  CreateListing(rs);
  AddListed(rs, "Selvane.exe", k20240315_1030);
  rs.GetData();
  rs.SetData(FileRecordPacket({{"Selvane.exe", {1, 2, 3}}}));
  EXPECT_EQ(rs.FieldByName("FileName").AsString(), "Selvane.exe");
  EXPECT_TRUE(rs.FieldByName("Content").IsBlob());
  EXPECT_THROW(rs.FieldByName("Filename_"), EDatabaseError);
  EXPECT_EQ(rs.FieldCount(), 3);
}

TEST_F(RecordSetTest, KeepsTheHandedOverPacketAndReadsBlobsInPlace) {
  OleVariant packet = FileRecordPacket({{"a.bin", Bytes(5000, 0xAB)}});
  const uint8_t* begin = packet.bytes().data();
  const uint8_t* end = begin + packet.bytes().size();
  TRecordSet rs(env_);
  rs.SetData(std::move(packet));
  const auto content = rs.FieldByName("Content").AsBytes();
  ASSERT_EQ(content.size(), 5000u);
  EXPECT_GE(content.data(), begin);
  EXPECT_LE(content.data() + content.size(), end);
}

TEST_F(RecordSetTest, SavesBlobsToFiles) {
  const Bytes content = {'z', 'i', 'p', 0, 1, 2};
  FaultInjectionEnv files(&env_);
  files.FailCreate("locked.zip");
  auto save = [&files](const TField& field, const std::string& path) {
    field.SaveToFile([&] { return files.Create(path, ShareMode::kExclusive); });
  };
  TRecordSet rs(env_);
  rs.SetData(FileRecordPacket({{"a.zip", content}, {"empty.zip", {}}}));
  env_.PutFile("C:\\Kavel\\a.zip", std::string(100, 'o'));  // an older, longer file
  rs.First();
  save(rs.FieldByName("Content"), "C:\\Kavel\\a.zip");
  EXPECT_EQ(env_.Contents("C:\\Kavel\\a.zip"), std::string(content.begin(), content.end()));

  env_.PutFile("C:\\Kavel\\empty.zip", std::string(100, 'o'));
  rs.Next();
  EXPECT_TRUE(rs.FieldByName("Content").IsNull());
  save(rs.FieldByName("Content"), "C:\\Kavel\\empty.zip");
  EXPECT_EQ(env_.Contents("C:\\Kavel\\empty.zip"), "");

  env_.PutFile("C:\\Kavel\\name.zip", std::string(100, 'o'));
  EXPECT_THROW(save(rs.FieldByName("FileName"), "C:\\Kavel\\name.zip"), EInvalidCast);
  EXPECT_EQ(env_.Contents("C:\\Kavel\\name.zip"), "");  // created before the cast fails

  try {
    save(rs.FieldByName("Content"), "C:\\Kavel\\locked.zip");
    ADD_FAILURE() << "saved to a file that cannot be created";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file \"C:\\Kavel\\locked.zip\". Access is denied.");
  }
  EXPECT_FALSE(env_.FileExists("C:\\Kavel\\locked.zip"));
}

TEST_F(RecordSetTest, ABlobThePacketDoesNotCarryIsAnErrorAndTouchesNoFile) {
  PacketBuilder b;
  b.Header(1, 1).Column("Content", packet::kVarying | TypeCode(packet::dsfldBYTES, 4), 0, 1);
  b.TextParam("SUBTYPE", "Binary").U16(0).U8(0).U8(0).U32(0xFFFFFFFE);
  TRecordSet rs(env_);
  rs.SetData(OleVariant::FromBytes(b.bytes()));
  env_.PutFile("C:\\a.bin", "ooo");
  try {
    rs.FieldByName("Content").SaveToFile([this] { return env_.Create("C:\\a.bin", ShareMode::kExclusive); });
    ADD_FAILURE() << "saved a blob that is not there";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "The data packet does not carry the blob of field 'Content'");
  }
  EXPECT_EQ(env_.Contents("C:\\a.bin"), "ooo");
}

TEST_F(RecordSetTest, PacketsSurviveARoundTrip) {
  TRecordSet rs(env_);
  rs.FieldDefs().Add("Name", ftString, 300);
  rs.FieldDefs().Add("Wide", ftWideString, 20);
  rs.FieldDefs().Add("Memo", ftMemo);
  rs.FieldDefs().Add("Stamp", ftDateTime);
  rs.FieldDefs().Add("Day", ftDate);
  rs.FieldDefs().Add("Price", ftCurrency);
  rs.CreateDataSet();
  rs.Insert();
  rs.FieldByName("Name").SetAsString("Ação");
  rs.FieldByName("Wide").SetAsString("日本 ");
  rs.FieldByName("Memo").SetAsString("linha 1\r\nlinha 2  ");
  rs.FieldByName("Stamp").SetAsDateTime(-1.5);
  rs.FieldByName("Day").SetAsDateTime(45366.75);
  rs.Post();
  const Bytes first = rs.GetData().bytes();
  TRecordSet back(env_);
  back.SetData(OleVariant::FromBytes(first));
  EXPECT_EQ(back.FieldByName("Name").AsString(), "Ação");
  EXPECT_EQ(back.FieldByName("Wide").AsString(), "日本");
  EXPECT_EQ(back.FieldByName("Memo").AsString(), "linha 1\r\nlinha 2  ");
  EXPECT_EQ(back.FieldByName("Stamp").AsDateTime(), -1.5);
  EXPECT_EQ(back.FieldByName("Day").AsDateTime(), 45366.0);
  EXPECT_TRUE(back.FieldByName("Price").IsNull());
  EXPECT_EQ(back.FieldByName("Price").DataType(), ftCurrency);
  EXPECT_EQ(back.GetData().bytes(), first);
}

TEST_F(RecordSetTest, AWideBytesColumnStaysBytesThroughARoundTrip) {
  // A varying bytes column with a 1-byte prefix whose WIDTH (65536) is beyond
  // what a 2-byte prefix counts; its one row holds an empty value. Written
  // with a 4-byte prefix it would read back as a blob, and its empty value as
  // a null one.
  PacketBuilder p;
  p.Header(1, 1)
      .Column("Dados", packet::kVarying | TypeCode(packet::dsfldBYTES, 1), 0, 1)
      .Name("WIDTH")
      .U32(TypeCode(packet::dsfldUINT, 4))
      .U32(65536)
      .U16(0)         // no table parameters
      .U8(0)          // row state
      .U8(0)          // status: a value
      .U8(0);         // empty, 1-byte prefix
  TRecordSet rs(env_);
  rs.SetData(OleVariant::FromBytes(p.bytes()));
  ASSERT_EQ(rs.FieldByName("Dados").DataType(), ftVarBytes);
  const Bytes first = rs.GetData().bytes();
  TRecordSet back(env_);
  back.SetData(OleVariant::FromBytes(first));
  EXPECT_EQ(back.FieldByName("Dados").DataType(), ftVarBytes);
  EXPECT_EQ(back.FieldByName("Dados").Size(), rs.FieldByName("Dados").Size());
  ASSERT_EQ(back.RecordCount(), 1);
  EXPECT_FALSE(back.FieldByName("Dados").IsNull());
  EXPECT_TRUE(back.FieldByName("Dados").AsBytes().empty());
  EXPECT_EQ(back.GetData().bytes(), first);
}

}  // namespace
}  // namespace selvane
