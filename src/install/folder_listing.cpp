#include "install/folder_listing.h"

#include "install/file_time.h"
#include "base/dos_time.h"
#include "records/record_set.h"

namespace selvane {

OleVariant RetornaListaArquivosPasta(Env& env, const std::string& folder) {
  TRecordSet listing(env);
  CreateListing(listing);
  for (const DirEntry& entry : env.FindFiles(folder + "*.*")) {
    if (!IsListedFile(entry.attributes)) continue;
    // A file that vanished since the search is simply not listed.
    std::optional<double> when = DataHoraArq(env, folder + entry.name);
    if (when) AddListedFile(listing, entry.name, *when);
  }
  return listing.GetData();
}

}  // namespace selvane
