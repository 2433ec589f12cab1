#pragma once

#include "gfx/Gfx_IBitmap.h"

// A rectangle of another bitmap seen as a bitmap of its own: drawing into the view draws into
// that part of the bitmap and never outside it (a clip for operations that take none). The
// rectangle is limited to the bitmap; the view neither owns nor resizes it.
class Gfx_BitmapView : public Gfx_IBitmap
{
public:
  Gfx_BitmapView(Gfx_IBitmap* bitmap, int x, int y, int w, int h);

  std::uint32_t* PixelData() const override { return pixels_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return span_; }
  bool IsBottomUp() const override { return bottomUp_; }
  bool SetSize(int, int) override { return false; }

  // Where the view's (0, 0) lies in the bitmap.
  int Left() const { return left_; }
  int Top() const { return top_; }

private:
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int span_ = 0;
  bool bottomUp_ = false;
  int left_ = 0;
  int top_ = 0;
};
