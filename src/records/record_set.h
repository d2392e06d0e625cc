#pragma once
// TRecordSet: an in-memory table of typed fields that turns into a data packet
// (GetData) and is rebuilt from one (SetData). Single-threaded; every failure
// is an exception (EDatabaseError, EDBClient, EConvertError; see db_errors.h).
//
//   TRecordSet rs(code_page);
//   rs.FieldDefs().Add("Filename", ftString, 100, true);
//   rs.FieldDefs().Add("FileDate", ftDateTime, 0, true);
//   rs.CreateDataSet();
//   rs.Insert();
//   rs.FieldByName("Filename").SetAsString(name);
//   rs.FieldByName("FileDate").SetAsDateTime(when);
//   rs.Post();
//   OleVariant packet = rs.GetData();
//
//   rs.SetData(std::move(reply));
//   for (rs.First(); !rs.Eof(); rs.Next()) use(rs.FieldByName("File").AsString());

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/code_page.h"
#include "base/ole_variant.h"
#include "records/field.h"
#include "records/field_defs.h"
#include "records/field_types.h"

namespace selvane {

class TRecordSet {
 public:
  // String values are converted to and from code_page, which must outlive
  // the record set.
  explicit TRecordSet(CodePage& code_page);
  ~TRecordSet();
  TRecordSet(const TRecordSet&) = delete;
  TRecordSet& operator=(const TRecordSet&) = delete;

  TFieldDefs& FieldDefs();

  // Lays out an empty table from FieldDefs and opens it in the browse state.
  void CreateDataSet();

  bool Active() const;
  // true opens a closed record set from the packet SetData kept (no-op when
  // open); false closes it.
  void SetActive(bool active);
  void Close();
  TDataSetState State() const;

  // Starts a new row with every field null (posts or cancels a pending one first).
  void Insert();
  // Checks the Required fields and stores the pending row.
  void Post();
  void Cancel();
  // Posts a pending row with assigned fields, cancels one without.
  void CheckBrowseMode();

  // Case-insensitive; throws "Field '%s' not found".
  TField& FieldByName(std::string_view name);
  TField* FindField(std::string_view name);
  int FieldCount() const;
  TField& Fields(int index);

  // The packet of the open record set: metadata, change log and every stored
  // row, as a byte array handed over without a copy.
  OleVariant GetData();
  // Replaces fields and rows with the packet's. Null closes the record set;
  // anything but a byte array of 22 bytes or more throws "Invalid data packet";
  // a packet the engine rejects throws EDBClient and leaves it closed. The
  // rvalue form keeps the caller's bytes without copying them.
  void SetData(OleVariant&& packet);
  void SetData(const OleVariant& packet);

  // Visible rows; throws on a closed record set.
  int64_t RecordCount() const;
  void First();
  void Next();
  bool Eof() const;
  // 1-based position of the current row; 0 when there is none.
  int64_t RecNo() const;

 private:
  friend class TField;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace selvane
