#pragma once
// The bodies of the remote methods, apart from how they travel: each takes the
// decoded input values and returns the return value. Shared by every session;
// safe to call from several threads at once.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "base/ole_variant.h"
#include "container_cache.h"
#include "repository.h"
#include "served_value.h"
#include "server_options.h"

namespace selvane::refserver {

class UpdateService {
 public:
  // repository_env: an Env whose "C:\" is the repository folder.
  UpdateService(Env& repository_env, const ServerOptions& options);

  int32_t GetNumeroAtualizacao() const { return NumeroAtualizacao_; }
  // Fetch list for a folder method ("TServidor.AtualizaPastaECF") and the client's listing.
  OleVariant FolderMethod(std::string_view method_text, const OleVariant& listing);
  OleVariant AtualizaAtualizador(const OleVariant& listing);
  // File record of the file a fetch list named (arquivo as UTF-8). Throws
  // UnknownFileError for anything the repository does not serve.
  OleVariant RetornaArquivo(std::string_view arquivo, int32_t NumeroAtualizacao);
  // The same result as the variant stream the server sends, around the
  // file's cached container.
  ServedValue ServeArquivo(std::string_view arquivo, int32_t NumeroAtualizacao);

  // Makes every repository file's container ahead, in the background.
  void StartAhead();
  void StopAhead();
  // Makes every repository file's container now, on this thread.
  void MakeAllContainers();
  ContainerCache& cache() { return cache_; }
  // Counts a RetornaArquivo reply about to be sent: 1 for the run's first.
  int64_t CountFileReply() { return ++file_replies_; }

 private:
  // The file record without the cache: read and compressed for this call.
  OleVariant MakeFileRecord(const ResolvedFile& file);
  uint64_t ServedContainerSize(uint64_t size) const;
  // The FileName the record of `file` gives.
  std::string RecordName(const ResolvedFile& file) const;

  Env& env_;
  Repository repository_;
  ContainerCache cache_;
  uint32_t rescan_ms_;
  int32_t NumeroAtualizacao_;
  bool same_name_container_;
  std::map<std::string, std::string> file_name_for_;
  std::set<std::string> empty_container_;
  std::atomic<int64_t> file_replies_{0};
  bool truncate_container_;
  int64_t cut_container_at_;
};

}  // namespace selvane::refserver
