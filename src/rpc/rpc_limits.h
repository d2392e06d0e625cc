#pragma once
// The bounds this client sets on what a server drives: every loop that goes on
// for as long as the server keeps sending, and every size that the server
// announces or makes grow. Each is far above what the update server sends
// honestly, and low enough that a broken or hostile server ends the call with
// a clear error instead of holding the updater (and the shop's till) for ever
// or filling its memory.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace selvane {

// Tokens: one string (names, error messages, product name).
inline constexpr size_t kMaxStringBytes = 1u << 20;
// The characters of one number (a 64-bit integer needs 20).
inline constexpr size_t kMaxNumberChars = 64;
// Blanks between two tokens.
inline constexpr size_t kMaxBlankRun = 64u << 10;
// Header blocks (0xB7) before one reply, and the size of each.
inline constexpr size_t kMaxHeaderBlocks = 16;
inline constexpr uint32_t kMaxHeaderBlockBytes = 64u << 10;
// Objects and arrays inside one skipped value.
inline constexpr size_t kMaxNestingDepth = 64;
// Values of an object or array the client does not use and skips, in a row.
inline constexpr size_t kMaxSkippedValues = 4096;
// Counted bytes of one data block: a row, a table block or a metadata text.
// Large values travel in parts of at most a buffer's size, so an honest block
// stays near the 1,024,000-byte buffer.
inline constexpr uint64_t kMaxDataBlockBytes = 64u << 20;
// Parameter descriptions of a prepare or execute reply; column descriptions of a table.
inline constexpr int64_t kMaxParameters = 1024;
inline constexpr int64_t kMaxColumns = 1024;
// Requests of the server (more_blob, metadata, callback) before one execute's result.
inline constexpr size_t kMaxServerRequests = 4096;
// Empty table blocks in a row that are not the table's last.
inline constexpr size_t kMaxEmptyTableBlocks = 16;
// Filtered transport: one frame, empty frames in a row, the handshake's parameter block.
inline constexpr uint64_t kMaxFrameBytes = kMaxDataBlockBytes + (1u << 20);
inline constexpr size_t kMaxEmptyFrames = 16;
inline constexpr uint64_t kMaxFilterParameterBytes = 64u << 10;

// Raises TRpcError "The server's reply exceeds the client's limit of <limit> <what>".
[[noreturn]] void RaiseRpcLimit(uint64_t limit, std::string_view what);

}  // namespace selvane
