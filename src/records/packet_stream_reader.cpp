#include "records/packet_stream_reader.h"

#include <algorithm>
#include <limits>

#include "base/byte_order.h"
#include "records/db_errors.h"
#include "records/packet_reader.h"
#include "records/table.h"

namespace selvane {

using packet::ValueLayout;

namespace {

constexpr size_t kRowCountAt = 14;  // the header's row count
constexpr size_t kFirstTry = 64;

bool Unbounded(const ColumnShape& shape) {
  return shape.layout.kind == ValueLayout::kPrefixed && shape.layout.width == 4 &&
         shape.max_length == std::numeric_limits<uint64_t>::max();
}

}  // namespace

void PacketStreamReader::Start(ChooseColumn choose, BeginBlob begin, Content content) {
  choose_ = std::move(choose);
  begin_ = std::move(begin);
  content_ = std::move(content);
  phase_ = Phase::kMetadata;
  buffered_.clear();
  kept_.clear();
  acc_.clear();
  next_try_ = kFirstTry;
  chosen_.reset();
  rows_left_ = rows_done_ = 0;
  streamed_ = false;
}

void PacketStreamReader::Feed(std::span<const uint8_t> piece) {
  if (phase_ == Phase::kMetadata) {
    FeedMetadata(piece);
  } else {
    FeedRows(piece);
  }
}

void PacketStreamReader::FeedMetadata(std::span<const uint8_t> piece) {
  buffered_.insert(buffered_.end(), piece.begin(), piece.end());
  // Tried again only once the bytes have doubled, so the attempts cost no more than one reading.
  if (buffered_.size() < next_try_) return;
  if (!TryMetadata()) {
    if (buffered_.size() > kMaxStreamedMetadata) ThrowDBClient(dberr::kMismatch);
    next_try_ = buffered_.size() * 2;
    return;
  }
  Bytes rest;
  rest.swap(buffered_);
  FeedRows(std::span<const uint8_t>(rest).subspan(kept_.size()));
  rest.clear();
  if (buffered_.capacity() == 0) buffered_.swap(rest);  // keep the allocation for the next packet
}

bool PacketStreamReader::TryMetadata() {
  PacketMetadata meta;
  try {
    meta = ReadPacketMetadata(buffered_);
  } catch (const EDBClient& e) {
    if (e.ErrorCode() == dberr::kMismatch) return false;  // more bytes may mend it
    throw;
  }
  // The metadata alone, as a packet without rows, lays out the columns with
  // every check that reading the whole packet would make.
  kept_.assign(buffered_.begin(), buffered_.begin() + static_cast<ptrdiff_t>(meta.rows_begin));
  head_ = kept_;
  StoreLe32(std::span<uint8_t>(head_).subspan(kRowCountAt, 4), 0);
  const auto table = Table::Load(head_);
  shapes_.assign(table->Shapes().begin(), table->Shapes().end());
  chosen_ = choose_ ? choose_(head_) : std::nullopt;
  if (chosen_ && (*chosen_ >= shapes_.size() || !Unbounded(shapes_[*chosen_]))) chosen_.reset();
  rows_left_ = meta.row_count;
  StartRow();
  return true;
}

void PacketStreamReader::StartRow() {
  if (rows_left_ == 0) {
    phase_ = Phase::kDone;
    return;
  }
  phase_ = Phase::kRowState;
  need_ = 1;
}

bool PacketStreamReader::Collect(std::span<const uint8_t>& piece) {
  const size_t n = std::min(need_ - acc_.size(), piece.size());
  acc_.insert(acc_.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(n));
  piece = piece.subspan(n);
  return acc_.size() == need_;
}

void PacketStreamReader::FeedRows(std::span<const uint8_t> piece) {
  while (!piece.empty() && phase_ != Phase::kDone) {
    switch (phase_) {
      case Phase::kBody:
      case Phase::kStream:
      case Phase::kDrop: {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, piece.size()));
        const auto part = piece.first(n);
        if (phase_ == Phase::kBody) kept_.insert(kept_.end(), part.begin(), part.end());
        if (phase_ == Phase::kStream && n != 0) content_(part);
        piece = piece.subspan(n);
        left_ -= n;
        if (left_ == 0) EndOfValue();
        break;
      }
      default:
        if (!Collect(piece)) break;
        switch (phase_) {
          case Phase::kRowState: {
            const uint8_t state = acc_[0];
            kept_.push_back(state);
            stream_this_row_ = chosen_ && !streamed_ && (state & Table::kNotVisible) == 0;
            status_at_ = kept_.size();
            phase_ = Phase::kStatus;
            need_ = packet::StatusBytes(shapes_.size());
            acc_.clear();
            // A row of no columns has no status bytes.
            if (need_ == 0) {
              column_ = 0;
              NextValue();
            }
            break;
          }
          case Phase::kStatus:
            kept_.insert(kept_.end(), acc_.begin(), acc_.end());
            acc_.clear();
            column_ = 0;
            NextValue();
            break;
          case Phase::kFixed:
            kept_.insert(kept_.end(), acc_.begin(), acc_.end());
            acc_.clear();
            EndOfValue();
            break;
          case Phase::kPrefix:
            OnPrefix();
            break;
          case Phase::kCount: {
            const uint32_t count = LoadLe32(acc_);
            kept_.insert(kept_.end(), acc_.begin(), acc_.end());
            acc_.clear();
            left_ = uint64_t{count} * shapes_[column_].layout.width;
            phase_ = Phase::kBody;
            if (left_ == 0) EndOfValue();
            break;
          }
          default: break;
        }
    }
  }
}

