#pragma once
// One file from the server, streamed: the file record's Content goes from the
// network through the inflater and the container reader straight into a
// temporary file of the caller's, so neither the record nor its container is
// ever held whole or written to disk. Putting the temporary in the target's
// place is the caller's step.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/dos_time.h"
#include "base/ole_variant.h"
#include "install/fetch_output.h"
#include "platform/env.h"

namespace selvane {

class TServidorClient;

struct FetchedFile {
  std::string file_name;  // the file record's FileName
  double file_date = 0;   // the file record's FileDate, checked to be a date
  int32_t entries = 0;    // entries unpacked; 0 leaves `temporary` uncreated
  // With a FetchOverlap, when the writing was left to the caller: the job
  // that writes the file (entries is then -1).
  std::function<void()> unpack;
};

// Calls RetornaArquivo(arquivo, NumeroAtualizacao) and unpacks the record's
// Content into `temporary`, created anew; `target` is never written. A
// `stamp` becomes the temporary's last-write time, set on its open handle
// after the last write (a stamp that cannot be set is no failure). Before
// anything is written, container_path(FileName) names where the record's
// container would be (it may refuse the name by throwing), and
// CheckContainerIsNotTarget refuses a record whose container would be the
// target itself; a caller whose containers would live where no file can be
// the target answers nullopt, which leaves the check (a lookup on disk) out.
// The record's values are checked before the call returns. On any failure
// `temporary` is deleted and the failure raised with the text the file would
// have given through a container on disk: the reply is read to its end first,
// then the record's errors come, then the unpacking's (a temporary that
// cannot be created is reported as the container that could not be, or as the
// target where there is no container path). Nothing this call did not create
// is deleted.
// From this many bytes of a file's content on, the rest is inflated and
// written on a thread of its own while the next parts arrive; the wire, the
// files and the failures are the same either way. Tests lower it so that
// small fixtures take that way too.
constexpr size_t kInflateInBackgroundFrom = 4 << 20;
void InflateInBackgroundFrom(size_t bytes);

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      const std::string& temporary, const std::string& target,
                      std::optional<DosDateTime> stamp = std::nullopt);

// How a fetch may leave the writing of its file to the caller, so that the
// file is written while the next one is received. A content of up to
// kKeptWhole bytes is kept in `kept` while the reply arrives; once the reply
// and the record's checks have passed, the fetch returns the job that unpacks
// it into the output (FetchedFile::unpack). The caller runs the job on a
// thread of its own, keeps the output, `kept` and the fetch's FetchBuffers
// until it has ended, and gets its failure, with the text the fetch would
// have thrown, from it. A larger content, or one the record's checks fail, is
// written by the fetch itself once `before_writing` has returned: the caller
// waits there for the job before it, so that files are written one at a time
// and in order.
struct FetchOverlap {
  Bytes* kept = nullptr;
  std::function<void()> before_writing;
};
constexpr size_t kKeptWhole = 1 << 20;

// What fetches reuse from one file to the next: the readers and their
// buffers (fresh memory costs more than a small file), and the layout of the
// last file record. A caller keeps one for a run of fetches on one thread; a
// job a fetch returns uses its own part of it, one job at a time.
class FetchBuffers {
 public:
  FetchBuffers();
  ~FetchBuffers();
  FetchBuffers(const FetchBuffers&) = delete;
  FetchBuffers& operator=(const FetchBuffers&) = delete;
  struct Parts;
  Parts& parts() { return *parts_; }

 private:
  std::unique_ptr<Parts> parts_;
};

// The same into a file `output` makes (`temporary` above is a TemporaryOutput),
// written as it arrives, or later with an `overlap`.
FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      FetchOutput& output, const std::string& target, std::optional<DosDateTime> stamp,
                      FetchBuffers& buffers, const FetchOverlap* overlap = nullptr);

}  // namespace selvane
