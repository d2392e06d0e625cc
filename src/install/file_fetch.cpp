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

// Owned by the caller, never a thread's own (thread_local) object: the Windows
// build's threads library may free a thread's storage before that thread's
// objects are destroyed, and an inflater destroyed there reads freed memory.
struct FetchBuffers::Parts {
  PacketStreamReader packet;
  ContainerStreamReader container;
  ContainerStreamReader unpacker;  // the returned job's, on the caller's other thread
  // Every file record of a server has the same columns: the last metadata
  // read and where its Content column is.
  std::optional<Bytes> metadata;
  std::optional<size_t> content_column;
};

FetchBuffers::FetchBuffers() : parts_(std::make_unique<Parts>()) {}
FetchBuffers::~FetchBuffers() = default;

namespace {

std::atomic<size_t> g_background_from{kInflateInBackgroundFrom};

std::optional<size_t> FindContentColumn(Env& env, std::span<const uint8_t> metadata) {
  TRecordSet record(env);
  record.SetData(OleVariant::FromBytes(Bytes(metadata.begin(), metadata.end())));
  const TField* content = record.FindField(kFileRecordContent);
  for (int i = 0; content != nullptr && i < record.FieldCount(); ++i) {
    if (&record.Fields(i) == content) return static_cast<size_t>(i);
  }
  return std::nullopt;
}

std::optional<size_t> ContentColumn(Env& env, FetchBuffers::Parts& buffers, std::span<const uint8_t> metadata) {
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

// Makes the output's file at each entry of a container, and names a failure
// to make it as the file on disk would have been: the container the first
// time, the target later.
struct EntryFiles {
  EntryFiles(FetchOutput& out, const std::string& to) : output(out), target(to), container_file(to) {}
  std::unique_ptr<WritableFile> Open() {
    try {
      auto file = output.Create();
      made = true;
      ++creations;
      return file;
    } catch (const EFCreateError& e) {
      throw EFCreateError(Renamed(e.what(), output.path(), creations == 0 ? container_file : target));
    }
  }
  FetchOutput& output;
  const std::string& target;
  std::string container_file;  // what a failed first creation names
  bool made = false;
  int creations = 0;
};

}  // namespace

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      const std::string& temporary, const std::string& target,
                      std::optional<DosDateTime> stamp) {
  TemporaryOutput output(env, temporary);
  FetchBuffers buffers;
  return FetchFile(env, proxy, arquivo, NumeroAtualizacao, container_path, output, target, stamp, buffers, nullptr);
}

