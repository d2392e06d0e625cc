#pragma once
// One file from the server: its container is written to disk, unpacked into a
// temporary file of the caller's and deleted again. The caller puts the
// temporary in place.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/env.h"

namespace selvane {

class TServidorClient;

struct FetchedFile {
  std::string file_name;  // the file record's FileName
  double file_date;       // the file record's FileDate, checked to be a date
  int32_t entries;        // entries unpacked; 0 leaves `temporary` uncreated
};

// Calls RetornaArquivo(arquivo, NumeroAtualizacao) and checks the record's
// values; then, after CheckContainerIsNotTarget(container, target), writes
// the record's Content to the path that `container_path` gives for the
// record's FileName, unpacks it into `temporary` (created anew) and deletes
// the container. On any failure the container and the temporary are deleted
// again; `target` is never written, and nothing this call did not create is
// deleted.
FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::string(const std::string& file_name)>& container_path,
                      const std::string& temporary, const std::string& target);

}  // namespace selvane
