#pragma once
// An OleVariant as the updater exchanges it: unassigned, Null, or a
// one-dimensional byte array with lower bound 0 (how a data packet travels).
// The bytes move in and out without copying, so a packet of many megabytes is
// held once on its way between the record set and the network.

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace selvane {

using Bytes = std::vector<uint8_t>;

class OleVariant {
 public:
  enum class Kind { kUnassigned, kNull, kByteArray };

  OleVariant() = default;  // unassigned
  static OleVariant Null() {
    OleVariant v;
    v.kind_ = Kind::kNull;
    return v;
  }
  static OleVariant FromBytes(Bytes bytes) {
    OleVariant v;
    v.kind_ = Kind::kByteArray;
    v.bytes_ = std::move(bytes);
    return v;
  }

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsByteArray() const { return kind_ == Kind::kByteArray; }

  // The array's elements; empty unless IsByteArray().
  const Bytes& bytes() const { return bytes_; }
  // Hands the elements over and leaves the variant unassigned.
  Bytes TakeBytes() && {
    kind_ = Kind::kUnassigned;
    return std::move(bytes_);
  }

 private:
  Kind kind_ = Kind::kUnassigned;
  Bytes bytes_;
};

}  // namespace selvane
