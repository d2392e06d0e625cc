#pragma once
// The message objects that carry a request's values to the output handler
// and the reply's values back from the input handler.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/ole_variant.h"
#include "rpc/rpc_parameter.h"
#include "rpc/rpc_properties.h"

namespace selvane {

struct TRpcConnectMessage {
  TRpcProperties properties;  // sent in order
  int32_t connection_handle = -1;
  std::string product_name;
  int32_t protocol_version = 0;  // stays 0 when the reply has none
};

struct TRpcColumnDescription {
  std::string name;
  int32_t data_type = 0;
  int32_t sub_type = 0;
  int64_t precision = 0;
  int32_t scale = 0;
  int32_t size = 0;
  int32_t value_type_flags = 0;  // new-style flags, converted when the server sent old ones
  int32_t direction = 0;
};

// The old-style column flags converted to value-type flags.
int32_t ConvertOldColumnFlags(int32_t old_flags);

struct TRpcTableResult {
  int32_t command_handle = -1;
  bool updateable = false;
  int32_t row_handle = 0;
  int32_t bcd_format = 1;
  bool new_style_flags = false;
  std::vector<TRpcColumnDescription> columns;
  Bytes block;              // the rows of the current block
  bool last_block = false;  // the count of the block was 0 or less
};

// An input value whose later parts the server asks for during an execute.
struct TRpcPendingInput {
  size_t ordinal = 0;
  std::span<const uint8_t> rest;
};

struct TRpcCommandMessage {
  int32_t command_handle = -1;
  bool updatable = false;
  std::string command_type;
  std::string command_text;
  bool parameter_types_changed = false;
  // Filled from a "parameters" object when empty; otherwise descriptions are read and dropped.
  std::vector<TRpcParameterDescription>* parameters = nullptr;
  bool received_parameters = false;
};

struct TRpcPrepareMessage : TRpcCommandMessage {};

struct TRpcExecuteMessage : TRpcCommandMessage {
  bool prepared = true;
  std::span<const uint8_t> parameter_row;  // the request's data block; none when empty
  bool has_parameters = false;
  std::vector<TRpcPendingInput> pending_inputs;
  // Reply:
  std::optional<Bytes> reply_row;
  std::optional<TRpcTableResult> table;
  int32_t isolation_level = -1;
  int64_t rows_affected = 0;
};

}  // namespace selvane
