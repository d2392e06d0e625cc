#pragma once
// The one-row table that answers a connection's database metadata query: the
// server's quoting characters and capabilities.

#include <cstdint>

#include "base/ole_variant.h"
#include "rpc/json_stream_writer.h"

namespace selvane::refserver {

// {"table":[{"fields":[...]},{"columns":[n,...]}]} for a table of command `handle`.
void WriteMetadataTable(TRpcJsonStreamWriter& writer, int32_t handle);

// The table's one row.
Bytes MetadataRow();

}  // namespace selvane::refserver
