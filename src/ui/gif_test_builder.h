#pragma once
// Builds small GIF streams for tests: frames are written with an LZW stream of
// literal codes only (a clear code before the table would widen the codes),
// which every decoder must read.

#include <cstdint>
#include <string>
#include <vector>

namespace selvane::ui::testing {

struct TestFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indices;
  int delay = 7;          // hundredths
  int disposal = 0;       // 0..7
  int transparent = -1;   // index or -1
  std::vector<uint32_t> local_colors;  // empty: use the global table
  bool interlaced = false;             // indices given in display order
  bool control = true;                 // write a graphic control extension
};

class GifBuilder {
 public:
  GifBuilder(int width, int height, std::vector<uint32_t> global_colors, int background = 0)
      : width_(width), height_(height), global_(std::move(global_colors)), background_(background) {}

  GifBuilder& Loop(int repeat_count = 0) {
    loop_ = repeat_count;
    return *this;
  }
  GifBuilder& Add(TestFrame f) {
    frames_.push_back(std::move(f));
    return *this;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    Word(out, width_);
    Word(out, height_);
    const int gsize = TableSizeField(global_);
    out.push_back(static_cast<uint8_t>(global_.empty() ? 0 : 0x80 | 0x70 | gsize));
    out.push_back(static_cast<uint8_t>(background_));
    out.push_back(0);
    Table(out, global_, gsize);
    if (loop_ >= 0) {
      const std::string id = "NETSCAPE2.0";
      out.insert(out.end(), {0x21, 0xFF, 11});
      out.insert(out.end(), id.begin(), id.end());
      out.insert(out.end(), {3, 1});
      Word(out, loop_);
      out.push_back(0);
    }
    for (const TestFrame& f : frames_) {
      if (f.control) {
        out.insert(out.end(), {0x21, 0xF9, 4});
        out.push_back(static_cast<uint8_t>((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0)));
        Word(out, f.delay);
        out.push_back(static_cast<uint8_t>(f.transparent >= 0 ? f.transparent : 0));
        out.push_back(0);
      }
      out.push_back(0x2C);
      Word(out, f.left);
      Word(out, f.top);
      Word(out, f.width);
      Word(out, f.height);
      const int lsize = TableSizeField(f.local_colors);
      out.push_back(static_cast<uint8_t>((f.local_colors.empty() ? 0 : 0x80 | lsize) | (f.interlaced ? 0x40 : 0)));
      Table(out, f.local_colors, lsize);
      std::vector<uint8_t> pixels = f.interlaced ? Interlace(f) : f.indices;
      const int min_code = 8;
      out.push_back(min_code);
      SubBlocks(out, Lzw(pixels, min_code));
    }
    out.push_back(0x3B);
    return out;
  }

  // Literal-only LZW: the decoder adds one entry per code after the first;
  // a clear code every so often keeps the code width at min_code + 1.
  static std::vector<uint8_t> Lzw(const std::vector<uint8_t>& pixels, int min_code) {
    const int clear = 1 << min_code, end = clear + 1, width = min_code + 1;
    const int per_clear = (1 << width) - (end + 1);
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](int code) {
      acc |= static_cast<uint32_t>(code) << bits;
      bits += width;
      while (bits >= 8) {
        out.push_back(static_cast<uint8_t>(acc & 0xFF));
        acc >>= 8;
        bits -= 8;
      }
    };
    int since_clear = 0;
    emit(clear);
    for (uint8_t p : pixels) {
      if (since_clear == per_clear) {
        emit(clear);
        since_clear = 0;
      }
      emit(p);
      ++since_clear;
    }
    emit(end);
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc & 0xFF));
    return out;
  }

 private:
  static void Word(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  static int TableSizeField(const std::vector<uint32_t>& colors) {
    int field = 0;
    while ((2u << field) < colors.size()) ++field;
    return field;
  }
  static void Table(std::vector<uint8_t>& out, const std::vector<uint32_t>& colors, int field) {
    if (colors.empty()) return;
    for (size_t i = 0; i < (size_t{2} << field); ++i) {
      const uint32_t c = i < colors.size() ? colors[i] : 0;
      out.push_back(static_cast<uint8_t>(c >> 16));
      out.push_back(static_cast<uint8_t>(c >> 8));
      out.push_back(static_cast<uint8_t>(c));
    }
  }
  static void SubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& data) {
    for (size_t i = 0; i < data.size(); i += 255) {
      const size_t n = std::min<size_t>(255, data.size() - i);
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(i), data.begin() + static_cast<ptrdiff_t>(i + n));
    }
    out.push_back(0);
  }
  static std::vector<uint8_t> Interlace(const TestFrame& f) {
    std::vector<uint8_t> out;
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < f.height; y += kStep[pass])
        out.insert(out.end(), f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
    return out;
  }

  int width_, height_;
  std::vector<uint32_t> global_;
  int background_;
  int loop_ = -1;
  std::vector<TestFrame> frames_;
};

}  // namespace selvane::ui::testing
