// GIF87a/GIF89a reader: header, logical screen, colour tables, graphic control
// and NETSCAPE2.0 extensions, LZW image data and interlaced rows.

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "ui/gif_image.h"

namespace selvane::ui {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}

  bool AtEnd() const { return pos_ >= data_.size(); }
  uint8_t Byte() {
    Need(1);
    return data_[pos_++];
  }
  uint16_t Word() {
    Need(2);
    const uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::span<const uint8_t> Bytes(size_t n) {
    Need(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  void Need(size_t n) const {
    if (data_.size() - pos_ < n) throw GifError("GIF picture is truncated");
  }
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

std::vector<Color> ReadColorTable(Reader& r, int size_field) {
  const size_t n = size_t{2} << size_field;
  auto bytes = r.Bytes(n * 3);
  std::vector<Color> colors(n);
  for (size_t i = 0; i < n; ++i)
    colors[i] = (Color{bytes[i * 3]} << 16) | (Color{bytes[i * 3 + 1]} << 8) | bytes[i * 3 + 2];
  return colors;
}

// Sub-blocks up to the terminator, concatenated.
std::vector<uint8_t> ReadSubBlocks(Reader& r) {
  std::vector<uint8_t> out;
  for (uint8_t n = r.Byte(); n != 0; n = r.Byte()) {
    auto s = r.Bytes(n);
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

void SkipSubBlocks(Reader& r) {
  for (uint8_t n = r.Byte(); n != 0; n = r.Byte()) r.Bytes(n);
}

// Decodes `count` colour indices from the LZW stream.
std::vector<uint8_t> DecodeLzw(const std::vector<uint8_t>& data, int min_code_size, size_t count) {
  if (min_code_size < 1 || min_code_size > 11) throw GifError("GIF image data is corrupt");
  constexpr int kMaxCodes = 4096;
  std::array<uint16_t, kMaxCodes> prefix{};
  std::array<uint8_t, kMaxCodes> suffix{};
  std::array<uint8_t, kMaxCodes> first{};
  std::array<uint16_t, kMaxCodes> length{};
  std::array<uint8_t, kMaxCodes> stack{};

  const int clear = 1 << min_code_size;
  const int eoi = clear + 1;
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = static_cast<uint8_t>(i);
    length[i] = 1;
  }
  int code_size = min_code_size + 1;
  int next = eoi + 1;
  int prev = -1;

  std::vector<uint8_t> out;
  out.reserve(count);
  size_t bit_pos = 0;
  const size_t total_bits = data.size() * 8;
  while (out.size() < count) {
    if (bit_pos + code_size > total_bits) throw GifError("GIF image data is incomplete");
    int code = 0;
    for (int b = 0; b < code_size; ++b, ++bit_pos)
      code |= ((data[bit_pos >> 3] >> (bit_pos & 7)) & 1) << b;
    if (code == clear) {
      code_size = min_code_size + 1;
      next = eoi + 1;
      prev = -1;
      continue;
    }
    if (code == eoi) throw GifError("GIF image data is incomplete");
    int emit;
    if (prev < 0) {
      if (code > clear) throw GifError("GIF image data is corrupt");
      emit = code;
    } else if (code < next) {
      emit = code;
      if (next < kMaxCodes) {
        prefix[next] = static_cast<uint16_t>(prev);
        suffix[next] = first[code];
        first[next] = first[prev];
        length[next] = static_cast<uint16_t>(length[prev] + 1);
        ++next;
      }
    } else if (code == next && next < kMaxCodes) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = first[prev];
      first[next] = first[prev];
      length[next] = static_cast<uint16_t>(length[prev] + 1);
      emit = next++;
    } else {
      throw GifError("GIF image data is corrupt");
    }
    // Unwind the string of `emit` backwards, then append it.
    int n = 0;
    for (int c = emit;; c = prefix[c]) {
      stack[n++] = suffix[c];
      if (c < clear) break;
    }
    while (n > 0 && out.size() < count) out.push_back(stack[--n]);
    prev = emit;
    if (next == (1 << code_size) && code_size < 12) ++code_size;
  }
  return out;
}

std::vector<uint8_t> Deinterlace(const std::vector<uint8_t>& rows_in_pass_order, int width, int height) {
  std::vector<uint8_t> out(rows_in_pass_order.size());
  static constexpr int kStart[] = {0, 4, 2, 1};
  static constexpr int kPassStep[] = {8, 8, 4, 2};
  size_t src_row = 0;
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kPassStep[pass], ++src_row) {
      std::memcpy(&out[static_cast<size_t>(y) * width], &rows_in_pass_order[src_row * width],
                  static_cast<size_t>(width));
    }
  }
  return out;
}

// Moves the blue of entry t until no other entry has the same colour, so that
// leaving out t's colour leaves out exactly t's pixels.
void MakeUnique(std::vector<Color>& colors, size_t t) {
  int step = -1;
  auto clash = [&] {
    for (size_t i = 0; i < colors.size(); ++i)
      if (i != t && colors[i] == colors[t]) return true;
    return false;
  };
  while (clash()) {
    int blue = static_cast<int>(colors[t] & 0xFF);
    if (blue == 0) step = 1;
    if (blue == 255) step = -1;
    blue += step;
    colors[t] = (colors[t] & 0xFFFF00) | static_cast<Color>(blue);
  }
}

struct GraphicControl {
  bool present = false;
  int max_delay = 0;  // hundredths
  TDisposalMethod disposal = TDisposalMethod::dmUndefined;
  int transparent_index = -1;
};

}  // namespace

