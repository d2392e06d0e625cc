#pragma once
// The three record shapes that travel inside the remote calls, read from and
// written as data packets through the record set.

#include <string_view>
#include <vector>

#include "platform/env.h"
#include "base/ole_variant.h"
#include "repository.h"

namespace selvane::refserver {

// A folder listing (Filename, FileDate). Null reads as an empty listing; a
// packet without those fields raises the record set's error.
std::vector<ListedFile> ReadListing(Env& env, const OleVariant& packet);

// A fetch list (File, FileDate).
OleVariant FetchListPacket(Env& env, const std::vector<FetchEntry>& entries);

// A file record (FileName, Content, FileDate) of one row.
OleVariant FileRecordPacket(Env& env, std::string_view file_name, Bytes content, double date_time);

}  // namespace selvane::refserver
