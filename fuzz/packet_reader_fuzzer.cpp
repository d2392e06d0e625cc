// Arbitrary bytes as a data packet from the server: SetData must either reject
// them with a record-set error or give a record set whose every row and field
// can be read and which writes a packet that reads back to the same packet.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "records/db_errors.h"
#include "records/record_set.h"
#include "testing/memory_env.h"

using namespace selvane;

namespace {

MemoryEnv& Files() {
  static MemoryEnv env;
  return env;
}

void ReadField(TField& field) {
  try {
    (void)field.IsNull();
    if (field.IsBlob()) {
      (void)field.AsBytes().size();
      field.SaveToFile([] { return Files().Create("C:\\fuzz.bin", ShareMode::kExclusive); });
    }
    switch (field.DataType()) {
      case ftDateTime: case ftDate: case ftTime: (void)field.AsDateTime(); break;
      default: (void)field.AsString(); break;
    }
  } catch (const EDatabaseError&) {  // a type without that access, a blob not carried
  } catch (const EConvertError&) {   // a stored value that is no date-time
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryEnv& env = Files();
  TRecordSet rs(env);
  try {
    rs.SetData(OleVariant::FromBytes(Bytes(data, data + size)));
  } catch (const EDatabaseError&) {
    return 0;
  }
  const int64_t count = rs.RecordCount();
  int64_t walked = 0;
  for (rs.First(); !rs.Eof(); rs.Next()) {
    ++walked;
    if (rs.RecNo() != walked) abort();
    for (int i = 0; i < rs.FieldCount(); ++i) ReadField(rs.Fields(i));
  }
  if (walked != count) abort();

  OleVariant packet;
  try {
    packet = rs.GetData();
  } catch (const EDBClient&) {
    return 0;  // read but not writable (a column the writer refuses)
  }
  // What this writer wrote, this reader reads, and writes again unchanged.
  const Bytes first = packet.bytes();
  TRecordSet again(env);
  again.SetData(std::move(packet));
  if (again.RecordCount() != count) abort();
  if (again.GetData().bytes() != first) abort();
  return 0;
}
