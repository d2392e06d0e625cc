#include "protocol/packet_layouts.h"

#include <stdexcept>

#include "records/record_set.h"

namespace selvane {

namespace {

void SetName(CodePage& code_page, TField& field, std::string_view utf8) {
  if (code_page.ToAnsi(utf8).size() > static_cast<size_t>(field.Size())) {
    throw std::length_error("Nome de arquivo longo demais: " + std::string(utf8));
  }
  field.SetAsString(utf8);
}

}  // namespace

void CreateListing(TRecordSet& listing) {
  listing.FieldDefs().Clear();
  listing.FieldDefs().Add(kListingFilename, ftString, kListingFilenameWidth, true);
  listing.FieldDefs().Add(kListingFileDate, ftDateTime, 0, true);
  listing.CreateDataSet();
  listing.SetActive(true);
}

void AddListedFile(TRecordSet& listing, const std::string& name, double file_date) {
  listing.Insert();
  listing.FieldByName(kListingFilename).SetAsString(name);
  listing.FieldByName(kListingFileDate).SetAsDateTime(file_date);
  listing.Post();
}

std::vector<ListedFile> ReadListing(CodePage& code_page, const OleVariant& packet) {
  std::vector<ListedFile> out;
  if (packet.IsNull()) return out;
  TRecordSet rs(code_page);
  rs.SetData(packet);
  TField& name = rs.FieldByName(kListingFilename);
  TField& date = rs.FieldByName(kListingFileDate);
  for (rs.First(); !rs.Eof(); rs.Next()) {
    out.push_back({name.AsString(), date.AsDateTime()});
  }
  return out;
}

OleVariant FetchListPacket(CodePage& code_page, const std::vector<FetchEntry>& entries) {
  TRecordSet rs(code_page);
  rs.FieldDefs().Add(kFetchListFile, ftString, kServerNameWidth, false);
  rs.FieldDefs().Add(kFetchListFileDate, ftDateTime, 0, false);
  rs.CreateDataSet();
  for (const FetchEntry& e : entries) {
    rs.Insert();
    SetName(code_page, rs.FieldByName(kFetchListFile), e.file);
    rs.FieldByName(kFetchListFileDate).SetAsDateTime(e.date_time);
    rs.Post();
  }
  return rs.GetData();
}

OleVariant FileRecordPacket(CodePage& code_page, std::string_view file_name, Bytes content, double date_time) {
  TRecordSet rs(code_page);
  rs.FieldDefs().Add(kFileRecordFileName, ftString, kServerNameWidth, false);
  rs.FieldDefs().Add(kFileRecordContent, ftBlob, 0, false);
  rs.FieldDefs().Add(kFileRecordFileDate, ftDateTime, 0, false);
  rs.CreateDataSet();
  rs.Insert();
  SetName(code_page, rs.FieldByName(kFileRecordFileName), file_name);
  rs.FieldByName(kFileRecordContent).SetAsBytes(std::move(content));
  rs.FieldByName(kFileRecordFileDate).SetAsDateTime(date_time);
  rs.Post();
  return rs.GetData();
}

}  // namespace selvane
