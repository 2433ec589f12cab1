#include "gfx/Gfx_MemBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace
{
constexpr std::size_t kAlignSlack = 63;

std::uint32_t* AlignedPixels(void* raw)
{
  const auto p = reinterpret_cast<std::uintptr_t>(raw);
  return reinterpret_cast<std::uint32_t*>((p + kAlignSlack) & ~std::uintptr_t(kAlignSlack));
}
} // namespace

Gfx_MemBitmap::Gfx_MemBitmap(int width, int height)
{
  if (width != 0 || height != 0) SetSize(width, height);
}

Gfx_MemBitmap::~Gfx_MemBitmap()
{
  std::free(raw_);
}

Gfx_MemBitmap::Gfx_MemBitmap(Gfx_MemBitmap&& other) noexcept
{
  *this = std::move(other);
}

Gfx_MemBitmap& Gfx_MemBitmap::operator=(Gfx_MemBitmap&& other) noexcept
{
  if (this != &other)
  {
    std::free(raw_);
    raw_ = std::exchange(other.raw_, nullptr);
    pixels_ = std::exchange(other.pixels_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    allocated_ = std::exchange(other.allocated_, 0);
  }
  return *this;
}

void Gfx_MemBitmap::Release()
{
  std::free(raw_);
  raw_ = nullptr;
  pixels_ = nullptr;
  allocated_ = 0;
}

bool Gfx_MemBitmap::SetSize(int width, int height)
{
  if (width == width_ && height == height_) return false;
  if (width < 0 || height < 0 || width > Gfx_MaxBitmapSide || height > Gfx_MaxBitmapSide) return false;

  width_ = width;
  height_ = height;
  const std::size_t needed = std::size_t((width + 3) & ~3) * std::size_t(height) * 4;
  if (needed == 0)
  {
    Release();
  }
  else if (needed > allocated_)
  {
    // Grow with headroom when replacing a block, so a bitmap that keeps growing a little does not
    // reallocate every time; a first allocation takes exactly what it needs.
    // When the headroom cannot be had, the exact size may still be.
    std::size_t want = raw_ ? needed + needed / 4 : needed;
    Release();
    raw_ = std::calloc(1, want + kAlignSlack);
    if (!raw_ && want != needed) raw_ = std::calloc(1, (want = needed) + kAlignSlack);
    if (raw_)
    {
      pixels_ = AlignedPixels(raw_);
      allocated_ = want;
    }
  }
  if (!raw_)
  {
    width_ = 0;
    height_ = 0;
  }
  return true;
}
