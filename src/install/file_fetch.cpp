#include "install/file_fetch.h"

#include "install/container.h"
#include "protocol/packet_layouts.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::string(const std::string& file_name)>& container_path,
                      const std::string& target) {
  TRecordSet record(env);
  record.SetData(proxy.RetornaArquivo(arquivo, NumeroAtualizacao));
  const std::string container = container_path(record.FieldByName(kFileRecordFileName).AsString());
  // Checked before the container is written, which would otherwise land on the target.
  CheckContainerIsNotTarget(container, target);
  try {
    record.FieldByName(kFileRecordContent).SaveToFile([&] { return env.Create(container, ShareMode::kExclusive); });
    Descomprimir(env, container, target);
  } catch (...) {
    // A container left behind would be listed to the server on the next run.
    env.DeleteFile(container);
    throw;
  }
  env.DeleteFile(container);
  FetchedFile fetched{record.FieldByName(kFileRecordFileDate).AsDateTime()};
  record.Close();
  return fetched;
}

}  // namespace selvane
