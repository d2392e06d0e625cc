#pragma once
// Writes remote-method messages: JSON-like text with no whitespace whose
// strings carry one byte per UTF-16 code unit up to U+00FF, and data blocks
// {"data":[N,B]} whose N bytes B are raw. Bytes collect in a buffer of fixed
// size; a full buffer goes to the channel whole, and Flush sends the rest, so
// a message no longer than the buffer reaches the channel in one write.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/ole_variant.h"
#include "rpc/rpc_channel.h"

namespace selvane {

class TRpcJsonStreamWriter {
 public:
  static constexpr size_t kDefaultBufferSize = 8192;

  TRpcJsonStreamWriter(TRpcChannel& channel, size_t buffer_size = kDefaultBufferSize);

  size_t buffer_size() const { return buffer_.size(); }
  size_t buffered() const { return used_; }

  void WriteObjectStart() { WriteByte('{'); }
  void WriteObjectEnd() { WriteByte('}'); }
  void WriteArrayStart() { WriteByte('['); }
  void WriteArrayEnd() { WriteByte(']'); }
  void WriteValueSeparator() { WriteByte(','); }
  void WriteNameSeparator() { WriteByte(':'); }

  // Escapes: \b \t \n \f \r for 8, 9, 10, 12, 13; \" and \\; \uXXXX (upper
  // case) below U+0020 and above U+00FF; every other unit as its one byte.
  void WriteString(std::u16string_view text);
  void WriteString(std::string_view utf8);  // converted to UTF-16 first
  // A member name and its colon.
  void WriteName(std::string_view utf8) {
    WriteString(utf8);
    WriteNameSeparator();
  }
  void WriteInt32(int32_t value) { WriteInt64(value); }
  void WriteInt64(int64_t value);
  void WriteBoolean(bool value);
  void WriteNull();

  // {"data":[N,B]} with N = bytes.size(); the comma follows N also when it is 0.
  void WriteDataBlock(std::span<const uint8_t> bytes);
  // {"data":[N,B]} with an explicit count (negative for the last block of a
  // table or the last part of a value); for N = 0 neither comma nor bytes follow.
  void WriteDataBlock(int64_t count, std::span<const uint8_t> bytes);
  // The answer to a server's request for the next part of an input value:
  // {"data":[N,B]} whose count occupies 9 bytes (filled up with blanks),
  // negated when this is the last part.
  void WriteMoreBlobAnswer(std::span<const uint8_t> part, bool last);

  // Bytes exactly as given.
  void WriteRaw(std::span<const uint8_t> bytes);
  void WriteRaw(std::string_view ascii);

  // Sends what is buffered. Throws TRpcError "Write error" when the channel
  // reports that it can no longer write.
  void Flush();

 private:
  void WriteByte(uint8_t b) {
    if (used_ == buffer_.size()) SendBuffer();
    buffer_[used_++] = b;
  }
  void SendBuffer();

  TRpcChannel& channel_;
  ByteBuffer buffer_;
  size_t used_ = 0;
};

}  // namespace selvane
