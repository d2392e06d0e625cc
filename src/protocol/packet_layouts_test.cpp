#include "protocol/packet_layouts.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "records/db_errors.h"
#include "records/record_set.h"
#include "records/testing_env.h"

namespace selvane {
namespace {

class PacketLayoutsTest : public ::testing::Test {
 protected:
  OleVariant Listing(const std::vector<ListedFile>& files) {
    TRecordSet rs(env_);
    CreateListing(rs);
    for (const ListedFile& f : files) AddListedFile(rs, f.name, f.date_time);
    return rs.GetData();
  }

  MemoryFilesEnv env_;
};

TEST_F(PacketLayoutsTest, ListingsReadBackAsWritten) {
  const std::vector<std::vector<ListedFile>> cases = {
      {},
      {{"VendraECF.exe", 45366.4375}},
      {{"Configuração.ini", 45366.5}, {"rtl260.bpl", 1.0}, {std::string(100, 'n'), 0.0}},
  };
  for (const auto& files : cases) {
    SCOPED_TRACE(files.size());
    EXPECT_EQ(ReadListing(env_, Listing(files)), files);
  }
  EXPECT_TRUE(ReadListing(env_, OleVariant::Null()).empty());
}

TEST_F(PacketLayoutsTest, ListingFieldsAreRequiredAndTheNameIsAHundredWide) {
  TRecordSet rs(env_);
  CreateListing(rs);
  EXPECT_EQ(rs.FieldByName(kListingFilename).Size(), kListingFilenameWidth);
  EXPECT_TRUE(rs.FieldByName(kListingFilename).Required());
  EXPECT_TRUE(rs.FieldByName(kListingFileDate).Required());
  // A packet of another shape is no listing.
  EXPECT_THROW(ReadListing(env_, FetchListPacket(env_, {})), EDatabaseError);
}

TEST_F(PacketLayoutsTest, FetchListsAndFileRecordsCarryTheirFields) {
  const std::vector<FetchEntry> entries{{"ECF\\VendraECF.exe", 45366.4375}, {"C:\\Kavel\\a b\\ç.dll", 2.5}};
  TRecordSet list(env_);
  list.SetData(FetchListPacket(env_, entries));
  ASSERT_EQ(list.RecordCount(), 2);
  for (const FetchEntry& e : entries) {
    EXPECT_EQ(list.FieldByName(kFetchListFile).AsString(), e.file);
    EXPECT_EQ(list.FieldByName(kFetchListFileDate).AsDateTime(), e.date_time);
    list.Next();
  }

  TRecordSet record(env_);
  record.SetData(FileRecordPacket(env_, "VendraECF.exe.zip", Bytes{1, 2, 3}, 45366.5));
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
    EXPECT_NO_THROW(FetchListPacket(env_, {{name, 1}}));
    EXPECT_NO_THROW(FileRecordPacket(env_, name, {}, 1));
  }
  for (const std::string& name : {fits + "a", accented + "ç"}) {
    EXPECT_THROW(FetchListPacket(env_, {{name, 1}}), std::length_error);
    EXPECT_THROW(FileRecordPacket(env_, name, {}, 1), std::length_error);
  }
}

}  // namespace
}  // namespace selvane
