#pragma once
// The three record shapes that travel inside the remote calls as data packets:
//   folder listing  Filename (string 100, required), FileDate (date-time, required)
//   fetch list      File, FileDate
//   file record     FileName, Content (bytes), FileDate
// The client sends listings and reads the other two; the reference server
// reads listings and writes the other two.

#include <string>
#include <string_view>
#include <vector>

#include "base/ole_variant.h"
#include "base/code_page.h"

namespace selvane {

class TRecordSet;

inline constexpr std::string_view kListingFilename = "Filename";
inline constexpr std::string_view kListingFileDate = "FileDate";
inline constexpr int kListingFilenameWidth = 100;

inline constexpr std::string_view kFetchListFile = "File";
inline constexpr std::string_view kFetchListFileDate = "FileDate";

inline constexpr std::string_view kFileRecordFileName = "FileName";
inline constexpr std::string_view kFileRecordContent = "Content";
inline constexpr std::string_view kFileRecordFileDate = "FileDate";

// One row of a folder listing.
struct ListedFile {
  std::string name;
  double date_time = 0;  // TDateTime
  friend bool operator==(const ListedFile&, const ListedFile&) = default;
};

// One row of a fetch list.
struct FetchEntry {
  std::string file;  // the text the client passes back to RetornaArquivo
  double date_time = 0;
  friend bool operator==(const FetchEntry&, const FetchEntry&) = default;
};

// Lays out and opens an empty listing.
void CreateListing(TRecordSet& listing);
void AddListedFile(TRecordSet& listing, const std::string& name, double file_date);

// A folder listing's rows. Null reads as an empty listing; a packet without
// those fields raises the record set's error.
std::vector<ListedFile> ReadListing(CodePage& code_page, const OleVariant& packet);

// The string columns that the server writes are this wide. A name that does
// not fit is refused (std::length_error) rather than cut, since a cut name
// would fetch the wrong file.
inline constexpr int kServerNameWidth = 512;

OleVariant FetchListPacket(CodePage& code_page, const std::vector<FetchEntry>& entries);

// A file record of one row.
OleVariant FileRecordPacket(CodePage& code_page, std::string_view file_name, Bytes content, double date_time);

}  // namespace selvane
