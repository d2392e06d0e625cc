#include "update_service.h"

#include "container_writer.h"
#include "packets.h"

namespace selvane::refserver {

UpdateService::UpdateService(Env& repository_env, const ServerOptions& options)
    : env_(repository_env),
      repository_(repository_env, options.repository),
      update_number_(options.update_number),
      same_name_container_(options.same_name_container),
      truncate_container_(options.truncate_container) {}

OleVariant UpdateService::FolderMethod(std::string_view method_text, const OleVariant& listing) {
  const auto folder = Repository::FolderOf(method_text);
  if (!folder) throw UnknownFileError("Método sem pasta: " + std::string(method_text));
  return FetchListPacket(env_, repository_.FetchList(*folder, ReadListing(env_, listing)));
}

OleVariant UpdateService::AtualizaAtualizador(const OleVariant& listing) {
  return FetchListPacket(env_, repository_.UpdaterFetchList(ReadListing(env_, listing)));
}

Bytes UpdateService::ReadWhole(const std::string& path) {
  auto file = env_.OpenRead(path, ShareMode::kReadWrite);
  Bytes data;
  uint8_t block[64 * 1024];
  while (size_t n = file->Read(block, sizeof block)) data.insert(data.end(), block, block + n);
  return data;
}

OleVariant UpdateService::RetornaArquivo(std::string_view path, int32_t /*numero_atualizacao*/) {
  const ResolvedFile file = repository_.Resolve(path);
  Bytes data;
  if (file.path.empty()) {
    data.assign(kExtraEntryContent.begin(), kExtraEntryContent.end());
  } else {
    data = ReadWhole(file.path);
  }
  Bytes container = MakeContainer(file.name, data);
  data = Bytes();
  if (truncate_container_) container.resize(container.size() / 2);
  const std::string name = same_name_container_ ? file.name : repository_.ContainerName(file);
  return FileRecordPacket(env_, name, std::move(container), file.date_time);
}

}  // namespace selvane::refserver
