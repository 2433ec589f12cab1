#pragma once

#include <cstddef>
#include <cstdint>

// Largest width or height any bitmap accepts. Sizes come from PNG headers and scale factors, so a
// bound keeps every byte count far inside 64-bit arithmetic and refuses absurd allocations.
constexpr int Gfx_MaxBitmapSide = 16384;

// A picture of 32-bit pixels 0xAARRGGBB (bytes blue, green, red, alpha in memory), straight
// alpha, rows top-down. Every drawing operation of the library takes this interface and does
// nothing when PixelData is null.
class Gfx_IBitmap
{
public:
  virtual ~Gfx_IBitmap() = default;

  // The first pixel of the top row (of the bottom row in memory when IsBottomUp), or null.
  virtual std::uint32_t* PixelData() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pixels from the start of one memory row to the next; at least Width.
  virtual int RowSpan() const = 0;
  // No bitmap kind of this program is bottom-up; the operations still honour it.
  virtual bool IsBottomUp() const { return false; }
  // Answers true when the size changed (see each kind for the exact rules).
  virtual bool SetSize(int width, int height) = 0;

  // Logical row y (0 = top) and the signed distance in pixels between logical rows.
  std::uint32_t* Row(int y) const
  {
    std::uint32_t* p = PixelData();
    if (!p) return nullptr;
    const std::ptrdiff_t span = RowSpan();
    return IsBottomUp() ? p + (static_cast<std::ptrdiff_t>(Height()) - 1 - y) * span
                        : p + static_cast<std::ptrdiff_t>(y) * span;
  }
  std::ptrdiff_t RowStride() const { return IsBottomUp() ? -std::ptrdiff_t(RowSpan()) : RowSpan(); }
};
