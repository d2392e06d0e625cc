#pragma once
// A parameter of a prepared command: the server's description of it and the
// value the caller set, which is encoded into the parameter row only when the
// command executes. After an execute, output and return values are read from
// the reply row by ordinal.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/ole_variant.h"

namespace selvane {

class TRpcCommand;

// A server may cut a value into as many parts as it likes, but not into more
// than this: past it the client stops asking, with kTooManyPartsText.
inline constexpr uint32_t kMaxValueParts = 1u << 20;
inline constexpr std::string_view kTooManyPartsText = "The server sent a value in too many parts";

// Directions as the server describes them.
enum TRpcParameterDirection : int32_t {
  kParamIn = 1,
  kParamOut = 2,
  kParamInOut = 3,
  kParamReturn = 4,
};

// Type codes of the values this client exchanges.
enum TRpcDataType : int32_t {
  kRpcTypeZString = 1,
  kRpcTypeBlob = 3,
  kRpcTypeBoolean = 4,
  kRpcTypeInt32 = 6,
  kRpcTypeWideString = 26,
  kRpcTypeVariant = 35,
};

struct TRpcParameterDescription {
  int32_t data_type = 0;
  int32_t sub_type = 0;
  int32_t direction = kParamIn;
  int64_t precision = 0;
  int32_t scale = 0;
  std::string name;
  int32_t child_position = 0;
  int32_t size = 0;
  int32_t value_type_flags = 0;
  std::optional<std::string> literal;  // present when flags have bit 0x200
};

// "TRpcTypes." + the type's name, or "UNKNOWN(n)" for codes without one.
std::string RpcTypeName(int32_t data_type);

class TRpcParameter {
 public:
  TRpcParameter(TRpcCommand& command, size_t ordinal, TRpcParameterDescription description);

  const TRpcParameterDescription& description() const { return description_; }
  size_t ordinal() const { return ordinal_; }

  // Setting a value stores it; nothing is encoded before the execute.
  void SetInt32(int32_t value);
  void SetWideString(const std::string& utf8);
  void SetAsVariant(const OleVariant& value);  // Null becomes a null field
  void SetNull();

  // The integer of this parameter's field in the reply row; a null field
  // leaves the value read before (0 on a fresh command).
  int32_t GetInt32();
  // Null for a null field; otherwise the stream value, fetching its later
  // parts from the server as needed, converted back to a variant.
  OleVariant GetAsVariant();
  // The same value as the bytes of its variant stream, handed to `sink` part
  // by part as they arrive (the same more_blob requests as GetAsVariant), so
  // it is never held whole. False for a null field, which gives no bytes.
  bool ReadStream(const std::function<void(std::span<const uint8_t>)>& sink, uint32_t max_parts = kMaxValueParts);
  std::string GetWideString();

  // --- For the command ---
  enum class Kind { kNotSet, kNull, kInt32, kString, kStream };
  Kind kind() const { return kind_; }
  int32_t int_value() const { return int_value_; }
  const Bytes& bytes_value() const { return bytes_; }  // string bytes or variant stream
  // Clears the pending stream (after the row was built and its parts were sent).
  void ReleaseValue();

 private:
  TRpcCommand& command_;
  size_t ordinal_;
  TRpcParameterDescription description_;
  Kind kind_ = Kind::kNotSet;
  int32_t int_value_ = 0;
  Bytes bytes_;
};

}  // namespace selvane
