#include "update_service.h"

#include "protocol/container_writer.h"
#include "protocol/packet_layouts.h"
#include "rpc/variant_stream.h"
#include "base/byte_buffer.h"
#include "base/byte_order.h"

#include <zlib.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace selvane::refserver {

namespace {
constexpr size_t kServeBlock = 1 << 20;

// A container whose entry count is 0, as a broken server may send one.
Bytes EmptyContainer() {
  const uint8_t body[4] = {0, 0, 0, 0};
  uLongf size = compressBound(sizeof body);
  Bytes out(size);
  if (compress2(out.data(), &size, body, sizeof body, Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw std::runtime_error("cannot compress an empty container");
  }
  out.resize(size);
  return out;
}
}  // namespace

UpdateService::UpdateService(Env& repository_env, const ServerOptions& options)
    : env_(repository_env),
      repository_(repository_env, options.repository),
      cache_(repository_env, options.root, options.cache_dir),
      rescan_ms_(options.cache_rescan_ms),
      NumeroAtualizacao_(options.NumeroAtualizacao),
      same_name_container_(options.same_name_container),
      file_name_for_(options.file_name_for),
      empty_container_(options.empty_container),
      truncate_container_(options.truncate_container),
      cut_container_at_(options.cut_container_at) {}

OleVariant UpdateService::FolderMethod(std::string_view method_text, const OleVariant& listing) {
  const auto folder = Repository::FolderOf(method_text);
  if (!folder) throw UnknownFileError("Método sem pasta: " + std::string(method_text));
  return FetchListPacket(env_, repository_.FetchList(*folder, ReadListing(env_, listing)));
}

OleVariant UpdateService::AtualizaAtualizador(const OleVariant& listing) {
  return FetchListPacket(env_, repository_.UpdaterFetchList(ReadListing(env_, listing)));
}

OleVariant UpdateService::RetornaArquivo(std::string_view arquivo, int32_t NumeroAtualizacao) {
  return StreamToVariant(ServeArquivo(arquivo, NumeroAtualizacao).Gather());
}

uint64_t UpdateService::ServedContainerSize(uint64_t size) const {
  if (truncate_container_) size /= 2;
  if (cut_container_at_ >= 0 && static_cast<uint64_t>(cut_container_at_) < size) {
    size = static_cast<uint64_t>(cut_container_at_);
  }
  return size;
}

std::string UpdateService::RecordName(const ResolvedFile& file) const {
  if (const auto it = file_name_for_.find(file.name); it != file_name_for_.end()) return it->second;
  return same_name_container_ ? file.name : file.container_name;
}

ServedValue UpdateService::ServeArquivo(std::string_view arquivo, int32_t /*NumeroAtualizacao*/) {
  const ResolvedFile file = repository_.Resolve(arquivo);
  if (empty_container_.contains(file.name)) {
    return ServedValue(VariantToStream(FileRecordPacket(env_, RecordName(file), EmptyContainer(), file.date_time)));
  }
  std::shared_ptr<const CachedContainer> container = file.path.empty() ? nullptr : cache_.Get(file.path, file.name);
  const uint64_t size = container ? ServedContainerSize(container->size()) : 0;
  if (!container || size == 0 || size > 0x7FFFFFFF) return ServedValue(VariantToStream(MakeFileRecord(file)));

  // The record around a one-byte content, twice: where they differ is the
  // content, whose four-byte length comes before it.
  const std::string name = RecordName(file);
  const Bytes a = FileRecordPacket(env_, name, Bytes{0xA5}, file.date_time).bytes();
  const Bytes b = FileRecordPacket(env_, name, Bytes{0x5A}, file.date_time).bytes();
  size_t at = 0;
  while (at < a.size() && a[at] == b[at]) ++at;
  if (a.size() != b.size() || at < 4 || at == a.size() || LoadLe32(std::span(a).subspan(at - 4, 4)) != 1) {
    return ServedValue(VariantToStream(MakeFileRecord(file)));
  }
  Bytes head{kVariantStreamByteArray};
  AppendLe64(head, a.size() - 1 + size);
  head.insert(head.end(), a.begin(), a.begin() + static_cast<ptrdiff_t>(at - 4));
  AppendLe32(head, static_cast<uint32_t>(size));
  Bytes tail(a.begin() + static_cast<ptrdiff_t>(at + 1), a.end());
  return ServedValue(std::move(head), std::move(container), size, std::move(tail));
}

void UpdateService::StartAhead() {
  cache_.StartAhead(
      [this] {
        std::vector<std::pair<std::string, std::string>> files;
        for (const ResolvedFile& f : repository_.AllFiles()) files.emplace_back(f.path, f.name);
        return files;
      },
      rescan_ms_);
}

void UpdateService::StopAhead() { cache_.Stop(); }

void UpdateService::MakeAllContainers() {
  for (const ResolvedFile& f : repository_.AllFiles()) cache_.Get(f.path, f.name);
}

OleVariant UpdateService::MakeFileRecord(const ResolvedFile& file) {
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
    thread_local ByteBuffer buffer(kServeBlock);
    while (const size_t n = in->Read(buffer.data(), buffer.size())) {
      blocks.emplace_back(buffer.data(), buffer.data() + n);
      size += n;
    }
  }
  ContainerWriter writer(file.name, size);
  for (Bytes& block : blocks) {
    writer.Append(block);
    block = Bytes();
  }
  Bytes container = writer.Finish();
  container.resize(static_cast<size_t>(ServedContainerSize(container.size())));
  return FileRecordPacket(env_, RecordName(file), std::move(container), file.date_time);
}

}  // namespace selvane::refserver
