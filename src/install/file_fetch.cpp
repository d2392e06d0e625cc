#include "install/file_fetch.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <utility>

#include "base/background_feed.h"
#include "install/container.h"
#include "install/record_checks.h"
#include "protocol/container_reader.h"
#include "protocol/packet_layouts.h"
#include "records/db_errors.h"
#include "records/packet_stream_reader.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {

namespace {

std::atomic<size_t> g_background_from{kInflateInBackgroundFrom};

// Made once per worker thread and reused for every file: fresh memory costs
// more than the small files it would hold.
struct FetchBuffers {
  PacketStreamReader packet;
  ContainerStreamReader container;
  // Every file record of a server has the same columns: the last metadata
  // read and where its Content column is.
  std::optional<Bytes> metadata;
  std::optional<size_t> content_column;
};

std::optional<size_t> FindContentColumn(Env& env, std::span<const uint8_t> metadata) {
  TRecordSet record(env);
  record.SetData(OleVariant::FromBytes(Bytes(metadata.begin(), metadata.end())));
  const TField* content = record.FindField(kFileRecordContent);
  for (int i = 0; content != nullptr && i < record.FieldCount(); ++i) {
    if (&record.Fields(i) == content) return static_cast<size_t>(i);
  }
  return std::nullopt;
}

std::optional<size_t> ContentColumn(Env& env, FetchBuffers& buffers, std::span<const uint8_t> metadata) {
  if (!buffers.metadata || !std::equal(metadata.begin(), metadata.end(), buffers.metadata->begin(),
                                        buffers.metadata->end())) {
    buffers.metadata.reset();
    buffers.content_column = FindContentColumn(env, metadata);  // may throw: then nothing is remembered
    buffers.metadata.emplace(metadata.begin(), metadata.end());
  }
  return buffers.content_column;
}

// Replaces `from` in a failure's text by `to`.
std::string Renamed(std::string message, const std::string& from, const std::string& to) {
  const auto at = message.find(from);
  if (at != std::string::npos) message.replace(at, from.size(), to);
  return message;
}

}  // namespace

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      const std::string& temporary, const std::string& target,
                      std::optional<DosDateTime> stamp) {
  TemporaryOutput output(env, temporary);
  return FetchFile(env, proxy, arquivo, NumeroAtualizacao, container_path, output, target, stamp);
}

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      FetchOutput& output, const std::string& target, std::optional<DosDateTime> stamp) {
  thread_local FetchBuffers buffers;
  PacketStreamReader& packet = buffers.packet;
  ContainerStreamReader& container = buffers.container;
  TRecordSet record(env);

  // Failures inside the reply are held until it has been read whole, so that
  // the wire carries the same requests whatever the record holds.
  std::exception_ptr packet_error;
  std::exception_ptr unpack_error;
  bool unpacking = false;
  bool output_made = false;
  int creations = 0;
  std::string container_file = target;  // what a failed first creation names
  std::optional<std::string> checked;
  // Names the container for the record's FileName; the check that it is not
  // the target runs once per file, before the temporary exists.
  const auto name_container = [&](const std::string& file_name) {
    const std::optional<std::string> path = container_path(file_name);
    if (!path || path == checked) return;
    container_file = *path;
    CheckContainerIsNotTarget(env, container_file, target);
    checked = path;
  };

  const OpenEntry open_entry = [&]() -> std::unique_ptr<WritableFile> {
    try {
      auto file = output.Create();
      output_made = true;
      ++creations;
      return file;
    } catch (const EFCreateError& e) {
      // The first file made on disk would have been the container, later ones the target.
      throw EFCreateError(Renamed(e.what(), output.path(), creations == 0 ? container_file : target));
    }
  };
  const auto begin_content = [&](std::span<const uint8_t> head) {
    try {
      record.SetData(OleVariant::FromBytes(Bytes(head.begin(), head.end())));
      name_container(record.FieldByName(kFileRecordFileName).AsString());
      if (!record.FieldByName(kFileRecordContent).IsBlob()) throw EInvalidCast();
      container.Start(open_entry);
      unpacking = true;
    } catch (...) {
      unpack_error = std::current_exception();
    }
  };
  // The unpacking's first failure ends it; the reply is still read to its end.
  const auto stop_unpacking = [&](std::exception_ptr failure) {
    unpack_error = std::move(failure);
    unpacking = false;
    container.Abort();
  };
  // A large file is inflated and written on a thread of its own from some
  // way in, while its next parts are requested and received.
  size_t streamed = 0;
  std::optional<BackgroundFeed> background;
  const auto content = [&](std::span<const uint8_t> bytes) {
    if (!unpacking) return;
    streamed += bytes.size();
    if (!background && streamed > g_background_from.load()) {
      background.emplace([&container](std::span<const uint8_t> piece) { container.Feed(piece); });
    }
    if (background) {
      background->Feed(bytes);
      return;
    }
    try {
      container.Feed(bytes);
    } catch (...) {
      stop_unpacking(std::current_exception());
    }
  };
  // Everything fed is consumed before the container is looked at again.
  const auto finish_background = [&] {
    if (!background) return;
    const std::exception_ptr failure = background->Finish();
    background.reset();
    if (failure && unpacking) stop_unpacking(failure);
  };
  packet.Start([&env](std::span<const uint8_t> metadata) { return ContentColumn(env, buffers, metadata); }, begin_content,
               content);

  try {
    const std::optional<OleVariant> not_a_packet =
        proxy.RetornaArquivo(arquivo, NumeroAtualizacao, [&](std::span<const uint8_t> piece) {
          if (packet_error) return;
          try {
            packet.Feed(piece);
          } catch (...) {
            packet_error = std::current_exception();
          }
        });
    finish_background();
    if (packet_error) std::rethrow_exception(packet_error);
    if (not_a_packet) {
      record.SetData(*not_a_packet);
    } else {
      const auto kept = packet.Finish();
      record.SetData(OleVariant::FromBytes(Bytes(kept.begin(), kept.end())));
    }
    name_container(record.FieldByName(kFileRecordFileName).AsString());
    if (unpack_error) std::rethrow_exception(unpack_error);
    if (!packet.streamed()) {
      // A value small enough to stay in the record, or none at all: unpacked as it is.
      const TField& field = record.FieldByName(kFileRecordContent);
      const auto bytes = field.IsBlob() ? field.AsBytes() : std::span<const uint8_t>{};
      if (!field.IsBlob()) throw EInvalidCast();
      container.Start(open_entry);
      container.Feed(bytes);
    }
    FetchedFile fetched;
    fetched.entries = container.Finish(stamp);
    fetched.file_name = record.FieldByName(kFileRecordFileName).AsString();
    fetched.file_date = CheckedFileDate(record.FieldByName(kFileRecordFileDate), arquivo);
    record.Close();
    return fetched;
  } catch (...) {
    background.reset();  // waits for the thread before the file goes
    container.Abort();
    if (output_made) env.DeleteFile(output.path());
    throw;
  }
}

void InflateInBackgroundFrom(size_t bytes) { g_background_from = bytes; }

}  // namespace selvane
