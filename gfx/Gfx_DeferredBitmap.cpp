#include "gfx/Gfx_DeferredBitmap.h"

#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_StretchBlit.h"

Gfx_DeferredBitmap::Gfx_DeferredBitmap(int width, int height, Maker maker)
    : mWidth(width > 0 ? width : 0), mHeight(height > 0 ? height : 0), mMaker(std::move(maker))
{
}

Gfx_DeferredBitmap::~Gfx_DeferredBitmap() = default;

const Gfx_IBitmap* Gfx_DeferredBitmap::Pixels() const
{
  if (mMade.load(std::memory_order_acquire)) return mMadeBitmap.get();
  std::lock_guard<std::mutex> lock(mLock);
  if (!mMade.load(std::memory_order_relaxed))
  {
    std::unique_ptr<Gfx_IBitmap> made;
    if (mMaker)
    {
      try
      {
        made = mMaker();
      }
      catch (...)
      {
        made.reset(); // out of memory while decoding: no pixels rather than a failed host
      }
    }
    if (made && (made->Width() != mWidth || made->Height() != mHeight || !made->PixelData())) made.reset();
    mMadeBitmap = std::move(made);
    mMaker = nullptr; // frees the source it held
    mMade.store(true, std::memory_order_release);
  }
  return mMadeBitmap.get();
}

std::uint32_t* Gfx_DeferredBitmap::PixelData() const
{
  const Gfx_IBitmap* b = Pixels();
  return b ? b->PixelData() : nullptr;
}

int Gfx_DeferredBitmap::RowSpan() const
{
  const Gfx_IBitmap* b = Pixels();
  return b ? b->RowSpan() : mWidth;
}

bool Gfx_DeferredBitmap::SetSize(int, int)
{
  return false;
}

Gfx_IBitmap* Gfx_MakeScaledBitmap(std::unique_ptr<Gfx_IBitmap> source, int width, int height)
{
  if (!source) return nullptr;
  if (source->Width() == width && source->Height() == height) return source.release();
  // The source (itself perhaps not decoded yet) is kept until the first draw, then dropped.
  std::shared_ptr<Gfx_IBitmap> held(std::move(source));
  return new Gfx_DeferredBitmap(width, height,
                                [held, width, height]() -> std::unique_ptr<Gfx_IBitmap>
                                {
                                  auto scaled = std::make_unique<Gfx_MemBitmap>(width, height);
                                  if (width > 0 && height > 0)
                                    Gfx_StretchBlit(scaled.get(), held.get(), 0, 0, width, height, 0.0f, 0.0f,
                                                    float(held->Width()), float(held->Height()), 1.0f);
                                  return scaled;
                                });
}
