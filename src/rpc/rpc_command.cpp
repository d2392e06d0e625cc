#include "rpc/rpc_command.h"

#include "rpc/field_codec.h"
#include "rpc/json_client_output_handler.h"
#include "rpc/rpc_connection.h"
#include "rpc/rpc_error.h"

namespace selvane {

TRpcCommand::TRpcCommand(TRpcConnection& connection) : connection_(&connection) { connection.Register(this); }

TRpcCommand::~TRpcCommand() {
  try {
    Close();
  } catch (...) {
    // A broken connection cannot take the close; the server drops the command with it.
  }
  if (connection_ != nullptr) connection_->Unregister(this);
}

void TRpcCommand::SetText(std::string text) {
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  text_ = std::move(text);
}

TRpcConnection& TRpcCommand::LiveConnection() const {
  if (connection_ == nullptr || !connection_->GetIsOpen()) {
    throw TRpcError("Operation failed.  Connection was closed", kRpcErrorInvalidHandle);
  }
  return *connection_;
}

TRpcParameter& TRpcCommand::Parameter(size_t ordinal) {
  if (ordinal >= parameters_.size()) throw TRpcError("Invalid ordinal", 8);
  return parameters_[ordinal];
}

void TRpcCommand::Prepare() {
  TRpcConnection& connection = LiveConnection();
  if (prepared_) throw TRpcError("Command can only be prepared once");
  TRpcPrepareMessage message;
  message.command_handle = handle_;
  message.command_type = command_type_;
  message.command_text = text_;
  std::vector<TRpcParameterDescription> descriptions;
  message.parameters = &descriptions;
  connection.handler().RpcPrepare(message);
  handle_ = message.command_handle;
  if (parameters_.empty()) {
    parameters_.reserve(descriptions.size());
    for (auto& d : descriptions) parameters_.emplace_back(*this, parameters_.size(), std::move(d));
  }
  prepared_ = true;
  closed_ = false;
}

void TRpcCommand::ExecuteUpdate() {
  TRpcConnection& connection = LiveConnection();
  if (text_.empty()) throw TRpcError("No statement to execute");
  if (!prepared_) Prepare();

  // The parameter row, in ordinal order; nothing is sent when a value is missing.
  Bytes row;
  std::vector<TRpcPendingInput> pending;
  for (const TRpcParameter& p : parameters_) {
    const int32_t direction = p.description().direction;
    switch (p.kind()) {
      case TRpcParameter::Kind::kNotSet:
        if (direction == kParamOut || direction == kParamReturn) {
          AppendNullField(row);
          break;
        }
        throw TRpcError("Parameter not set for column number " + std::to_string(p.ordinal()),
                        kRpcErrorParameterNotSet);
      case TRpcParameter::Kind::kNull: AppendNullField(row); break;
      case TRpcParameter::Kind::kInt32: AppendIntegerField(row, p.int_value()); break;
      case TRpcParameter::Kind::kString:
      case TRpcParameter::Kind::kStream: {
        const ByteSpan value(p.bytes_value());
        const size_t space = InlineSpace(row.size(), connection.min_row_size());
        const size_t inline_bytes = p.kind() == TRpcParameter::Kind::kString ? AppendStringField(row, value, space)
                                                                            : AppendStreamField(row, value, space);
        if (inline_bytes < value.size()) pending.push_back({p.ordinal(), value.subspan(inline_bytes)});
        break;
      }
    }
  }

  TRpcExecuteMessage message;
  message.command_handle = handle_;
  message.command_type = command_type_;
  message.command_text = text_;
  message.prepared = true;
  message.parameter_row = row;
  message.has_parameters = !parameters_.empty();
  message.pending_inputs = std::move(pending);
  std::vector<TRpcParameterDescription> descriptions;
  message.parameters = parameters_.empty() ? &descriptions : nullptr;
  ++generation_;
  reply_row_.clear();
  connection.handler().RpcExecute(message);

  handle_ = message.command_handle;
  if (message.isolation_level >= 0) connection.SetIsolationLevel(message.isolation_level);
  if (message.reply_row) reply_row_ = std::move(*message.reply_row);
  for (auto& d : descriptions) parameters_.emplace_back(*this, parameters_.size(), std::move(d));
}

void TRpcCommand::Close() {
  const bool had_handle = !closed_ && handle_ >= 0 && connection_ != nullptr && connection_->GetIsOpen();
  const int32_t handle = handle_;
  closed_ = true;
  prepared_ = false;
  handle_ = -1;
  if (had_handle) connection_->handler().RpcCommandClose(handle);
}

}  // namespace selvane