FetchedFile FetchFile(Env& env, TServidorClient& proxy, const std::string& arquivo, int32_t NumeroAtualizacao,
                      const std::function<std::optional<std::string>(const std::string& file_name)>& container_path,
                      FetchOutput& output, const std::string& target, std::optional<DosDateTime> stamp,
                      FetchBuffers& reused, const FetchOverlap* overlap) {
  FetchBuffers::Parts& buffers = reused.parts();
  PacketStreamReader& packet = buffers.packet;
  ContainerStreamReader& container = buffers.container;
  TRecordSet record(env);

  // Failures inside the reply are held until it has been read whole, so that
  // the wire carries the same requests whatever the record holds.
  std::exception_ptr packet_error;
  std::exception_ptr unpack_error;
  bool unpacking = false;
  EntryFiles entry_files(output, target);
  std::optional<std::string> checked;
  // Names the container for the record's FileName; the check that it is not
  // the target runs once per file, before the temporary exists.
  const auto name_container = [&](const std::string& file_name) {
    const std::optional<std::string> path = container_path(file_name);
    if (!path || path == checked) return;
    entry_files.container_file = *path;
    CheckContainerIsNotTarget(env, entry_files.container_file, target);
    checked = path;
  };
  const OpenEntry open_entry = [&entry_files] { return entry_files.Open(); };

  // With an overlap, a content that stays small is kept whole, and written
  // only after the reply, by the caller's job.
  Bytes* const kept = overlap != nullptr ? overlap->kept : nullptr;
  bool keeping = false;
  if (kept != nullptr) kept->clear();
  const auto begin_content = [&](std::span<const uint8_t> head) {
    try {
      record.SetData(OleVariant::FromBytes(Bytes(head.begin(), head.end())));
      name_container(record.FieldByName(kFileRecordFileName).AsString());
      if (!record.FieldByName(kFileRecordContent).IsBlob()) throw EInvalidCast();
      if (kept != nullptr) {
        keeping = true;
      } else {
        container.Start(open_entry);
      }
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
  const auto write = [&](std::span<const uint8_t> bytes) {
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
  // What was kept is written now, and everything after it as it comes.
  const auto stop_keeping = [&] {
    keeping = false;
    overlap->before_writing();
    container.Start(open_entry);
    write(*kept);
    kept->clear();
  };
  const auto content = [&](std::span<const uint8_t> bytes) {
    if (!unpacking) return;
    if (keeping) {
      if (kept->size() + bytes.size() <= kKeptWhole) {
        kept->insert(kept->end(), bytes.begin(), bytes.end());
        return;
      }
      stop_keeping();
      if (!unpacking) return;
    }
    write(bytes);
  };
  // Everything fed is consumed before the container is looked at again.
  const auto finish_background = [&] {
    if (!background) return;
    const std::exception_ptr failure = background->Finish();
    background.reset();
    if (failure && unpacking) stop_unpacking(failure);
  };
  packet.Start([&env, &buffers](std::span<const uint8_t> metadata) { return ContentColumn(env, buffers, metadata); },
               begin_content, content);

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
      const auto kept_packet = packet.Finish();
      record.SetData(OleVariant::FromBytes(Bytes(kept_packet.begin(), kept_packet.end())));
    }
    name_container(record.FieldByName(kFileRecordFileName).AsString());
    if (unpack_error) std::rethrow_exception(unpack_error);
    FetchedFile fetched;
    if (keeping) {
      // The record's own checks come after the unpacking's: a record that
      // fails one is unpacked here first, as it would have been.
      try {
        fetched.file_name = record.FieldByName(kFileRecordFileName).AsString();
        fetched.file_date = CheckedFileDate(record.FieldByName(kFileRecordFileDate), arquivo);
      } catch (...) {
        stop_keeping();
        finish_background();
        if (unpack_error) std::rethrow_exception(unpack_error);
        container.Finish(stamp);
        throw;
      }
      record.Close();
      fetched.entries = -1;
      fetched.unpack = [&env, &output, &target, kept, stamp, &unpacker = buffers.unpacker,
                        container_file = entry_files.container_file] {
        EntryFiles files(output, target);
        files.container_file = container_file;
        const OpenEntry open = [&files] { return files.Open(); };
        try {
          unpacker.Start(open);
          unpacker.Feed(*kept);
          unpacker.Finish(stamp);
        } catch (...) {
          unpacker.Abort();
          if (files.made) env.DeleteFile(output.path());
          throw;
        }
      };
      return fetched;
    }
    if (!packet.streamed()) {
      // A value small enough to stay in the record, or none at all: unpacked as it is.
      const TField& field = record.FieldByName(kFileRecordContent);
      const auto bytes = field.IsBlob() ? field.AsBytes() : std::span<const uint8_t>{};
      if (!field.IsBlob()) throw EInvalidCast();
      if (overlap != nullptr) overlap->before_writing();
      container.Start(open_entry);
      container.Feed(bytes);
    }
    fetched.entries = container.Finish(stamp);
    fetched.file_name = record.FieldByName(kFileRecordFileName).AsString();
    fetched.file_date = CheckedFileDate(record.FieldByName(kFileRecordFileDate), arquivo);
    record.Close();
    return fetched;
  } catch (...) {
    background.reset();  // waits for the thread before the file goes
    container.Abort();
    if (entry_files.made) env.DeleteFile(output.path());
    throw;
  }
}

void InflateInBackgroundFrom(size_t bytes) { g_background_from = bytes; }

}  // namespace selvane
