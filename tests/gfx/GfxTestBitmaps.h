#pragma once

#include <cstdint>
#include <vector>

#include "gfx/Gfx_IBitmap.h"
#include "gfx/Gfx_MemBitmap.h"

// A memory bitmap filled with one value.
inline Gfx_MemBitmap Filled(int w, int h, std::uint32_t value)
{
  Gfx_MemBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.Row(y)[x] = value;
  return b;
}

inline std::uint32_t At(const Gfx_IBitmap& b, int x, int y)
{
  return b.Row(y)[x];
}

// A bottom-up bitmap over its own vector, to check that operations honour IsBottomUp.
class BottomUpBitmap : public Gfx_IBitmap
{
public:
  BottomUpBitmap(int w, int h, std::uint32_t value) : w_(w), h_(h), pixels_(std::size_t(w) * h, value) {}
  std::uint32_t* PixelData() const override { return const_cast<std::uint32_t*>(pixels_.data()); }
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  int RowSpan() const override { return w_; }
  bool IsBottomUp() const override { return true; }
  bool SetSize(int, int) override { return false; }
  // Memory row y (0 = first in memory).
  std::uint32_t Memory(int x, int y) const { return pixels_[std::size_t(y) * w_ + x]; }

private:
  int w_, h_;
  std::vector<std::uint32_t> pixels_;
};
