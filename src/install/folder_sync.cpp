#include "install/folder_sync.h"

#include "editions/editions.h"
#include "install/container.h"
#include "install/file_fetch.h"
#include "install/file_time.h"
#include "install/folder_listing.h"
#include "install/progress_text.h"
#include "install/windows_names.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

void SincronizaPasta(Env& env, TRpcConnection* connection, WindowPort& window, int32_t NumeroAtualizacao,
                     const FolderSyncStep& step) {
  TServidorClient proxy(connection);
  TRecordSet fetch_list(env);
  fetch_list.SetData(proxy.CallFolderMethod(step.method, RetornaListaArquivosPasta(env, step.folder)));
  if (fetch_list.RecordCount() == 0) return;

  for (fetch_list.First(); !fetch_list.Eof(); fetch_list.Next()) {
    const std::string file = fetch_list.FieldByName(kFetchListFile).AsString();
    const std::string name = PlainFileNameFromServer(file);
    const std::string target = step.folder + name;
    const std::string temp = UnpackTempPath(target);
    const FetchedFile fetched = FetchFile(
        env, proxy, file, NumeroAtualizacao,
        [&](const std::string& file_name) { return step.folder + PlainFileNameFromServer(file_name); }, target, temp);
    CommitFetchedFile(env, fetched, temp, target);
    DefineDataHoraArq(env, target, fetch_list.FieldByName(kFetchListFileDate).AsDateTime());

    if (step.percent_prefix) {
      window.SetStatus(PercentStatus(*step.percent_prefix, static_cast<int>(fetch_list.RecNo()),
                                     static_cast<int>(fetch_list.RecordCount())));
    }
    if (step.copy_bpl_to_kvl && name.find(".bpl") != std::string::npos) {
      env.CopyFile(target, std::string(kKvlFolderSlash) + name, false);
    }
  }
}

}  // namespace selvane
