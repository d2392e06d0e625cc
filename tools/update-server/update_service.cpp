#include "update_service.h"

#include "protocol/container_writer.h"
#include "protocol/packet_layouts.h"

#include <memory>
#include <vector>

namespace selvane::refserver {

namespace {
constexpr size_t kReadBlock = 1 << 20;
}  // namespace

UpdateService::UpdateService(Env& repository_env, const ServerOptions& options)
    : env_(repository_env),
      repository_(repository_env, options.repository),
      NumeroAtualizacao_(options.NumeroAtualizacao),
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

OleVariant UpdateService::RetornaArquivo(std::string_view arquivo, int32_t /*NumeroAtualizacao*/) {
  const ResolvedFile file = repository_.Resolve(arquivo);
  // The file is read in blocks and compressed from them: its size is known
  // only once it has been read, and no block is copied into a larger one.
  std::vector<Bytes> blocks;
  uint64_t size = 0;
  if (file.path.empty()) {
    blocks.emplace_back(kExtraEntryContent.begin(), kExtraEntryContent.end());
    size = kExtraEntryContent.size();
  } else {
    auto in = env_.OpenRead(file.path, ShareMode::kReadWrite);
    // Reads land in one buffer per thread and leave it as blocks of their own
    // size: fresh zero-filled buffers cost more than small files take to send.
    thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[kReadBlock]);
    while (const size_t n = in->Read(buffer.get(), kReadBlock)) {
      blocks.emplace_back(buffer.get(), buffer.get() + n);
      size += n;
    }
  }
  ContainerWriter writer(file.name, size);
  for (Bytes& block : blocks) {
    writer.Append(block);
    block = Bytes();
  }
  Bytes container = writer.Finish();
  if (truncate_container_) container.resize(container.size() / 2);
  const std::string name = same_name_container_ ? file.name : file.container_name;
  return FileRecordPacket(env_, name, std::move(container), file.date_time);
}

}  // namespace selvane::refserver
