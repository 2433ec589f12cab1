#pragma once

#include "gfx/Gfx_IBitmap.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// A bitmap whose size is known at once and whose pixels are made when first asked for: a skin
// image is decoded (and scaled) when it is first drawn, not when the plug-in is built. The maker
// runs once, under the bitmap's own lock, so editors on several threads may draw it; it is dropped
// afterwards with whatever it held (an encoded or unscaled source). A maker that fails, or makes a
// bitmap of another size, leaves the bitmap without pixels: every operation then draws nothing.
class Gfx_DeferredBitmap final : public Gfx_IBitmap
{
public:
  using Maker = std::function<std::unique_ptr<Gfx_IBitmap>()>;

  Gfx_DeferredBitmap(int width, int height, Maker maker);
  ~Gfx_DeferredBitmap() override;
  Gfx_DeferredBitmap(const Gfx_DeferredBitmap&) = delete;
  Gfx_DeferredBitmap& operator=(const Gfx_DeferredBitmap&) = delete;

  // Makes the pixels on the first call.
  std::uint32_t* PixelData() const override;
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override;
  // The size is fixed: false.
  bool SetSize(int width, int height) override;

  // Whether the maker has run (for tests and the caches' accounting).
  bool Made() const { return mMade.load(std::memory_order_acquire); }

private:
  const Gfx_IBitmap* Pixels() const;

  const int mWidth;
  const int mHeight;
  mutable std::mutex mLock;
  mutable Maker mMaker;
  mutable std::unique_ptr<Gfx_IBitmap> mMadeBitmap;
  mutable std::atomic<bool> mMade{false};
};

// A bitmap of width x height that is the source stretched to that size (filtered, alpha 1.0) when
// first drawn; the source itself when it already has that size. Takes the source.
Gfx_IBitmap* Gfx_MakeScaledBitmap(std::unique_ptr<Gfx_IBitmap> source, int width, int height);
