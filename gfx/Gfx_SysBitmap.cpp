#include "gfx/Gfx_SysBitmap.h"

#include <cstdint>
#include <cstdlib>

namespace
{
constexpr std::size_t kAlignSlack = 63;
}

Gfx_SysBitmap::Gfx_SysBitmap(int width, int height)
{
  SetSize(width, height);
}

Gfx_SysBitmap::~Gfx_SysBitmap()
{
  std::free(raw_);
}

void Gfx_SysBitmap::Release()
{
  std::free(raw_);
  raw_ = nullptr;
  pixels_ = nullptr;
}

bool Gfx_SysBitmap::SetSize(int width, int height)
{
  if (width == width_ && height == height_) return false;
  if (width < 0 || height < 0 || width > Gfx_MaxBitmapSide || height > Gfx_MaxBitmapSide) return false;

  width_ = width;
  height_ = height;
  if (width != 0 && height != 0 && width <= allocatedWidth_ && height <= allocatedHeight_ && pixels_)
    return true;

  Release();
  allocatedWidth_ = (width + 3) & ~3;
  allocatedHeight_ = height;
  if (allocatedWidth_ == 0 || allocatedHeight_ == 0)
  {
    width_ = height_ = allocatedWidth_ = allocatedHeight_ = 0;
    return false;
  }
  const std::size_t bytes = std::size_t(allocatedWidth_) * std::size_t(allocatedHeight_) * 4;
  raw_ = std::calloc(1, bytes + kAlignSlack);
  if (!raw_)
  {
    width_ = height_ = allocatedWidth_ = allocatedHeight_ = 0;
    return true;
  }
  const auto p = reinterpret_cast<std::uintptr_t>(raw_);
  pixels_ = reinterpret_cast<std::uint32_t*>((p + kAlignSlack) & ~std::uintptr_t(kAlignSlack));
  return true;
}
