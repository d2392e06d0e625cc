#pragma once
// Reads a data packet that arrives in pieces without holding its blobs. The
// value of one blob column in the first visible row goes to a sink as it
// arrives; everything else is kept as a packet in which that value, and every
// other value of an unbounded blob column, is null. SetData on the kept packet
// gives the same fields, values and errors as on the whole packet, less those
// blobs, so callers read the small fields the way they always do.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "base/ole_variant.h"
#include "records/row_codec.h"

namespace selvane {

// Metadata this long that still does not parse is not a packet of ours.
inline constexpr size_t kMaxStreamedMetadata = 16u << 20;

class PacketStreamReader {
 public:
  // Given the packet's metadata (a packet without rows), the column whose
  // blob is to be streamed; nullopt streams nothing.
  using ChooseColumn = std::function<std::optional<size_t>(std::span<const uint8_t> metadata)>;
  // The streamed value begins: `head` is a packet of the rows so far, the
  // current one with that column and every later one null.
  using BeginBlob = std::function<void(std::span<const uint8_t> head)>;
  using Content = std::function<void(std::span<const uint8_t>)>;

  // Starts a packet; buffers of an earlier one are reused.
  void Start(ChooseColumn choose, BeginBlob begin, Content content);
  // Errors of the packet (EDBClient) come from here as soon as the bytes that
  // show them are in, in the order that SetData would meet them.
  void Feed(std::span<const uint8_t> piece);
  // After the last piece, the kept packet. A packet whose rows end early
  // raises "Mismatch in datapacket."; one whose metadata never became
  // complete is handed back as it came, for SetData to report.
  std::span<const uint8_t> Finish();
  // The chosen value was streamed (BeginBlob was called).
  bool streamed() const { return streamed_; }

 private:
  enum class Phase { kMetadata, kRowState, kStatus, kFixed, kPrefix, kCount, kBody, kStream, kDrop, kDone };

  void FeedMetadata(std::span<const uint8_t> piece);
  bool TryMetadata();
  void FeedRows(std::span<const uint8_t> piece);
  // Collects `need_` bytes into `acc_`; true once they are all in.
  bool Collect(std::span<const uint8_t>& piece);
  void NextValue();
  void StartRow();
  void EndOfValue();
  void OnPrefix();
  void SetNull(size_t column);
  void Begin();

  ChooseColumn choose_;
  BeginBlob begin_;
  Content content_;
  Phase phase_ = Phase::kDone;
  Bytes buffered_;  // metadata phase: everything so far
  size_t next_try_ = 0;
  Bytes kept_;
  Bytes head_;
  Bytes acc_;
  size_t need_ = 0;
  uint64_t left_ = 0;  // body bytes still to come
  std::vector<ColumnShape> shapes_;
  std::optional<size_t> chosen_;
  uint32_t rows_left_ = 0;
  uint32_t rows_done_ = 0;
  size_t status_at_ = 0;  // where the current row's status bytes are in kept_
  size_t column_ = 0;
  bool stream_this_row_ = false;
  bool streamed_ = false;
};

}  // namespace selvane
