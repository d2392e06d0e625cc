#include "protocol/container_reader.h"

#include <array>
#include <utility>

#include "base/byte_order.h"

namespace selvane {

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

int32_t ReadInt32(InflateReader& in) {
  uint8_t b[4];
  in.ReadExactly(b, sizeof b);
  return static_cast<int32_t>(LoadLe32(b));
}

int32_t ReadLength(InflateReader& in) {
  int32_t n = ReadInt32(in);
  if (n < 0) throw EInvalidContainer();
  return n;
}

void Skip(InflateReader& in, size_t n, std::array<uint8_t, kCopyBlock>& buf) {
  while (n > 0) {
    size_t chunk = n < buf.size() ? n : buf.size();
    in.ReadExactly(buf.data(), chunk);
    n -= chunk;
  }
}

}  // namespace

int32_t ReadContainer(ByteSource source, const OpenEntry& open_entry) {
  InflateReader in(std::move(source));
  std::array<uint8_t, kCopyBlock> buf;
  int32_t count = ReadInt32(in);
  for (int32_t i = 0; i < count; ++i) {
    Skip(in, static_cast<size_t>(ReadLength(in)), buf);
    size_t left = static_cast<size_t>(ReadLength(in));
    std::unique_ptr<WritableFile> target = open_entry();
    while (left > 0) {
      size_t chunk = left < buf.size() ? left : buf.size();
      in.ReadExactly(buf.data(), chunk);
      target->Write(buf.data(), chunk);
      left -= chunk;
    }
    target->Close();
    // The end byte; the last entry's may be missing.
    in.Read(buf.data(), 1);
  }
  in.Finish();
  return count > 0 ? count : 0;
}

int32_t ReadContainer(std::span<const uint8_t> container, const OpenEntry& open_entry) {
  return ReadContainer(SpanSource(container), open_entry);
}

void ContainerStreamReader::Start(const OpenEntry& open_entry) {
  inflater_.Reset();
  open_entry_ = &open_entry;
  target_.reset();
  phase_ = Phase::kCount;
  number_size_ = 0;
  count_ = entry_ = 0;
  left_ = 0;
}

void ContainerStreamReader::Feed(std::span<const uint8_t> compressed) {
  inflater_.Feed(compressed, [this](std::span<const uint8_t> inflated) { Parse(inflated); });
}

int32_t ContainerStreamReader::TakeInt32() {
  number_size_ = 0;
  return static_cast<int32_t>(LoadLe32(number_));
}

void ContainerStreamReader::NextEntry() {
  phase_ = entry_ < count_ ? Phase::kNameLength : Phase::kDone;
}

void ContainerStreamReader::Parse(std::span<const uint8_t> in) {
  while (!in.empty() && phase_ != Phase::kDone) {
    switch (phase_) {
      case Phase::kCount:
      case Phase::kNameLength:
      case Phase::kDataLength: {
        while (!in.empty() && number_size_ < sizeof number_) {
          number_[number_size_++] = in[0];
          in = in.subspan(1);
        }
        if (number_size_ < sizeof number_) return;
        const int32_t n = TakeInt32();
        if (phase_ == Phase::kCount) {
          count_ = n;
          NextEntry();
          break;
        }
        if (n < 0) throw EInvalidContainer();
        left_ = static_cast<size_t>(n);
        if (phase_ == Phase::kNameLength) {
          phase_ = Phase::kName;
        } else {
          target_ = (*open_entry_)();
          phase_ = Phase::kData;
        }
        break;
      }
      case Phase::kName:
      case Phase::kData: {
        const size_t n = std::min(left_, in.size());
        if (phase_ == Phase::kData && n != 0) target_->Write(in.data(), n);
        in = in.subspan(n);
        left_ -= n;
        break;
      }
      case Phase::kEndByte:
        in = in.subspan(1);
        NextEntry();
        break;
      case Phase::kDone: break;
    }
    // A name or data of length zero ends at once.
    if (left_ == 0 && phase_ == Phase::kName) phase_ = Phase::kDataLength;
    if (left_ == 0 && phase_ == Phase::kData) {
      ++entry_;
      // The last entry stays open for Finish to stamp.
      if (entry_ < count_) std::exchange(target_, nullptr)->Close();
      phase_ = Phase::kEndByte;
    }
  }
  // After the last entry's data, what else the stream inflates to is not read.
}

int32_t ContainerStreamReader::Finish(std::optional<DosDateTime> stamp) {
  // The last entry's end byte may be missing.
  if (phase_ == Phase::kEndByte && entry_ == count_) phase_ = Phase::kDone;
  if (phase_ != Phase::kDone || !inflater_.ended()) throw EReadError();
  if (target_) {
    if (stamp) target_->SetLastWriteDos(*stamp);
    std::exchange(target_, nullptr)->Close();
  }
  return count_ > 0 ? count_ : 0;
}

}  // namespace selvane
