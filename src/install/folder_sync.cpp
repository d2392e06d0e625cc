#include "install/folder_sync.h"

#include <optional>
#include <vector>

#include "editions/editions.h"
#include "install/file_fetch.h"
#include "install/file_trust.h"
#include "install/folder_listing.h"
#include "install/progress_text.h"
#include "install/record_checks.h"
#include "install/step_files.h"
#include "install/windows_names.h"
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
  try {
    for (size_t i = 0; i < files.size(); ++i) {
      const std::unique_ptr<FetchOutput> output = step_files.Output(i, targets[i]);
      try {
        // The container goes from the network straight into the file and
        // never onto the disk, so no name the server gives it can make it
        // the target: the name is only checked.
        FetchFile(
            env, proxy, files[i].file, NumeroAtualizacao,
            [](const std::string& file_name) -> std::optional<std::string> {
              PlainFileNameFromServer(file_name);
              return std::nullopt;
            },
            *output, targets[i], DosDateTimeFromDateTime(files[i].file_date));
      } catch (const EFCreateError& e) {
        throw EFCreateError(NamingTarget(e.what(), output->path(), targets[i]));
      } catch (const EFOpenError& e) {
        throw EFOpenError(NamingTarget(e.what(), output->path(), targets[i]));
      }
      // The stamp, set before the file closed, travels with a temporary when it is put in place.
      if (step.percent_prefix) {
        window.SetStatus(
            PercentStatus(*step.percent_prefix, static_cast<int>(i + 1), static_cast<int>(files.size())));
      }
    }
    if (step.trust_key != nullptr) {
      std::vector<std::string> names;
      for (const FetchListEntry& f : files) names.push_back(f.name);
      CheckStepSignatures(env, *step.trust_key, step.folder, names,
                          [&](size_t i) { return step_files.ContentPath(i); });
    }
  } catch (...) {
    step_files.Discard();
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