TGIFImage DecodeGif(std::span<const uint8_t> data) {
  Reader r(data);
  auto sig = r.Bytes(6);
  if (std::memcmp(sig.data(), "GIF87a", 6) != 0 && std::memcmp(sig.data(), "GIF89a", 6) != 0)
    throw GifError("Not a GIF picture");

  TGIFImage image;
  image.ScreenWidth = r.Word();
  image.ScreenHeight = r.Word();
  if (int64_t{image.ScreenWidth} * image.ScreenHeight > kMaxGifArea) throw GifError("GIF picture is too large");
  const uint8_t packed = r.Byte();
  const uint8_t background_index = r.Byte();
  r.Byte();  // pixel aspect ratio
  std::vector<Color> global;
  if (packed & 0x80) {
    global = ReadColorTable(r, packed & 7);
    if (background_index < global.size()) image.BackgroundColor = global[background_index];
  }

  GraphicControl gce;
  int64_t total_pixels = 0;
  while (!r.AtEnd()) {
    const uint8_t introducer = r.Byte();
    if (introducer == 0x3B) break;  // trailer
    if (introducer == 0x21) {
      const uint8_t label = r.Byte();
      if (label == 0xF9) {
        std::vector<uint8_t> b = ReadSubBlocks(r);
        if (b.size() < 4) throw GifError("GIF graphic control extension is corrupt");
        gce.present = true;
        gce.max_delay = std::max(gce.max_delay, b[1] | (b[2] << 8));
        gce.disposal = static_cast<TDisposalMethod>((b[0] >> 2) & 7);
        gce.transparent_index = (b[0] & 1) ? b[3] : -1;
      } else if (label == 0xFF) {
        const uint8_t n = r.Byte();
        auto id = r.Bytes(n);
        const bool netscape = n == 11 && (std::memcmp(id.data(), "NETSCAPE2.0", 11) == 0 ||
                                          std::memcmp(id.data(), "ANIMEXTS1.0", 11) == 0);
        std::vector<uint8_t> b = ReadSubBlocks(r);
        if (netscape && b.size() >= 3 && b[0] == 1) {
          image.Looping = true;
          image.RepeatCount = b[1] | (b[2] << 8);
        }
      } else {
        SkipSubBlocks(r);
      }
      continue;
    }
    if (introducer != 0x2C) throw GifError("GIF picture holds an unknown block");

    TGIFFrame frame;
    frame.left = r.Word();
    frame.top = r.Word();
    frame.width = r.Word();
    frame.height = r.Word();
    const int64_t area = int64_t{frame.width} * frame.height;
    total_pixels += area;
    if (area > kMaxGifArea || total_pixels > kMaxGifTotalPixels) throw GifError("GIF picture is too large");
    const uint8_t fpacked = r.Byte();
    frame.colors = (fpacked & 0x80) ? ReadColorTable(r, fpacked & 7) : global;
    const int min_code_size = r.Byte();
    std::vector<uint8_t> lzw = ReadSubBlocks(r);
    if (area > 0) {
      frame.indices = DecodeLzw(lzw, min_code_size, static_cast<size_t>(area));
      if (fpacked & 0x40) frame.indices = Deinterlace(frame.indices, frame.width, frame.height);
    }
    // Delay in hundredths; saturate rather than wrap in the 16-bit field.
    frame.AnimateInterval = static_cast<uint16_t>(std::min(gce.max_delay * 10, 0xFFFF));
    frame.DisposalMethod = gce.disposal;
    if (gce.transparent_index >= 0) {
      const size_t t = static_cast<size_t>(gce.transparent_index);
      if (t >= frame.colors.size()) frame.colors.resize(t + 1, 0);
      MakeUnique(frame.colors, t);
      frame.TransparentColor = frame.colors[t];
      frame.transparent_index = gce.transparent_index;
    }
    image.frames.push_back(std::move(frame));
    gce = GraphicControl{};
  }
  if (!image.frames.empty()) image.FrameIndex = 0;
  return image;
}

}  // namespace selvane::ui
