#pragma once
// The update repository on the server's disk and the answers it gives:
//
//   ROOT/ECF, ROOT/KVL, ROOT/NFCE, ROOT/NFCE/Schemas, ROOT/MEI   one per folder method
//   ROOT/updater/Selvane.exe                                     the current updater
//
// Files are reached through an Env whose "C:\" is ROOT, so tests can put a
// fault-injecting Env in front of it. Names compare case-insensitively, as the
// clients' Windows file systems do.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "protocol/packet_layouts.h"
#include "protocol/server_paths.h"

namespace selvane::refserver {

// A repository file that a RetornaArquivo request names.
struct ResolvedFile {
  std::string path;  // Env path ("C:\ECF\VendraECF.exe"); empty for an extra entry
  std::string folder;  // its repository folder ("ECF", "updater")
  std::string name;  // its name as stored
  double date_time = 0;
  // A name for the container that no repository file of its folder carries, so
  // that the client's temporary copy never overwrites a file it also keeps.
  std::string container_name;
};

// The request names nothing the repository serves; the text goes back as the error reply.
class UnknownFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RepositoryOptions {
  // Hand out File values as server paths below kServerRoot instead of
  // folder-relative ones ("ECF\name").
  bool full_paths = false;
  // File values added verbatim to every folder method's fetch list, and served
  // with kExtraEntryContent: hostile names for testing clients.
  std::vector<std::string> extra_entries;
};

inline constexpr std::string_view kExtraEntryContent = "extra entry\r\n";

class Repository {
 public:
  Repository(Env& env, RepositoryOptions options);

  // The folder a folder method serves ("AtualizaPastaECF" -> "ECF"); nullopt for
  // methods that serve none. The remote name's "TServidor." prefix is optional.
  static std::optional<std::string_view> FolderOf(std::string_view method);

  // Every repository file of the folder that the listing lacks or lists with
  // another time, in name order.
  std::vector<FetchEntry> FetchList(std::string_view folder, const std::vector<ListedFile>& listing);

  // One entry when the updater differs from the client's (or the client has none),
  // else none.
  std::vector<FetchEntry> UpdaterFetchList(const std::vector<ListedFile>& listing);

  // Maps a File value back to a repository file. Throws UnknownFileError for
  // anything else, including names that would leave the repository.
  ResolvedFile Resolve(std::string_view file);

  // Every file the repository serves (path and name), folder by folder.
  std::vector<ResolvedFile> AllFiles();

  // The File value under which a folder's file is handed out.
  std::string FileValue(std::string_view folder, std::string_view name) const;

 private:
  struct Entry {
    std::string name;
    DosDateTime dos;
  };
  std::vector<Entry> ListFolder(std::string_view folder);
  // A folder's names as last listed, by their case-folded form: a request
  // then costs one look-up instead of a listing of the whole folder.
  using Names = std::unordered_map<std::string, std::string>;
  std::shared_ptr<const Names> NamesOf(std::string_view folder, bool fresh);

  Env& env_;
  RepositoryOptions options_;
  std::mutex names_mu_;
  std::map<std::string, std::shared_ptr<const Names>, std::less<>> names_;
};

// Case-insensitive file-name comparison (ASCII and Latin-1 letters in UTF-8).
bool SameFileName(std::string_view a, std::string_view b);

}  // namespace selvane::refserver
