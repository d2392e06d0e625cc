#include "rpc/json_stream_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/text.h"
#include "rpc/rpc_error.h"

namespace selvane {

TRpcJsonStreamWriter::TRpcJsonStreamWriter(TRpcChannel& channel, size_t buffer_size)
    : channel_(channel), buffer_(buffer_size == 0 ? kDefaultBufferSize : buffer_size) {}

void TRpcJsonStreamWriter::SendBuffer() {
  if (used_ == 0) return;
  const int n = channel_.Write(std::span<const uint8_t>(buffer_.data(), used_));
  used_ = 0;
  // A channel that failed must not leave the caller believing the message left.
  if (n < 0) throw TRpcError("Write error", kRpcErrorWarning);
}

void TRpcJsonStreamWriter::Flush() { SendBuffer(); }

void TRpcJsonStreamWriter::WriteRaw(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    if (used_ == buffer_.size()) SendBuffer();
    const size_t n = std::min(bytes.size(), buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, bytes.data(), n);
    used_ += n;
    bytes = bytes.subspan(n);
  }
}

void TRpcJsonStreamWriter::WriteRaw(std::string_view ascii) {
  WriteRaw(std::span(reinterpret_cast<const uint8_t*>(ascii.data()), ascii.size()));
}

void TRpcJsonStreamWriter::WriteString(std::u16string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  WriteByte('"');
  for (char16_t c : text) {
    switch (c) {
      case 8: WriteRaw("\\b"); break;
      case 9: WriteRaw("\\t"); break;
      case 10: WriteRaw("\\n"); break;
      case 12: WriteRaw("\\f"); break;
      case 13: WriteRaw("\\r"); break;
      case u'"': WriteRaw("\\\""); break;
      case u'\\': WriteRaw("\\\\"); break;
      default:
        if (c < 0x20 || c > 0xFF) {
          const char esc[6] = {'\\', 'u', kHex[(c >> 12) & 15], kHex[(c >> 8) & 15], kHex[(c >> 4) & 15],
                               kHex[c & 15]};
          WriteRaw(std::string_view(esc, 6));
        } else {
          WriteByte(static_cast<uint8_t>(c));
        }
    }
  }
  WriteByte('"');
}

void TRpcJsonStreamWriter::WriteString(std::string_view utf8) { WriteString(Utf8ToUtf16(utf8)); }

void TRpcJsonStreamWriter::WriteInt64(int64_t value) { WriteRaw(std::to_string(value)); }

void TRpcJsonStreamWriter::WriteBoolean(bool value) { WriteRaw(value ? "true" : "false"); }

void TRpcJsonStreamWriter::WriteNull() { WriteRaw("null"); }

void TRpcJsonStreamWriter::WriteDataBlock(std::span<const uint8_t> bytes) {
  WriteRaw("{\"data\":[");
  WriteInt64(static_cast<int64_t>(bytes.size()));
  WriteValueSeparator();
  WriteRaw(bytes);
  WriteRaw("]}");
}

void TRpcJsonStreamWriter::WriteDataBlock(int64_t count, std::span<const uint8_t> bytes) {
  WriteRaw("{\"data\":[");
  WriteInt64(count);
  if (count != 0) {
    WriteValueSeparator();
    WriteRaw(bytes);
  }
  WriteRaw("]}");
}

void TRpcJsonStreamWriter::WriteMoreBlobAnswer(std::span<const uint8_t> part, bool last) {
  std::string count = std::to_string(last ? -static_cast<int64_t>(part.size()) : static_cast<int64_t>(part.size()));
  if (count.size() < 9) count.resize(9, ' ');
  WriteRaw("{\"data\":[");
  WriteRaw(count);
  WriteValueSeparator();
  WriteRaw(part);
  WriteRaw("]}");
}

}  // namespace selvane
