#pragma once
// The variant stream: how an OleVariant becomes the bytes of a stream value
// and back. A byte array is the tag 0x03, its element count as a 64-bit
// little-endian integer, and the elements.

#include <functional>
#include <optional>

#include "base/ole_variant.h"
#include "rpc/field_codec.h"

namespace selvane {

inline constexpr uint8_t kVariantStreamGeneric = 0x02;
inline constexpr uint8_t kVariantStreamByteArray = 0x03;

// A byte array as tag 0x03; a Null or unassigned variant as the generic form
// (tag 0x02 and its two-byte variant type, 0x0001 or 0x0000).
Bytes VariantToStream(const OleVariant& value);

// Tag 0x03: a count of 0 or less (low 32 bits) gives Null, otherwise a byte
// array of that many bytes; a stream shorter than its count raises
// TRpcError "Stream read error". Tag 0x02 gives Null for the Null type and
// unassigned otherwise; any other tag, or no bytes at all, unassigned.
OleVariant StreamToVariant(ByteSpan stream);

// StreamToVariant for a stream that arrives in pieces: the elements of a byte
// array go to `elements` as they arrive and are never held; only the tag and
// the count are kept. The same streams give the same variants and errors.
class VariantStreamReader {
 public:
  explicit VariantStreamReader(std::function<void(ByteSpan)> elements) : elements_(std::move(elements)) {}

  void Feed(ByteSpan piece);
  // After the last piece: nullopt for a byte array, whose elements all went
  // to the sink; otherwise the variant the stream holds (Null, unassigned).
  // A byte array shorter than its count raises TRpcError "Stream read error".
  std::optional<OleVariant> Finish();

 private:
  std::function<void(ByteSpan)> elements_;
  uint8_t head_[9] = {};  // tag and count, or the generic form's tag and type
  size_t head_size_ = 0;
  uint64_t left_ = 0;      // elements still to come
  bool counted_ = false;   // a byte array's count is in
};

}  // namespace selvane
