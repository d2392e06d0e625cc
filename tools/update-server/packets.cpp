#include "packets.h"

#include <stdexcept>
#include <string>

#include "records/record_set.h"

namespace selvane::refserver {

namespace {

// Widths of the string columns the server writes; a name that does not fit is
// refused rather than cut, since a cut name would fetch the wrong file.
constexpr int kFileWidth = 512;

void SetName(Env& env, TField& field, std::string_view utf8) {
  if (env.ToAnsi(utf8).size() > static_cast<size_t>(field.Size())) {
    throw std::length_error("Nome de arquivo longo demais: " + std::string(utf8));
  }
  field.SetAsString(utf8);
}

}  // namespace

std::vector<ListedFile> ReadListing(Env& env, const OleVariant& packet) {
  std::vector<ListedFile> out;
  if (packet.IsNull()) return out;
  TRecordSet rs(env);
  rs.SetData(packet);
  TField& name = rs.FieldByName("Filename");
  TField& date = rs.FieldByName("FileDate");
  for (rs.First(); !rs.Eof(); rs.Next()) {
    out.push_back({name.AsString(), date.AsDateTime()});
  }
  return out;
}

OleVariant FetchListPacket(Env& env, const std::vector<FetchEntry>& entries) {
  TRecordSet rs(env);
  rs.FieldDefs().Add("File", ftString, kFileWidth, false);
  rs.FieldDefs().Add("FileDate", ftDateTime, 0, false);
  rs.CreateDataSet();
  for (const FetchEntry& e : entries) {
    rs.Insert();
    SetName(env, rs.FieldByName("File"), e.file);
    rs.FieldByName("FileDate").SetAsDateTime(e.date_time);
    rs.Post();
  }
  return rs.GetData();
}

OleVariant FileRecordPacket(Env& env, std::string_view file_name, Bytes content, double date_time) {
  TRecordSet rs(env);
  rs.FieldDefs().Add("FileName", ftString, kFileWidth, false);
  rs.FieldDefs().Add("Content", ftBlob, 0, false);
  rs.FieldDefs().Add("FileDate", ftDateTime, 0, false);
  rs.CreateDataSet();
  rs.Insert();
  SetName(env, rs.FieldByName("FileName"), file_name);
  rs.FieldByName("Content").SetAsBytes(std::move(content));
  rs.FieldByName("FileDate").SetAsDateTime(date_time);
  rs.Post();
  return rs.GetData();
}

}  // namespace selvane::refserver
