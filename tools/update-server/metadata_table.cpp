#include "metadata_table.h"

#include <iterator>
#include <string_view>

#include "rpc/field_codec.h"
#include "rpc/rpc_parameter.h"

namespace selvane::refserver {

namespace {

constexpr int32_t kBool = kRpcTypeBoolean;
constexpr int32_t kInt = kRpcTypeInt32;
constexpr int32_t kStr = kRpcTypeWideString;

struct MetaColumn {
  std::string_view name;
  int32_t type;
  std::u16string_view text;  // string columns
  int64_t number;            // integer and Boolean columns
};

// Thirteen columns: a version 4 row, read by name.
const MetaColumn kMetaColumns[] = {
    {"QuoteChar", kStr, u"\"", 0},
    {"ProcedureQuoteChar", kStr, u"\"", 0},
    {"MaxCommands", kInt, u"", 0},
    {"SupportsTransactions", kBool, u"", 0},
    {"SupportsNestedTransactions", kBool, u"", 0},
    {"SupportsRowSetSize", kBool, u"", 0},
    {"QuotePrefix", kStr, u"\"", 0},
    {"QuoteSuffix", kStr, u"\"", 0},
    {"SupportsLowerCaseIdentifiers", kBool, u"", 1},
    {"SupportsUpperCaseIdentifiers", kBool, u"", 1},
    {"SupportsSPReturnCode", kBool, u"", 0},
    {"SupportsParameterMetadata", kBool, u"", 1},
    {"SupportsCatalogFunctions", kBool, u"", 0},
};

}  // namespace

void WriteMetadataTable(TRpcJsonStreamWriter& w, int32_t handle) {
  w.WriteObjectStart();
  w.WriteName("table");
  w.WriteArrayStart();
  // fields: command handle, updateable, row handle, BCD format, new-style flags
  w.WriteObjectStart();
  w.WriteName("fields");
  w.WriteArrayStart();
  w.WriteInt32(handle);
  w.WriteRaw(",false,0,1,true");
  w.WriteArrayEnd();
  w.WriteObjectEnd();
  w.WriteValueSeparator();
  w.WriteObjectStart();
  w.WriteName("columns");
  w.WriteArrayStart();
  w.WriteInt32(static_cast<int32_t>(std::size(kMetaColumns)));
  for (const MetaColumn& c : kMetaColumns) {
    // Name, DataType, SubType, Precision, Scale, Size, flags
    w.WriteValueSeparator();
    w.WriteArrayStart();
    w.WriteString(c.name);
    const int32_t size = c.type == kInt ? 4 : 2;
    for (int64_t v : {int64_t{c.type}, int64_t{0}, int64_t{size}, int64_t{0}, int64_t{size}, int64_t{0}}) {
      w.WriteValueSeparator();
      w.WriteInt64(v);
    }
    w.WriteArrayEnd();
  }
  w.WriteArrayEnd();
  w.WriteObjectEnd();
  w.WriteArrayEnd();
  w.WriteObjectEnd();
}

Bytes MetadataRow() {
  Bytes row;
  for (const MetaColumn& c : kMetaColumns) {
    if (c.type == kStr) {
      AppendStringField(row, EncodeStringBytes(c.text), kMaxInlinePart);
    } else if (c.type == kInt) {
      AppendIntegerField(row, c.number);
    } else {
      AppendBooleanField(row, c.number != 0);
    }
  }
  return row;
}

}  // namespace selvane::refserver
