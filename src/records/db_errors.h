#pragma once
// The exceptions of the record-set layer. what() is the exact message text.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace selvane {

// Misuse of a record set ("Field 'x' not found", "Invalid data packet", ...).
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failure of the packet engine, with the engine's 16-bit error code.
class EDBClient : public EDatabaseError {
 public:
  EDBClient(uint16_t error_code, const std::string& message)
      : EDatabaseError(message), error_code_(error_code) {}
  uint16_t ErrorCode() const { return error_code_; }

 private:
  uint16_t error_code_;
};

// A value that cannot be converted ("'0.0' is not a valid timestamp").
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A field used as a class it is not: "Invalid class typecast".
class EInvalidCast : public std::runtime_error {
 public:
  EInvalidCast() : std::runtime_error("Invalid class typecast") {}
};

// The packet engine's error codes and texts.
namespace dberr {
inline constexpr uint16_t kNoMemory = 0x2501;          // "Insufficient memory for this operation."
inline constexpr uint16_t kInvalidParameter = 0x2702;  // "Invalid parameter."
inline constexpr uint16_t kInvalidFieldType = 0x2710;  // "Invalid field type."
inline constexpr uint16_t kNullFieldName = 0x2736;     // "Field name can't be null, ..."
inline constexpr uint16_t kNotApplicable = 0x2A04;     // "Operation not applicable."
inline constexpr uint16_t kNoMetaData = 0x4003;        // "Datapacket contains no meta data."
inline constexpr uint16_t kMismatch = 0x4005;          // "Mismatch in datapacket."
}  // namespace dberr

// Throws EDBClient with the code's text.
[[noreturn]] void ThrowDBClient(uint16_t error_code);

}  // namespace selvane
