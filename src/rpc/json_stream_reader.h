#pragma once
// Reads remote-method messages token by token from a channel: the replies of
// the server on the client side, the requests of a client on a server side.
// Strings map every byte to one UTF-16 code unit of the same value; data
// blocks are counted raw bytes, copied and never tokenised. Syntax errors
// raise TRpcError (code 2) with the message layout of the protocol and drop
// what is left in the read buffer.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"
#include "base/ole_variant.h"
#include "rpc/rpc_channel.h"

namespace selvane {

// Takes raw bytes where they lie; the span is valid only during the call.
using ByteSink = std::function<void(std::span<const uint8_t>)>;

enum class TRpcJsonToken {
  kObjectStart,  // {
  kObjectEnd,    // }
  kArrayStart,   // [
  kArrayEnd,     // ]
  kNameSeparator,   // :
  kValueSeparator,  // ,
  kTrue,
  kFalse,
  kNull,
  kString,
  kNumber,
  kUnknown,
};

class TRpcJsonStreamReader {
 public:
  static constexpr size_t kDefaultBufferSize = 8192;

  TRpcJsonStreamReader(TRpcChannel& channel, size_t buffer_size = kDefaultBufferSize);

  // Skips blanks (space, tab, CR, LF) and tells the next token without taking it.
  TRpcJsonToken PeekToken();
  // Takes the next token, which must be `expected`; otherwise raises
  // "Expected:  '<expected>' found:  '<found>' at position:  <pos>\n<buffer>".
  void ReadToken(TRpcJsonToken expected);
  // Takes a comma when one comes next.
  bool SkipValueSeparator();

  // The opening brace of a top-level reply, after any header blocks
  // (0xB7, 32-bit big-endian length L and flag F, skipped up to L bytes;
  // F = 0 raises "Server uses unsupported streaming protocol").
  void ReadReplyObjectStart();
  // A member name: the opening quote must come next (else "Unexpected byte at
  // position:  ..."); the colon is not taken.
  std::u16string ReadMemberName();
  // Takes `word` (a literal or a name's text) or raises the misspelt-word error.
  void ExpectWord(std::string_view word);

  std::u16string ReadString();
  std::string ReadUtf8String();  // ReadString converted to UTF-8
  // A number: the run of + - . digits E e; integers accumulate digit by digit.
  int64_t ReadInt64();
  int32_t ReadInt32() { return static_cast<int32_t>(ReadInt64()); }
  bool ReadBoolean();
  void ReadNull();

  // Reads tokens up to the closing brace that balances an object whose
  // opening brace was already taken `depth` levels up; strings are skipped
  // whole. Raw data blocks are not recognised here.
  void SkipToObjectEnd(int depth = 1);
  // Skips one value of any kind (object, array, string, number, literal).
  void SkipValue();
  // Skips every further ", value" of the current array or object: the members
  // a newer server may add. At most kMaxSkippedValues of them.
  void SkipRemainingValues();

  // Appends exactly `count` raw bytes, asking the channel for more as needed;
  // storage grows only as bytes arrive.
  void ReadRawBytes(size_t count, Bytes& out);
  // The array of a data block, after its name "data" and the colon: [N,B].
  // Returns N and appends |N| raw bytes; the comma after N may be missing
  // when N is 0.
  int64_t ReadDataArray(Bytes& out);
  // One raw byte.
  uint8_t ReadRawByte();

  // As above, but the bytes go to `sink` straight from the read buffer, in
  // pieces of at most the buffer's size: a block of any length is never held.
  void ReadRawBytes(size_t count, const ByteSink& sink);
  int64_t ReadDataArray(const ByteSink& sink);

  // Position in the read buffer, and the buffer's bytes as error messages show them.
  size_t position() const { return pos_; }
  std::string BufferDump() const;

  // Raises the unexpected-token error for `expected` at the current position.
  [[noreturn]] void UnexpectedToken(TRpcJsonToken expected, TRpcJsonToken found);
  // Raises "Expected:  '<word> at position:  <pos>\n<buffer>".
  [[noreturn]] void MisspeltWord(std::string_view word);

 private:
  bool Fill();  // false is never returned: an empty read raises "Read error"
  uint8_t PeekByte() {
    if (pos_ == end_) Fill();
    return buffer_[pos_];
  }
  void SkipBlanks();
  [[noreturn]] void Fail(const std::string& message);

  TRpcChannel& channel_;
  ByteBuffer buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
};

// The name that error messages give a token: its characters, "-+0-9." for a
// number, the double quote for a string, "Unknown" otherwise.
std::string_view RpcJsonTokenName(TRpcJsonToken token);

}  // namespace selvane
