#include "records/field.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "base/byte_order.h"
#include "base/text.h"
#include "records/db_errors.h"
#include "records/record_set.h"
#include "records/record_set_impl.h"
#include "records/timestamp.h"

namespace selvane {

namespace {

enum class Kind { kText, kWideText, kBlob, kWideBlob, kBytes, kSigned, kUnsigned, kBoolean,
                  kTimeStamp, kDate, kTime, kOther };

Kind KindOf(TFieldType t) {
  switch (t) {
    case ftString: case ftFixedChar: case ftGuid: return Kind::kText;
    case ftWideString: case ftFixedWideChar: return Kind::kWideText;
    case ftWideMemo: return Kind::kWideBlob;
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob: case ftOraClob: return Kind::kBlob;
    case ftBytes: case ftVarBytes: return Kind::kBytes;
    case ftSmallint: case ftInteger: case ftAutoInc: case ftLargeint: case ftShortint:
      return Kind::kSigned;
    case ftWord: case ftLongWord: case ftByte: return Kind::kUnsigned;
    case ftBoolean: return Kind::kBoolean;
    case ftDateTime: return Kind::kTimeStamp;
    case ftDate: return Kind::kDate;
    case ftTime: return Kind::kTime;
    default: return Kind::kOther;
  }
}

[[noreturn]] void ThrowAccess(const std::string& field, const char* as) {
  throw EDatabaseError("Cannot access field '" + field + "' as type " + as);
}

std::string_view AsChars(std::span<const uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::u16string ToUtf16Units(std::span<const uint8_t> b) {
  std::u16string s(b.size() / 2, u'\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(LoadLe16(b.subspan(2 * i)));
  return s;
}

Bytes FromUtf16Units(std::u16string_view s) {
  Bytes b;
  b.reserve(s.size() * 2);
  for (char16_t c : s) AppendLe16(b, c);
  return b;
}

template <typename T>
Bytes LittleEndian(T value) {
  Bytes b;
  if constexpr (std::is_floating_point_v<T>) {
    AppendLe64(b, std::bit_cast<uint64_t>(value));
  } else {
    AppendLittleEndian(b, static_cast<uint64_t>(value), sizeof(T));
  }
  return b;
}

// The value of the leading sizeof(T) bytes; bytes that are missing read as zero.
template <typename T>
T FromLittleEndian(std::span<const uint8_t> b) {
  const uint64_t v = LoadLittleEndian(b.first(std::min(b.size(), sizeof(T))));
  if constexpr (std::is_floating_point_v<T>) {
    return std::bit_cast<T>(v);
  } else {
    return static_cast<T>(v);
  }
}

}  // namespace

bool TField::IsBlob() const {
  const Kind k = KindOf(data_type_);
  return k == Kind::kBlob || k == Kind::kWideBlob;
}

bool TField::IsNull() const { return owner_->impl_->ValueOf(column_).status != FieldStatus::kValue; }

std::span<const uint8_t> TField::AsBytes() const {
  const RowField f = owner_->impl_->ValueOf(column_);
  if (f.status != FieldStatus::kValue) return {};
  if (f.value.absent()) {
    throw EDatabaseError("The data packet does not carry the blob of field '" + name_ + "'");
  }
  return f.value.content;
}

std::string TField::AsString() const {
  const Kind kind = KindOf(data_type_);
  const auto bytes = AsBytes();
  if (IsNull()) return {};
  CodePage& code_page = owner_->impl_->code_page;
  switch (kind) {
    case Kind::kText: case Kind::kBlob: return code_page.FromAnsi(AsChars(bytes));
    case Kind::kWideText: case Kind::kWideBlob: return Utf16ToUtf8(ToUtf16Units(bytes));
    case Kind::kSigned: {
      int64_t v = FromLittleEndian<int64_t>(bytes);
      const unsigned shift = 64 - 8 * static_cast<unsigned>(std::min<size_t>(bytes.size(), 8));
      if (shift < 64) v = static_cast<int64_t>(static_cast<uint64_t>(v) << shift) >> shift;
      return std::to_string(v);
    }
    case Kind::kUnsigned: return std::to_string(FromLittleEndian<uint64_t>(bytes));
    case Kind::kBoolean: return FromLittleEndian<uint64_t>(bytes) != 0 ? "True" : "False";
    default: ThrowAccess(name_, "String");
  }
}

void TField::SetAsString(std::string_view utf8) {
  auto& d = *owner_->impl_;
  d.CheckInsertState();
  switch (KindOf(data_type_)) {
    case Kind::kText: {
      std::string ansi = d.code_page.ToAnsi(utf8);
      ansi.resize(std::min({ansi.find('\0'), ansi.size(), static_cast<size_t>(std::max(size_, 0))}));
      d.PendingValue(column_) = ToBytes(ansi);
      break;
    }
    case Kind::kWideText: {
      std::u16string wide = Utf8ToUtf16(utf8);
      wide.resize(std::min({wide.find(u'\0'), wide.size(), static_cast<size_t>(std::max(size_, 0))}));
      d.PendingValue(column_) = FromUtf16Units(wide);
      break;
    }
    case Kind::kBlob: d.PendingValue(column_) = ToBytes(d.code_page.ToAnsi(utf8)); break;
    case Kind::kWideBlob: d.PendingValue(column_) = FromUtf16Units(Utf8ToUtf16(utf8)); break;
    default: ThrowAccess(name_, "String");
  }
}

TDateTime TField::AsDateTime() const {
  const Kind kind = KindOf(data_type_);
  if (kind != Kind::kTimeStamp && kind != Kind::kDate && kind != Kind::kTime) {
    ThrowAccess(name_, "TDateTime");
  }
  const auto bytes = AsBytes();
  if (IsNull()) return 0;
  switch (kind) {
    case Kind::kTimeStamp: return TimeStampMsToDateTime(FromLittleEndian<double>(bytes));
    case Kind::kDate: return DayNumberToDateTime(FromLittleEndian<int32_t>(bytes));
    default: return TimeMsToDateTime(FromLittleEndian<int32_t>(bytes));
  }
}

void TField::SetAsDateTime(TDateTime value) {
  auto& d = *owner_->impl_;
  d.CheckInsertState();
  switch (KindOf(data_type_)) {
    case Kind::kTimeStamp: d.PendingValue(column_) = LittleEndian(DateTimeToTimeStampMs(value)); break;
    case Kind::kDate: d.PendingValue(column_) = LittleEndian(DateTimeToDayNumber(value)); break;
    case Kind::kTime: d.PendingValue(column_) = LittleEndian(DateTimeToTimeMs(value)); break;
    default: ThrowAccess(name_, "TDateTime");
  }
}

void TField::SetAsBytes(std::span<const uint8_t> bytes) { SetAsBytes(Bytes(bytes.begin(), bytes.end())); }

void TField::SetAsBytes(Bytes&& bytes) {
  auto& d = *owner_->impl_;
  d.CheckInsertState();
  const Kind kind = KindOf(data_type_);
  if (kind != Kind::kBlob && kind != Kind::kWideBlob && kind != Kind::kBytes && kind != Kind::kText) {
    ThrowAccess(name_, "TBytes");
  }
  if (kind == Kind::kBytes && bytes.size() > static_cast<size_t>(std::max(size_, 0))) {
    bytes.resize(static_cast<size_t>(std::max(size_, 0)));
  }
  d.PendingValue(column_) = std::move(bytes);
}

void TField::Clear() { owner_->impl_->PendingValue(column_).reset(); }

void TField::SaveToFile(const std::function<std::unique_ptr<WritableFile>()>& create_file) const {
  // Read first: a blob the packet does not carry must not empty an existing file.
  const auto content = IsBlob() ? AsBytes() : std::span<const uint8_t>{};
  auto file = create_file();
  if (!IsBlob()) {
    file->Close();
    throw EInvalidCast();
  }
  if (!content.empty()) file->Write(content.data(), content.size());
  file->Close();
}

}  // namespace selvane
