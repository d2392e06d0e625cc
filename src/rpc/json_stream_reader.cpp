#include "rpc/json_stream_reader.h"

#include <algorithm>
#include <cstdint>

#include "base/byte_order.h"
#include "base/text.h"
#include "rpc/rpc_error.h"
#include "rpc/rpc_limits.h"

namespace selvane {

namespace {

bool IsBlank(uint8_t b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; }
bool IsNumberChar(uint8_t b) { return (b >= '0' && b <= '9') || b == '+' || b == '-' || b == '.' || b == 'e' || b == 'E'; }

constexpr uint8_t kHeaderBlockMark = 0xB7;

int HexValue(uint8_t b) {
  if (b >= '0' && b <= '9') return b - '0';
  if (b >= 'a' && b <= 'f') return b - 'a' + 10;
  if (b >= 'A' && b <= 'F') return b - 'A' + 10;
  return -1;
}

}  // namespace

std::string_view RpcJsonTokenName(TRpcJsonToken token) {
  switch (token) {
    case TRpcJsonToken::kObjectStart: return "{";
    case TRpcJsonToken::kObjectEnd: return "}";
    case TRpcJsonToken::kArrayStart: return "[";
    case TRpcJsonToken::kArrayEnd: return "]";
    case TRpcJsonToken::kNameSeparator: return ":";
    case TRpcJsonToken::kValueSeparator: return ",";
    case TRpcJsonToken::kTrue: return "true";
    case TRpcJsonToken::kFalse: return "false";
    case TRpcJsonToken::kNull: return "null";
    case TRpcJsonToken::kString: return "\"";
    case TRpcJsonToken::kNumber: return "-+0-9.";
    case TRpcJsonToken::kUnknown: break;
  }
  return "Unknown";
}

TRpcJsonStreamReader::TRpcJsonStreamReader(TRpcChannel& channel, size_t buffer_size)
    : channel_(channel), buffer_(buffer_size == 0 ? kDefaultBufferSize : buffer_size) {}

bool TRpcJsonStreamReader::Fill() {
  const int n = channel_.Read(std::span<uint8_t>(buffer_.data(), buffer_.size()));
  if (n <= 0) {
    pos_ = end_ = 0;
    throw TRpcError("Read error", kRpcErrorWarning);
  }
  pos_ = 0;
  end_ = static_cast<size_t>(n);
  return true;
}

std::string TRpcJsonStreamReader::BufferDump() const {
  std::string out;
  for (size_t i = 0; i < end_; ++i) {
    const uint8_t b = buffer_[i];
    if (b >= 0x20 && b <= 0x7E) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back('#');
      out.append(std::to_string(b));
    }
  }
  return out;
}

void TRpcJsonStreamReader::Fail(const std::string& message) {
  std::string text = message;
  text.append(std::to_string(pos_)).append("\n").append(BufferDump());
  pos_ = end_;  // the rest of the buffer cannot be trusted any more
  throw TRpcError(text, kRpcErrorNoMemory);
}

void TRpcJsonStreamReader::UnexpectedToken(TRpcJsonToken expected, TRpcJsonToken found) {
  std::string message = "Expected:  '";
  message.append(RpcJsonTokenName(expected)).append("' found:  '").append(RpcJsonTokenName(found));
  Fail(message.append("' at position:  "));
}

void TRpcJsonStreamReader::MisspeltWord(std::string_view word) {
  Fail(std::string("Expected:  '").append(word).append(" at position:  "));
}

void TRpcJsonStreamReader::SkipBlanks() {
  for (size_t run = 0; IsBlank(PeekByte()); ++run) {
    if (run == kMaxBlankRun) RaiseRpcLimit(kMaxBlankRun, "blanks between two tokens");
    ++pos_;
  }
}

TRpcJsonToken TRpcJsonStreamReader::PeekToken() {
  SkipBlanks();
  const uint8_t b = buffer_[pos_];
  switch (b) {
    case '{': return TRpcJsonToken::kObjectStart;
    case '}': return TRpcJsonToken::kObjectEnd;
    case '[': return TRpcJsonToken::kArrayStart;
    case ']': return TRpcJsonToken::kArrayEnd;
    case ':': return TRpcJsonToken::kNameSeparator;
    case ',': return TRpcJsonToken::kValueSeparator;
    case 't': return TRpcJsonToken::kTrue;
    case 'f': return TRpcJsonToken::kFalse;
    case 'n': return TRpcJsonToken::kNull;
    case '"': return TRpcJsonToken::kString;
    default: return IsNumberChar(b) ? TRpcJsonToken::kNumber : TRpcJsonToken::kUnknown;
  }
}

