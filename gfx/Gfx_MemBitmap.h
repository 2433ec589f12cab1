#pragma once

#include "gfx/Gfx_IBitmap.h"

// A bitmap in heap memory (decoded images, scaled copies, scratch surfaces). Pixels start on a
// 64-byte boundary and rows are padded to a multiple of 4 pixels, so row loops start aligned.
class Gfx_MemBitmap : public Gfx_IBitmap
{
public:
  // A 0 x 0 size allocates nothing.
  Gfx_MemBitmap(int width = 0, int height = 0);
  ~Gfx_MemBitmap() override;
  Gfx_MemBitmap(const Gfx_MemBitmap&) = delete;
  Gfx_MemBitmap& operator=(const Gfx_MemBitmap&) = delete;
  Gfx_MemBitmap(Gfx_MemBitmap&& other) noexcept;
  Gfx_MemBitmap& operator=(Gfx_MemBitmap&& other) noexcept;

  std::uint32_t* PixelData() const override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return (width_ + 3) & ~3; }

  // Same size as now, a negative side or a side above Gfx_MaxBitmapSide: false, nothing changes.
  // A zero side empties the bitmap. Growing reserves 25% headroom; shrinking keeps the block.
  // A failed allocation leaves a 0 x 0 bitmap without pixels (and still answers true).
  // The picture is neither kept nor cleared across a resize (fresh blocks start zeroed).
  bool SetSize(int width, int height) override;

private:
  void Release();

  void* raw_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::size_t allocated_ = 0; // usable bytes behind pixels_
};
