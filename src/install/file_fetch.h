#pragma once
// One file from the server: its container is written to disk, unpacked into
// the target and deleted again.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/env.h"

namespace selvane {

class TServidorClient;

struct FetchedFile {
  double file_date;  // the file record's FileDate
};

// Calls RetornaArquivo(arquivo, NumeroAtualizacao), writes the record's
// Content to the path that `container_path` gives for the record's FileName,
// unpacks it into `target` and deletes the container, also when unpacking
// fails. The target keeps its old content on any failure.
FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::string(const std::string& file_name)>& container_path,
                      const std::string& target);

}  // namespace selvane
