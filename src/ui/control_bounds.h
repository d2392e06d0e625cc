#pragma once
// Where a windowless control sits in its parent's client area, and whether a
// point of that area falls on it.

namespace selvane::ui {

class ControlBounds {
 public:
  ControlBounds(int width, int height) : width_(width), height_(height) {}

  void SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // (x, y) in the parent's client coordinates.
  bool Contains(int x, int y) const { return x >= left_ && x < left_ + width_ && y >= top_ && y < top_ + height_; }

 protected:
  int left_ = 0, top_ = 0, width_, height_;
};

}  // namespace selvane::ui