void TRpcJsonStreamReader::ReadToken(TRpcJsonToken expected) {
  const TRpcJsonToken found = PeekToken();
  if (found != expected) UnexpectedToken(expected, found);
  switch (expected) {
    case TRpcJsonToken::kTrue: ExpectWord("true"); return;
    case TRpcJsonToken::kFalse: ExpectWord("false"); return;
    case TRpcJsonToken::kNull: ExpectWord("null"); return;
    case TRpcJsonToken::kString: ReadString(); return;
    case TRpcJsonToken::kNumber: ReadInt64(); return;
    default: ++pos_; return;
  }
}

bool TRpcJsonStreamReader::SkipValueSeparator() {
  if (PeekToken() != TRpcJsonToken::kValueSeparator) return false;
  ++pos_;
  return true;
}

void TRpcJsonStreamReader::ExpectWord(std::string_view word) {
  for (char c : word) {
    if (PeekByte() != static_cast<uint8_t>(c)) MisspeltWord(word);
    ++pos_;
  }
}

void TRpcJsonStreamReader::ReadReplyObjectStart() {
  for (size_t blocks = 0;; ++blocks) {
    SkipBlanks();
    if (buffer_[pos_] != kHeaderBlockMark) break;
    if (blocks == kMaxHeaderBlocks) RaiseRpcLimit(kMaxHeaderBlocks, "header blocks before a reply");
    uint8_t header[9];
    for (uint8_t& b : header) b = ReadRawByte();
    const uint32_t length = LoadBe32(std::span(header).subspan(1));
    const uint32_t flag = LoadBe32(std::span(header).subspan(5));
    if (flag == 0) throw TRpcError("Server uses unsupported streaming protocol");
    if (length > kMaxHeaderBlockBytes) RaiseRpcLimit(kMaxHeaderBlockBytes, "bytes in a header block");
    for (uint32_t skipped = 9; skipped < length; ++skipped) ReadRawByte();
  }
  ReadToken(TRpcJsonToken::kObjectStart);
}

std::u16string TRpcJsonStreamReader::ReadMemberName() {
  SkipBlanks();
  if (buffer_[pos_] != '"') Fail("Unexpected byte at position:  ");
  return ReadString();
}

std::u16string TRpcJsonStreamReader::ReadString() {
  const TRpcJsonToken found = PeekToken();
  if (found != TRpcJsonToken::kString) UnexpectedToken(TRpcJsonToken::kString, found);
  ++pos_;
  std::u16string out;
  for (;;) {
    if (out.size() == kMaxStringBytes) RaiseRpcLimit(kMaxStringBytes, "characters in a string");
    uint8_t b = ReadRawByte();
    if (b == '"') return out;
    if (b != '\\') {
      out.push_back(b);
      continue;
    }
    b = ReadRawByte();
    switch (b) {
      case 'b': out.push_back(8); break;
      case 't': out.push_back(9); break;
      case 'n': out.push_back(10); break;
      case 'f': out.push_back(12); break;
      case 'r': out.push_back(13); break;
      case 'u': {
        int value = 0;
        for (int i = 0; i < 4; ++i) {
          const int h = HexValue(PeekByte());
          if (h < 0) Fail("Expected:  'hexadecimal digit at position:  ");
          ++pos_;
          value = value * 16 + h;
        }
        out.push_back(static_cast<char16_t>(value));
        break;
      }
      default: out.push_back(b); break;
    }
  }
}

std::string TRpcJsonStreamReader::ReadUtf8String() { return Utf16ToUtf8(ReadString()); }

