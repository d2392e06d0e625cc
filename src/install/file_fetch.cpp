#include "install/file_fetch.h"

#include "install/container.h"
#include "install/record_checks.h"
#include "protocol/packet_layouts.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::string(const std::string& file_name)>& container_path,
                      const std::string& temporary, const std::string& target) {
  TRecordSet record(env);
  record.SetData(proxy.RetornaArquivo(arquivo, NumeroAtualizacao));
  FetchedFile fetched{record.FieldByName(kFileRecordFileName).AsString(), 0, 0};
  fetched.file_date = CheckedFileDate(record.FieldByName(kFileRecordFileDate), arquivo);
  const std::string container = container_path(fetched.file_name);
  // Checked before the container is written, which would otherwise land on the target.
  CheckContainerIsNotTarget(env, container, target);
  bool container_created = false;
  try {
    record.FieldByName(kFileRecordContent).SaveToFile([&] {
      auto file = env.Create(container, ShareMode::kExclusive);
      container_created = true;
      return file;
    });
    fetched.entries = Descomprimir(env, container, temporary);
  } catch (...) {
    // A container left behind would be listed to the server on the next run.
    // Descomprimir leaves no temporary behind when it fails.
    if (container_created) env.DeleteFile(container);
    throw;
  }
  env.DeleteFile(container);
  record.Close();
  return fetched;
}

}  // namespace selvane