// Finds the next column of the row that has a value, or ends the row.
void PacketStreamReader::NextValue() {
  for (; column_ < shapes_.size(); ++column_) {
    const uint8_t bits = kept_[status_at_ + column_ / 4];
    if ((bits & (packet::NullBit(column_) | packet::UnchangedBit(column_))) == 0) break;
  }
  if (column_ == shapes_.size()) {
    --rows_left_;
    ++rows_done_;
    StartRow();
    return;
  }
  const ValueLayout& layout = shapes_[column_].layout;
  switch (layout.kind) {
    case ValueLayout::kFixed:
      phase_ = Phase::kFixed;
      need_ = layout.width;
      if (need_ == 0) EndOfValue();
      break;
    case ValueLayout::kPrefixed: phase_ = Phase::kPrefix; need_ = layout.width; break;
    case ValueLayout::kCounted: phase_ = Phase::kCount; need_ = 4; break;
  }
}

void PacketStreamReader::EndOfValue() {
  ++column_;
  NextValue();
}

void PacketStreamReader::OnPrefix() {
  const ColumnShape& shape = shapes_[column_];
  const uint64_t length = LoadLittleEndian(acc_);
  const bool absent = shape.layout.width == 4 && (length & 0x80000000u);
  if (!absent && length > shape.max_length) ThrowDBClient(dberr::kInvalidParameter);
  left_ = absent ? 0 : length;
  if (absent || !Unbounded(shape)) {
    kept_.insert(kept_.end(), acc_.begin(), acc_.end());
    phase_ = Phase::kBody;
  } else if (stream_this_row_ && column_ == *chosen_) {
    Begin();
    phase_ = Phase::kStream;
  } else {
    SetNull(column_);
    phase_ = Phase::kDrop;
  }
  acc_.clear();
  if (left_ == 0) EndOfValue();
}

void PacketStreamReader::SetNull(size_t column) {
  kept_[status_at_ + column / 4] |= packet::NullBit(column);
}

void PacketStreamReader::Begin() {
  SetNull(column_);
  streamed_ = true;
  // The rows so far and this one, with the columns from here on null.
  head_ = kept_;
  StoreLe32(std::span<uint8_t>(head_).subspan(kRowCountAt, 4), rows_done_ + 1);
  for (size_t j = column_; j < shapes_.size(); ++j) {
    uint8_t& bits = head_[status_at_ + j / 4];
    bits = static_cast<uint8_t>((bits & ~packet::UnchangedBit(j)) | packet::NullBit(j));
  }
  begin_(head_);
}

std::span<const uint8_t> PacketStreamReader::Finish() {
  if (phase_ == Phase::kMetadata) {
    // Never complete: the bytes as they came, whose reading tells what is wrong.
    if (TryMetadata() && phase_ == Phase::kDone) return kept_;
    if (phase_ == Phase::kMetadata) return buffered_;
    FeedRows(std::span<const uint8_t>(buffered_).subspan(kept_.size()));
  }
  if (phase_ != Phase::kDone) ThrowDBClient(dberr::kMismatch);
  return kept_;
}

}  // namespace selvane
