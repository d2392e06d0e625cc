#include "protocol/packet_layouts.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "records/db_errors.h"
#include "records/record_set.h"
#include "base/code_page_1252.h"

namespace selvane {
namespace {

class PacketLayoutsTest : public ::testing::Test {
 protected:
  OleVariant Listing(const std::vector<ListedFile>& files) {
    TRecordSet rs(code_page_);
    CreateListing(rs);
    for (const ListedFile& f : files) AddListedFile(rs, f.name, f.date_time);
    return rs.GetData();
  }

  Windows1252CodePage code_page_;
};

TEST_F(PacketLayoutsTest, ListingsReadBackAsWritten) {
  const std::vector<std::vector<ListedFile>> cases = {
      {},
      {{"VendraECF.exe", 45366.4375}},
      {{"Configuração.ini", 45366.5}, {"rtl260.bpl", 1.0}, {std::string(100, 'n'), 0.0}},
  };
  for (const auto& files : cases) {
    SCOPED_TRACE(files.size());
    EXPECT_EQ(ReadListing(code_page_, Listing(files)), files);
  }
  EXPECT_TRUE(ReadListing(code_page_, OleVariant::Null()).empty());
}

TEST_F(PacketLayoutsTest, ListingFieldsAreRequiredAndTheNameIsAHundredWide) {
  TRecordSet rs(code_page_);
  CreateListing(rs);
  EXPECT_EQ(rs.FieldByName(kListingFilename).Size(), kListingFilenameWidth);
  EXPECT_TRUE(rs.FieldByName(kListingFilename).Required());
  EXPECT_TRUE(rs.FieldByName(kListingFileDate).Required());
  // A packet of another shape is no listing.
  EXPECT_THROW(ReadListing(code_page_, FetchListPacket(code_page_, {})), EDatabaseError);
}

TEST_F(PacketLayoutsTest, FetchListsAndFileRecordsCarryTheirFields) {
  const std::vector<FetchEntry> entries{{"ECF\\VendraECF.exe", 45366.4375}, {"C:\\Kavel\\a b\\ç.dll", 2.5}};
  TRecordSet list(code_page_);
  list.SetData(FetchListPacket(code_page_, entries));
  ASSERT_EQ(list.RecordCount(), 2);
  for (const FetchEntry& e : entries) {
    EXPECT_EQ(list.FieldByName(kFetchListFile).AsString(), e.file);
    EXPECT_EQ(list.FieldByName(kFetchListFileDate).AsDateTime(), e.date_time);
    list.Next();
  }

  TRecordSet record(code_page_);
  record.SetData(FileRecordPacket(code_page_, "VendraECF.exe.zip", Bytes{1, 2, 3}, 45366.5));
  ASSERT_EQ(record.RecordCount(), 1);
  EXPECT_EQ(record.FieldByName(kFileRecordFileName).AsString(), "VendraECF.exe.zip");
  const auto content = record.FieldByName(kFileRecordContent).AsBytes();
  EXPECT_EQ(Bytes(content.begin(), content.end()), (Bytes{1, 2, 3}));
  EXPECT_EQ(record.FieldByName(kFileRecordFileDate).AsDateTime(), 45366.5);
}

TEST_F(PacketLayoutsTest, ServerNamesLongerThanTheColumnAreRefusedNotCut) {
  // The width counts code-page bytes: "ç" is one of them.
  const std::string fits(kServerNameWidth, 'a');
  std::string accented;
  for (int i = 0; i < kServerNameWidth; ++i) accented += "ç";
  for (const std::string& name : {fits, accented}) {
    EXPECT_NO_THROW(FetchListPacket(code_page_, {{name, 1}}));
    EXPECT_NO_THROW(FileRecordPacket(code_page_, name, {}, 1));
  }
  for (const std::string& name : {fits + "a", accented + "ç"}) {
    EXPECT_THROW(FetchListPacket(code_page_, {{name, 1}}), std::length_error);
    EXPECT_THROW(FileRecordPacket(code_page_, name, {}, 1), std::length_error);
  }
}

}  // namespace
}  // namespace selvane
