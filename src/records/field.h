#pragma once
// One field of a record set: reads the current row's value and assigns the
// pending row's value. Field objects belong to their record set and stay valid
// until the next CreateDataSet or SetData on it.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/file_stream.h"
#include "base/ole_variant.h"
#include "records/field_types.h"

namespace selvane {

class TRecordSet;

class TField {
 public:
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return data_type_; }
  int Size() const { return size_; }
  TFieldAttributes Attributes() const { return attributes_; }
  bool Required() const { return (attributes_ & faRequired) != 0; }
  // The blob field classes (ftBlob, ftMemo, ftGraphic, ftWideMemo, ...).
  bool IsBlob() const;

  bool IsNull() const;

  // String fields: the text from the code page; null reads as "". Integer,
  // boolean and memo fields are converted as well.
  std::string AsString() const;
  // Converts to the code page, stops at a zero byte and keeps at most Size
  // bytes. Needs the insert state ("Dataset not in edit or insert mode").
  void SetAsString(std::string_view utf8);

  // Date-time fields (ftDateTime, ftDate, ftTime); null reads as 0.
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime value);

  // The stored bytes, read in place (blob, bytes and string fields); empty when
  // null. The span is valid until the record set moves, changes or closes.
  std::span<const uint8_t> AsBytes() const;
  void SetAsBytes(std::span<const uint8_t> bytes);
  void SetAsBytes(Bytes&& bytes);

  // Makes the pending value null.
  void Clear();

  // TBlobField.SaveToFile: create_file creates the file (or empties it), as
  // [&] { return env.Create(path, ShareMode::kExclusive); } does; the current
  // row's blob bytes are written to it straight from the kept packet and it is
  // closed. A null blob gives an empty file. Not a blob field: EInvalidCast
  // after creating the file. A blob the packet does not carry fails before
  // create_file is called.
  void SaveToFile(const std::function<std::unique_ptr<WritableFile>()>& create_file) const;

 private:
  friend class TRecordSet;
  TField(TRecordSet& owner, int column, std::string name, TFieldType data_type, int size,
         TFieldAttributes attributes)
      : owner_(&owner), column_(column), name_(std::move(name)), data_type_(data_type),
        size_(size), attributes_(attributes) {}

  TRecordSet* owner_;
  int column_;  // the table column behind the field
  std::string name_;
  TFieldType data_type_;
  int size_;
  TFieldAttributes attributes_;
};

}  // namespace selvane
