#include "install/folder_sync.h"

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "editions/editions.h"
#include "install/file_fetch.h"
#include "install/file_trust.h"
#include "install/folder_listing.h"
#include "install/progress_text.h"
#include "install/record_checks.h"
#include "install/step_files.h"
#include "install/windows_names.h"
#include "platform/job_thread.h"
#include "platform/system_error_text.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

namespace {

struct FetchListEntry {
  std::string file;  // the server's text, sent back unchanged
  std::string name;  // the plain name it gives in the folder
  double file_date;
};

// Every record of the fetch list, checked before any file is requested.
std::vector<FetchListEntry> CheckedFetchList(TRecordSet& fetch_list) {
  std::vector<FetchListEntry> files;
  for (fetch_list.First(); !fetch_list.Eof(); fetch_list.Next()) {
    FetchListEntry f;
    f.file = fetch_list.FieldByName(kFetchListFile).AsString();
    f.name = PlainFileNameFromServer(f.file);
    f.file_date = CheckedFileDate(fetch_list.FieldByName(kFetchListFileDate), f.file);
    files.push_back(std::move(f));
  }
  return files;
}

// The file layer names the file it failed on; the user knows the target, not
// the temporaries it waits in.
std::string NamingTarget(std::string text, const std::string& temporary, const std::string& target) {
  if (temporary.empty() || temporary == target) return text;
  for (size_t at = text.find(temporary); at != std::string::npos; at = text.find(temporary, at + target.size())) {
    text.replace(at, temporary.size(), target);
  }
  return text;
}

// Runs `write`, whose failures name `target` instead of where `output` put it.
void NamingTarget(const FetchOutput& output, const std::string& target, const std::function<void()>& write) {
  try {
    write();
  } catch (const EFCreateError& e) {
    throw EFCreateError(NamingTarget(e.what(), output.path(), target));
  } catch (const EFOpenError& e) {
    throw EFOpenError(NamingTarget(e.what(), output.path(), target));
  }
}

}  // namespace

void SincronizaPasta(Env& env, TRpcConnection* connection, WindowPort& window, int32_t NumeroAtualizacao,
                     const FolderSyncStep& step) {
  // A new file of an interrupted step that will not go would pass for the
  // server's: nothing starts until it is gone.
  if (const std::optional<std::string> left = StepFiles::RemoveLeftovers(env, step.folder)) {
    throw EFCreateError(ReplaceFailureText(env, *left, kAccessDeniedText));
  }
  TServidorClient proxy(connection);
  TRecordSet fetch_list(env);
  fetch_list.SetData(proxy.CallFolderMethod(step.method, RetornaListaArquivosPasta(env, step.folder)));
  if (fetch_list.RecordCount() == 0) return;
  const std::vector<FetchListEntry> files = CheckedFetchList(fetch_list);

  StepFiles step_files(env, step.folder);
  std::vector<std::string> targets;
  for (const FetchListEntry& f : files) targets.push_back(step.folder + f.name);
  step_files.Open(targets.front());
  // Each file is written on a thread of its own while the next is requested
  // and received; the requests go out in the same order, and a file's
  // failure is the step's failure, before any that came later.
  FetchBuffers buffers;
  Bytes kept[2];
  std::vector<std::unique_ptr<FetchOutput>> outputs(files.size());
  JobThread writer;  // after what its jobs use: it goes first, waiting for the last job
  std::exception_ptr earlier_failure;
  try {
    for (size_t i = 0; i < files.size(); ++i) {
      outputs[i] = step_files.Output(i, targets[i]);
      FetchOutput& output = *outputs[i];
      const std::string& target = targets[i];
      const FetchOverlap overlap{&kept[i % 2], [&] { earlier_failure = writer.Wait(); }};
      FetchedFile fetched;
      NamingTarget(output, target, [&] {
        // The container goes from the network straight into the file and
        // never onto the disk, so no name the server gives it can make it
        // the target: the name is only checked.
        fetched = FetchFile(
            env, proxy, files[i].file, NumeroAtualizacao,
            [](const std::string& file_name) -> std::optional<std::string> {
              PlainFileNameFromServer(file_name);
              return std::nullopt;
            },
            output, target, DosDateTimeFromDateTime(files[i].file_date), buffers, &overlap);
      });
      if (!earlier_failure) earlier_failure = writer.Wait();
      if (earlier_failure) std::rethrow_exception(std::exchange(earlier_failure, nullptr));
      if (fetched.unpack) {
        writer.Start([&output, &target, unpack = std::move(fetched.unpack)] { NamingTarget(output, target, unpack); });
      }
      // The stamp, set before the file closed, travels with a temporary when it is put in place.
      if (step.percent_prefix) {
        window.SetStatus(
            PercentStatus(*step.percent_prefix, static_cast<int>(i + 1), static_cast<int>(files.size())));
      }
    }
    if (const std::exception_ptr failure = writer.Wait()) std::rethrow_exception(failure);
    if (step.trust_key != nullptr) {
      std::vector<std::string> names;
      for (const FetchListEntry& f : files) names.push_back(f.name);
      CheckStepSignatures(env, *step.trust_key, step.folder, names,
                          [&](size_t i) { return step_files.ContentPath(i); });
    }
  } catch (...) {
    // A file still being written failed first, or goes with the step.
    if (!earlier_failure) earlier_failure = writer.Wait();
    step_files.Discard();
    if (earlier_failure) std::rethrow_exception(earlier_failure);
    throw;
  }
  step_files.Commit(targets);

  if (step.copy_bpl_to_kvl) {
    for (const FetchListEntry& f : files) {
      if (f.name.find(".bpl") != std::string::npos) {
        env.CopyFile(step.folder + f.name, std::string(kKvlFolderSlash) + f.name, false);
      }
    }
  }
}

}  // namespace selvane
