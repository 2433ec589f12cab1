// Skin images are decoded when first drawn: an editor built from the image table has read only the
// PNG headers, and what it draws equals the image decoded and scaled at once.
#include "GraphicsTestSupport.h"

#include "framework/graphics/BitmapCache.h"
#include "gfx/Gfx_DeferredBitmap.h"
#include "gfx/Gfx_PNG.h"
#include "gfx/Gfx_StretchBlit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
constexpr int kKnobId = 111; // the 128-frame knob strip of the image table

bool SamePixels(const Gfx_IBitmap& a, const Gfx_IBitmap& b)
{
  if (a.Width() != b.Width() || a.Height() != b.Height() || !a.PixelData() || !b.PixelData()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Row(y)[x] != b.Row(y)[x]) return false;
  return true;
}
} // namespace

TEST(DeferredBitmap, AnImageIsDecodedWhenFirstDrawnAndEqualsTheEagerDecode)
{
  const auto encoded = Gfx_ReadPNGResource(kKnobId);
  ASSERT_TRUE(encoded);
  for (const double scale : {1.0, 0.85, 1.15})
  {
    SCOPED_TRACE(scale);
    HostlessPlug plug;
    IGraphics g(&plug, 200, 200); // the base loader: the resource table
    const IBitmapStrip strip = g.LoadScaledBitmap(kKnobId, "resources/img/knob-velk-normal.png", scale, 128);
    ASSERT_NE(strip.bitmap, nullptr);
    const auto* deferred = dynamic_cast<const Gfx_DeferredBitmap*>(strip.bitmap);
    ASSERT_NE(deferred, nullptr);
    EXPECT_FALSE(deferred->Made()); // the size came from the header
    EXPECT_EQ(strip.width, int(encoded->Width() * scale));
    EXPECT_EQ(strip.height, int(encoded->Height() * scale));

    // What the editor did before: decode, then stretch into a bitmap of the scaled size.
    Gfx_MemBitmap eager(strip.width, strip.height);
    Gfx_StretchBlit(&eager, encoded.get(), 0, 0, strip.width, strip.height, 0.0f, 0.0f,
                    float(encoded->Width()), float(encoded->Height()), 1.0f);
    // Editors on two threads draw it first at once: one decode, the same pixels for both.
    std::atomic<int> same{0};
    std::vector<std::thread> drawers;
    for (int t = 0; t < 2; ++t)
      drawers.emplace_back([&] { same += SamePixels(*strip.bitmap, eager); });
    for (std::thread& t : drawers)
      t.join();
    EXPECT_EQ(same.load(), 2);
    EXPECT_TRUE(deferred->Made());
  }
  EXPECT_EQ(BitmapCache::Instance().References(kKnobId, 1.0), 0);
}

// A second editor at the same scale takes the bitmap the first one decoded; a source that is not a
// PNG, or decodes to another size, draws nothing.
TEST(DeferredBitmap, EditorsShareTheDecodedImageAndAFailedDecodeDrawsNothing)
{
  HostlessPlug plug;
  auto first = std::make_unique<IGraphics>(&plug, 100, 100);
  auto second = std::make_unique<IGraphics>(&plug, 100, 100);
  const IBitmapStrip a = first->LoadScaledBitmap(kKnobId, "knob.png", 1.0, 128);
  ASSERT_NE(a.bitmap, nullptr);
  ASSERT_NE(a.bitmap->PixelData(), nullptr);
  const IBitmapStrip b = second->LoadScaledBitmap(kKnobId, "knob.png", 1.0, 128);
  EXPECT_EQ(b.bitmap, a.bitmap);
  EXPECT_TRUE(dynamic_cast<const Gfx_DeferredBitmap*>(b.bitmap)->Made());
  first.reset();
  EXPECT_NE(b.bitmap->PixelData(), nullptr); // still held by the second editor
  second.reset();

  Gfx_DeferredBitmap wrongSize(10, 10, [] { return std::unique_ptr<Gfx_IBitmap>(new Gfx_MemBitmap(5, 5)); });
  EXPECT_EQ(wrongSize.Width(), 10);
  EXPECT_EQ(wrongSize.PixelData(), nullptr);
  EXPECT_TRUE(wrongSize.Made());
  Gfx_DeferredBitmap failing(10, 10, [] { return std::unique_ptr<Gfx_IBitmap>(); });
  EXPECT_EQ(failing.PixelData(), nullptr);
  EXPECT_FALSE(failing.SetSize(20, 20));

  const std::uint8_t notPng[24] = {'G', 'I', 'F', '8', '9', 'a'};
  int w = -1, h = -1;
  EXPECT_FALSE(Gfx_ReadPNGSize(notPng, sizeof notPng, &w, &h));
  EXPECT_EQ(Gfx_DeferPNGResource(987654), nullptr);
}
