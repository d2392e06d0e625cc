#include "install/self_update.h"

#include <string>

#include "install/batch_texts.h"
#include "install/file_fetch.h"
#include "install/file_time.h"
#include "install/file_trust.h"
#include "install/folder_listing.h"
#include "install/status_texts.h"
#include "install/updater_check.h"
#include "install/windows_names.h"
#include "protocol/file_signature.h"
#include "protocol/server_paths.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

namespace {

// Fetches the new updater's signature beside it and checks it; the signature
// file is gone afterwards, whatever the outcome.
void CheckUpdaterSignature(Env& env, TServidorClient& proxy, const EditionInfo& edition, int32_t NumeroAtualizacao,
                           const TrustKey& key) {
  const std::string suffix(kSignatureSuffix);
  const std::string name(FileNamePart(kServerUpdaterPath));
  const std::string signature = edition.updater_new + suffix;
  try {
    try {
      FetchFile(
          env, proxy, std::string(kServerUpdaterPath) + suffix, NumeroAtualizacao,
          [&](const std::string& file_name) {
            PlainFileNameFromServer(file_name);
            return edition.updater_container + suffix;
          },
          signature, edition.updater_copy + suffix);
    } catch (const std::exception& e) {
      throw EUnsignedFile(UnsignedFileText(name, "não foi possível obter " + name + suffix + " do servidor (" +
                                                     e.what() + ")."));
    }
    CheckSignedFile(env, key, edition.updater_new, name, signature);
  } catch (...) {
    env.DeleteFile(signature);
    throw;
  }
  env.DeleteFile(signature);
}

// Fetches the server's updater into the edition folder as Selvane_new.exe
// and checks it before anything depends on it: a file that is no program for
// this machine, or (with a key) not signed, is deleted again and fails the
// update, so that the running updater stays and nothing restarts.
void FetchNewUpdater(Env& env, TServidorClient& proxy, const EditionInfo& edition, int32_t NumeroAtualizacao,
                     const TrustKey* trust_key) {
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
    if (trust_key != nullptr) CheckUpdaterSignature(env, proxy, edition, NumeroAtualizacao, *trust_key);
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
                         int32_t NumeroAtualizacao, const TrustKey* trust_key) {
  TServidorClient proxy(connection);
  const std::string& updater_copy = edition.updater_copy;

  if (!env.FileExists(updater_copy)) {
    FetchNewUpdater(env, proxy, edition, NumeroAtualizacao, trust_key);
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

  FetchNewUpdater(env, proxy, edition, NumeroAtualizacao, trust_key);
  SaveBatchFile(env, edition.update_batch, ReplacementBatch(edition));
  Restart(env, window, edition);
  return false;
}

}  // namespace selvane
