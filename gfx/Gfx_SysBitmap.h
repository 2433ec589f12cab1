#pragma once

#include "gfx/Gfx_IBitmap.h"

// The surface the window layer presents and text is rendered through: the window-sized draw
// bitmap, the glyph render bitmap and the text scratch bitmap. Here it is a block of memory whose
// pixels the window back end copies to the screen; its storage is kept while a new size fits, so
// RowSpan stays the allocated width when the bitmap shrinks.
class Gfx_SysBitmap : public Gfx_IBitmap
{
public:
  Gfx_SysBitmap(int width = 0, int height = 0);
  ~Gfx_SysBitmap() override;
  Gfx_SysBitmap(const Gfx_SysBitmap&) = delete;
  Gfx_SysBitmap& operator=(const Gfx_SysBitmap&) = delete;

  std::uint32_t* PixelData() const override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return allocatedWidth_; }

  // Same size, a negative side or a side above Gfx_MaxBitmapSide: false, nothing changes.
  // A size that fits the current storage keeps it (true). Otherwise the storage is replaced
  // by one of width rounded up to 4 by height; a zero side leaves no pixels, 0 x 0, and false;
  // a failed allocation leaves 0 x 0 and true. Pixels are not cleared on reuse.
  bool SetSize(int width, int height) override;

private:
  void Release();

  void* raw_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int allocatedWidth_ = 0;
  int allocatedHeight_ = 0;
};
