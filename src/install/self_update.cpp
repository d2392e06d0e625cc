#include "install/self_update.h"

#include <string>

#include "install/batch_texts.h"
#include "install/file_fetch.h"
#include "install/file_time.h"
#include "install/folder_listing.h"
#include "install/status_texts.h"
#include "install/updater_check.h"
#include "install/windows_names.h"
#include "protocol/server_paths.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

namespace {

// Fetches the server's updater into the edition folder as Selvane_new.exe
// and checks it before anything depends on it: a file that is no program for
// this machine is deleted again and fails the update, so that the running
// updater stays and nothing restarts.
void FetchNewUpdater(Env& env, TServidorClient& proxy, const EditionInfo& edition, int32_t NumeroAtualizacao) {
  const std::string& container = edition.updater_container;
  const std::string& new_updater = edition.updater_new;
  FetchedFile fetched = FetchFile(
      env, proxy, std::string(kServerUpdaterPath), NumeroAtualizacao,
      [&](const std::string& file_name) {
        PlainFileNameFromServer(file_name);  // unused, but a record with a bad name is a bad record
        return container;
      },
      new_updater, edition.updater_copy);
  try {
    CheckNewUpdater(env, new_updater, fetched.entries);
  } catch (...) {
    if (fetched.entries > 0) env.DeleteFile(new_updater);
    throw;
  }
  DefineDataHoraArq(env, new_updater, fetched.file_date);
}

void Restart(Env& env, WindowPort& window, const EditionInfo& edition) {
  window.SetStatus(std::string(kStatusRestarting));
  env.SleepMs(3000);
  // Run in the edition folder, so that the batch acts there whatever drive
  // the updater was started from (its "cd" does not change the drive).
  env.RunHidden(edition.update_batch_cmd, edition.edition_folder);
  window.TerminateApplication();
}

}  // namespace

bool AtualizaAtualizador(Env& env, TRpcConnection* connection, WindowPort& window, const EditionInfo& edition,
                         int32_t NumeroAtualizacao) {
  TServidorClient proxy(connection);
  const std::string& updater_copy = edition.updater_copy;

  if (!env.FileExists(updater_copy)) {
    FetchNewUpdater(env, proxy, edition, NumeroAtualizacao);
    SaveBatchFile(env, edition.update_batch, FirstCopyBatch(edition));
    Restart(env, window, edition);
    return false;
  }

  TRecordSet listing(env);
  CreateListing(listing);
  // An unreadable time lists as the epoch, which the server takes as outdated.
  AddListedFile(listing, std::string(FileNamePart(updater_copy)), DataHoraArq(env, updater_copy).value_or(0.0));
  listing.SetData(proxy.AtualizaAtualizador(listing.GetData()));
  if (listing.RecordCount() == 0) return true;

  FetchNewUpdater(env, proxy, edition, NumeroAtualizacao);
  SaveBatchFile(env, edition.update_batch, ReplacementBatch(edition));
  Restart(env, window, edition);
  return false;
}

}  // namespace selvane
