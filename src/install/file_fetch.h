#pragma once
// One file from the server, streamed: the file record's Content goes from the
// network through the inflater and the container reader straight into a
// temporary file, so neither the record nor its container is ever held whole
// or written to disk. Putting the temporary in the target's place is the
// caller's step.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/env.h"

namespace selvane {

class TServidorClient;

struct FetchedFile {
  std::string file_name;  // the file record's FileName
  double file_date = 0;   // its FileDate
  // The container held an entry, whose data is now in the temporary. Without
  // one no temporary exists and the target is to stay as it is.
  bool written = false;
};

// Calls RetornaArquivo(arquivo, NumeroAtualizacao) and unpacks the record's
// Content into `temp`, created anew; `target` is never written. Before
// anything is written, CheckContainerIsNotTarget(container_path(FileName),
// target) refuses a record whose container would be the target itself. On any
// failure `temp` is deleted and the failure raised with the text the file
// would have given through a container on disk: the reply is read to its end
// first, then the record's errors come, then the unpacking's (a temporary
// that cannot be created is reported as the container that could not be).
FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::string(const std::string& file_name)>& container_path,
                      const std::string& target, const std::string& temp);

// The caller's step after a fetch: `temp` replaces `target` (when the fetch
// wrote it). A failed rename deletes `temp` and raises "Cannot create file".
void CommitFetchedFile(Env& env, const FetchedFile& fetched, const std::string& temp, const std::string& target);

}  // namespace selvane
