#pragma once
// One client's conversation with the server, from the filter handshake to the
// disconnect request: connect with authentication, the metadata query, and
// prepare, execute, more_blob and close requests for the thirteen methods.
// A failing method gets an error reply and the conversation goes on; bytes
// that do not parse, and socket failures, end it.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "base/ole_variant.h"
#include "protocol/method_table.h"
#include "rpc/field_codec.h"
#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/rpc_channel.h"
#include "served_value.h"
#include "server_options.h"
#include "update_service.h"

namespace selvane::refserver {

// The server's texts that clients see.
inline constexpr std::string_view kProductName = "SelvaneUpdateServer";
inline constexpr int32_t kProtocolVersion = 5;
inline constexpr std::string_view kAuthFailedMessage = "Usuário ou senha inválidos.";
inline constexpr int32_t kAuthFailedCode = 12;

// Largest input value the server takes in parts; a client that sends more is cut off.
inline constexpr size_t kMaxInputValue = 256u << 20;

class Session {
 public:
  // drop_after(n): from the next byte written, cut the connection after n more
  // bytes (negative: never). Used for the drop-after-bytes fault; may be empty.
  // silence_after(n): go silent after n more bytes written (the silent-server
  // fault, at the phase the options name); may be empty.
  Session(TRpcChannel& channel, UpdateService& service, const ServerOptions& options, int32_t connection_handle,
          std::function<void(int64_t)> drop_after = {}, std::function<void(int64_t)> silence_after = {});

  // Tells `log` each request as it arrives: its name, for execute the method's text.
  void LogRequestsTo(std::function<void(std::string_view)> log) { request_log_ = std::move(log); }

  // Serves requests until the client sends disconnect. Throws when the
  // connection fails or the client's bytes do not parse.
  void Run();

 private:
  struct Pending {  // a result value the client fetches in parts
    ServedValue value;
    uint64_t sent = 0;
  };

  void Handshake();
  bool ServeRequest();  // false after disconnect
  void EndRequest();
  std::string ReadName();
  // What follows a command's handle: its parameter flag, then its type and text.
  std::pair<std::string, std::string> ReadTypeAndText();

  void Connect();
  void Prepare();
  void Execute();
  void ExecuteMethod(int32_t handle, const Bytes& row);
  void ExecuteMetadata(int32_t handle, const std::string& type, const std::string& text);
  void MoreBlob();
  void SkipParams();
  // Sets the silent-server fault off when `phase` is the one the options name
  // and it has not set in yet.
  void SilenceAt(SilentPhase phase, int64_t budget = 0);

  // The whole value of an input field, asking the client for its later parts.
  Bytes InputValue(int32_t handle, int32_t ordinal, ByteSpan field);
  void AppendResult(Bytes& row, int32_t handle, ServedValue value);

  // {"result":[ ... ]}, and the {"handle":[H]} object of prepare and execute replies.
  void BeginResult();
  void EndResult(bool flush = true);
  void WriteHandle(int32_t handle);
  // Array elements, each followed by a separator: the values before the next one.
  void WriteNumbersBefore(std::initializer_list<int64_t> values);
  void WriteError(const std::string& message, int32_t code, std::string_view name = "TDBXError");

  TRpcJsonStreamReader reader_;
  TRpcJsonStreamWriter writer_;
  UpdateService& service_;
  const ServerOptions& options_;
  const int32_t connection_handle_;
  std::function<void(int64_t)> drop_after_;
  std::function<void(int64_t)> silence_after_;
  bool silence_set_ = false;
  std::function<void(std::string_view)> request_log_;

  bool connected_ = false;
  int32_t next_handle_ = 0;
  int32_t next_blob_ = 1;
  std::map<int32_t, const RemoteMethod*> commands_;
  std::map<int32_t, Pending> pending_;
  Bytes part_buffer_;  // reused for every part read from a cache file
};

}  // namespace selvane::refserver