int64_t TRpcJsonStreamReader::ReadInt64() {
  const TRpcJsonToken found = PeekToken();
  if (found != TRpcJsonToken::kNumber) UnexpectedToken(TRpcJsonToken::kNumber, found);
  bool negative = false;
  bool first = true;
  bool digits_done = false;
  uint64_t value = 0;  // unsigned: out-of-range numbers wrap instead of overflowing
  for (size_t chars = 0;; ++chars) {
    if (pos_ == end_) Fill();
    const uint8_t b = buffer_[pos_];
    if (!IsNumberChar(b)) break;
    if (chars == kMaxNumberChars) RaiseRpcLimit(kMaxNumberChars, "characters in a number");
    ++pos_;
    if (first && (b == '-' || b == '+')) {
      negative = b == '-';
    } else if (b >= '0' && b <= '9' && !digits_done) {
      value = value * 10 + (b - '0');
    } else {
      digits_done = true;  // fraction or exponent: the integer part is the value
    }
    first = false;
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

bool TRpcJsonStreamReader::ReadBoolean() {
  const TRpcJsonToken found = PeekToken();
  if (found == TRpcJsonToken::kTrue) {
    ExpectWord("true");
    return true;
  }
  if (found == TRpcJsonToken::kFalse) {
    ExpectWord("false");
    return false;
  }
  UnexpectedToken(TRpcJsonToken::kTrue, found);
}

void TRpcJsonStreamReader::ReadNull() { ReadToken(TRpcJsonToken::kNull); }

void TRpcJsonStreamReader::SkipToObjectEnd(int depth) {
  for (size_t skipped = 0; depth > 0; ++skipped) {
    if (skipped == kMaxSkippedValues) RaiseRpcLimit(kMaxSkippedValues, "skipped tokens");
    const TRpcJsonToken t = PeekToken();
    switch (t) {
      case TRpcJsonToken::kObjectStart:
        if (static_cast<size_t>(depth) == kMaxNestingDepth) RaiseRpcLimit(kMaxNestingDepth, "nested values");
        ++depth;
        ++pos_;
        break;
      case TRpcJsonToken::kObjectEnd: --depth; ++pos_; break;
      case TRpcJsonToken::kString: ReadString(); break;
      default: ++pos_; break;
    }
  }
}

void TRpcJsonStreamReader::SkipValue() {
  switch (PeekToken()) {
    case TRpcJsonToken::kObjectStart:
    case TRpcJsonToken::kArrayStart: {
      size_t depth = 0;
      size_t skipped = 0;
      do {
        if (++skipped > kMaxSkippedValues) RaiseRpcLimit(kMaxSkippedValues, "skipped tokens");
        const TRpcJsonToken t = PeekToken();
        if (t == TRpcJsonToken::kObjectStart || t == TRpcJsonToken::kArrayStart) {
          if (depth == kMaxNestingDepth) RaiseRpcLimit(kMaxNestingDepth, "nested values");
          ++depth;
        }
        if (t == TRpcJsonToken::kObjectEnd || t == TRpcJsonToken::kArrayEnd) --depth;
        if (t == TRpcJsonToken::kString) {
          ReadString();
        } else if (t == TRpcJsonToken::kNumber) {
          ReadInt64();
        } else {
          ++pos_;
        }
      } while (depth > 0);
      return;
    }
    case TRpcJsonToken::kString: ReadString(); return;
    case TRpcJsonToken::kNumber: ReadInt64(); return;
    case TRpcJsonToken::kTrue: ExpectWord("true"); return;
    case TRpcJsonToken::kFalse: ExpectWord("false"); return;
    case TRpcJsonToken::kNull: ExpectWord("null"); return;
    default: UnexpectedToken(TRpcJsonToken::kObjectStart, PeekToken());
  }
}

void TRpcJsonStreamReader::SkipRemainingValues() {
  for (size_t skipped = 0; SkipValueSeparator(); ++skipped) {
    if (skipped == kMaxSkippedValues) RaiseRpcLimit(kMaxSkippedValues, "skipped values");
    SkipValue();
  }
}

int64_t TRpcJsonStreamReader::ReadDataArray(Bytes& out) {
  ReadToken(TRpcJsonToken::kArrayStart);
  const int64_t count = ReadInt64();
  if (count != 0) {
    ReadToken(TRpcJsonToken::kValueSeparator);
    // The bytes follow the comma at once: no blanks are skipped before them.
    const uint64_t n = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    if (n > kMaxDataBlockBytes) RaiseRpcLimit(kMaxDataBlockBytes, "bytes in a data block");
    ReadRawBytes(static_cast<size_t>(n), out);
  } else {
    SkipValueSeparator();
  }
  ReadToken(TRpcJsonToken::kArrayEnd);
  return count;
}

uint8_t TRpcJsonStreamReader::ReadRawByte() {
  if (pos_ == end_) Fill();
  return buffer_[pos_++];
}

void TRpcJsonStreamReader::ReadRawBytes(size_t count, Bytes& out) {
  while (count > 0) {
    if (pos_ == end_) Fill();
    const size_t n = std::min(count, end_ - pos_);
    out.insert(out.end(), buffer_.data() + pos_, buffer_.data() + pos_ + n);
    pos_ += n;
    count -= n;
  }
}

int64_t TRpcJsonStreamReader::ReadDataArray(const ByteSink& sink) {
  ReadToken(TRpcJsonToken::kArrayStart);
  const int64_t count = ReadInt64();
  if (count != 0) {
    ReadToken(TRpcJsonToken::kValueSeparator);
    const uint64_t n = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
    if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
      if (n > SIZE_MAX) throw TRpcError("Data block too large");
    }
    ReadRawBytes(static_cast<size_t>(n), sink);
  } else {
    SkipValueSeparator();
  }
  ReadToken(TRpcJsonToken::kArrayEnd);
  return count;
}

void TRpcJsonStreamReader::ReadRawBytes(size_t count, const ByteSink& sink) {
  while (count > 0) {
    if (pos_ == end_) Fill();
    const size_t n = std::min(count, end_ - pos_);
    const std::span<const uint8_t> piece(buffer_.data() + pos_, n);
    // Taken before the sink runs, so a sink that throws leaves the reader past these bytes.
    pos_ += n;
    count -= n;
    sink(piece);
  }
}

}  // namespace selvane
