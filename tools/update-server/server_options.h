#pragma once
// What the reference update server serves and how it misbehaves on request.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <string>
#include <vector>

#include "repository.h"

namespace selvane::refserver {

inline constexpr uint16_t kDefaultPort = 5975;

// Where the silent-server fault sets in: the server stops answering (it keeps
// the connection and reads what comes) instead of sending that reply.
enum class SilentPhase {
  kNever,
  kHandshake,  // the filter query's answer
  kConnect,    // the connect reply
  kMetadata,   // the metadata query's reply
  kPrepare,    // the first prepare reply
  kExecute,    // the first remote method's execute reply
  kPart,       // inside the first file's reply, after kSilentPartBytes of it
};
inline constexpr int64_t kSilentPartBytes = 64;

// "handshake", "connect", ...; nullopt for any other name.
std::optional<SilentPhase> SilentPhaseNamed(std::string_view name);

struct ServerOptions {
  std::string root;             // repository folder on this machine
  uint16_t port = kDefaultPort;  // 0 picks a free port
  int32_t NumeroAtualizacao = 1;  // GetNumeroAtualizacao's answer
  RepositoryOptions repository;
  // Bytes per part of a result sent in parts (the first part goes inline, at most 65,535).
  uint32_t part_size = 1000000;
  // Announce large results with a blob header (no bytes inline) instead of a 0x50 field.
  bool blob_header = false;
  // End every result sent in parts with an empty last part (count 0) after
  // its bytes, as some servers do.
  bool empty_last_part = false;
  // Where containers are kept between runs; empty: in memory only.
  std::string cache_dir;
  // How often the repository is looked at again for changed files.
  uint32_t cache_rescan_ms = 2000;
  // Log every request with the time it arrived (seconds of a steady clock),
  // so that a client's phases can be timed from here.
  bool log_times = false;

  // --- Faults, for testing clients -----------------------------------------
  // Close the connection once this many bytes of a RetornaArquivo reply
  // (its more_blob parts included) have been sent; negative: never.
  int64_t drop_after_bytes = -1;
  // Only the Nth RetornaArquivo reply of the server's run (1 = the first) is
  // cut so; 0: every one.
  int64_t drop_in_file = 0;
  // The file record's FileName equals the target's name.
  bool same_name_container = false;
  // The file record of the repository file named as the key (its name in the
  // repository, compared exactly) gives the value as its FileName.
  std::map<std::string, std::string> file_name_for;
  // Repository files (by name) whose container holds no entry.
  std::set<std::string> empty_container;
  // Cut the container to half its length, so unpacking fails.
  bool truncate_container = false;
  // Keep only this many bytes of every container; negative: all.
  int64_t cut_container_at = -1;
  // Close each connection after this many bytes of its session, counting what
  // the server received and sent in the order they passed; negative: never.
  int64_t cut_after_bytes = -1;
  SilentPhase silent_at = SilentPhase::kNever;
};

}  // namespace selvane::refserver
