#include "GraphicsTestSupport.h"

#include "framework/graphics/BitmapCache.h"
#include "framework/graphics/FontCache.h"
#include "framework/controls/IBitmapControl.h"
#include "gfx/Gfx_SysBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::vector<std::string> gLog;
void Capture(const char* line)
{
  gLog.push_back(line);
}
} // namespace

TEST(GraphicsCaches, BitmapsAreKeyedByIdAndScaleAndReferenceCounted)
{
  HostlessPlug plug;
  auto* normal = new TestGraphics(&plug);
  auto* large = new TestGraphics(&plug);
  normal->images[501] = {100, 40};
  large->images[501] = {100, 40};

  const IBitmapStrip a = normal->LoadScaledBitmap(501, "knob.png", 1.0, 2);
  const IBitmapStrip b = large->LoadScaledBitmap(501, "knob.png", 1.15, 2);
  ASSERT_NE(a.bitmap, nullptr);
  ASSERT_NE(b.bitmap, nullptr);
  EXPECT_NE(a.bitmap, b.bitmap);
  EXPECT_EQ(a.width, 100);
  EXPECT_EQ(b.width, 114); // truncated
  EXPECT_EQ(b.height, 46);
  EXPECT_EQ(b.frames, 2);
  EXPECT_FALSE(b.framesSideBySide);

  // Loaded once per key; a second editor at the same scale shares the bitmap.
  const IBitmapStrip again = normal->LoadScaledBitmap(501, "knob.png", 1.0, 2);
  EXPECT_EQ(again.bitmap, a.bitmap);
  EXPECT_EQ(normal->loads[501], 1);
  EXPECT_EQ(BitmapCache::Instance().References(501, 1.0), 1); // one per editor, not per load
  const IBitmapStrip shared = large->LoadScaledBitmap(501, "knob.png", 1.0, 2);
  EXPECT_EQ(shared.bitmap, a.bitmap);
  EXPECT_EQ(large->loads[501], 1);
  EXPECT_EQ(BitmapCache::Instance().References(501, 1.0), 2);

  // One editor going away frees nothing the other still draws.
  delete normal;
  EXPECT_EQ(BitmapCache::Instance().References(501, 1.0), 1);
  EXPECT_EQ(shared.bitmap->Width(), 100);
  delete large;
  EXPECT_EQ(BitmapCache::Instance().References(501, 1.0), 0);
  EXPECT_EQ(BitmapCache::Instance().References(501, 1.15), 0);
}

TEST(GraphicsCaches, MissingImagesAreEmptyStripsAndLogged)
{
  HostlessPlug plug;
  TestGraphics g(&plug, 50, 50);
  g.CreateDrawBitmaps();
  gLog.clear();
  IGraphics::SetLogSink(Capture);
  const IBitmapStrip missing = g.LoadScaledBitmap(777, "nothing.png", 1.0, 5);
  EXPECT_EQ(missing.bitmap, nullptr);
  EXPECT_EQ(missing.width, 0);
  EXPECT_EQ(missing.frames, 1);
  // Said when asked (an editor window opening), once per image and process.
  EXPECT_TRUE(gLog.empty());
  g.LoadScaledBitmap(777, "nothing.png", 1.0, 5);
  IGraphics::ReportMissingImages();
  IGraphics::ReportMissingImages();
  IGraphics::SetLogSink(nullptr);
  ASSERT_EQ(gLog.size(), 1u);
  EXPECT_EQ(gLog[0],
            "IGraphics: skin image 777 \"nothing.png\" is not built in; the editor draws without it");

  // A control of the empty strip draws nothing and fails nothing.
  auto* c = new IBitmapControl(&plug, 5, 5, -1, missing);
  g.AddControl(c);
  EXPECT_EQ(FramesUntilQuiet(g), 1);

  // The base loader takes only names ending in "png".
  EXPECT_EQ(g.IGraphics::LoadBitmapResource(1, "image.bmp"), nullptr);
  EXPECT_EQ(g.IGraphics::LoadBitmapResource(1, nullptr), nullptr);

  // A scale that is not a positive number gives an empty bitmap, not a crash.
  g.images[778] = {10, 10};
  const IBitmapStrip odd = g.LoadScaledBitmap(778, "odd.png", -2.0, 1);
  EXPECT_EQ(odd.width, 0);
  EXPECT_EQ(odd.height, 0);
}

TEST(GraphicsCaches, FontsAreSharedAcrossColoursAndTextIsMeasured)
{
  HostlessPlug plug;
  TestGraphics g(&plug, 200, 50);
  g.CreateDrawBitmaps();
  ITextStyle black("DejaVu Sans Mono", 12, IColour(255, 0, 0, 0));
  ITextStyle red("DejaVu Sans Mono", 12, IColour(255, 255, 0, 0));
  red.quality = ITextStyle::kQualityAntialiased;
  ITextStyle bold("DejaVu Sans Mono", 12, IColour(255, 0, 0, 0));
  bold.style = ITextStyle::kBold;
  Gfx_CachedFont* f1 = g.MakeCachedFont(&black);
  ASSERT_NE(f1, nullptr);
  EXPECT_EQ(g.MakeCachedFont(&red), f1);
  EXPECT_EQ(red.font, f1);
  EXPECT_NE(g.MakeCachedFont(&bold), f1);

  // Measuring moves the rectangle to the text's extent by the alignment.
  IRectangle left(10, 5, 190, 45);
  black.hAlign = ITextStyle::kAlignLeft;
  EXPECT_TRUE(g.MeasureText(&black, "Hello", &left));
  const int w = left.W();
  EXPECT_GT(w, 0);
  EXPECT_EQ(left.L, 10);
  EXPECT_GT(left.H(), 0);
  IRectangle centred(10, 5, 190, 45);
  black.hAlign = ITextStyle::kAlignCentre;
  g.MeasureText(&black, "Hello", &centred);
  EXPECT_EQ(centred.L, 100 - w / 2);
  EXPECT_EQ(centred.W(), w);
  IRectangle right(10, 5, 190, 45);
  black.hAlign = ITextStyle::kAlignRight;
  g.MeasureText(&black, "Hello", &right);
  EXPECT_EQ(right.L, 190 - w);

  // Drawing puts ink into the draw bitmap; an empty text draws nothing and succeeds.
  IRectangle box(0, 0, 200, 50);
  EXPECT_TRUE(g.DrawTextInRect(&black, "", &box));
  EXPECT_TRUE(g.DrawTextInRect(&black, nullptr, &box));
  bool ink = false;
  EXPECT_TRUE(g.DrawTextInRect(&black, "Hello", &box));
  for (int y = 0; y < 50 && !ink; ++y)
    for (int x = 0; x < 200 && !ink; ++x)
      ink = (g.DrawBitmapSurface()->Row(y)[x] >> 24) != 0;
  EXPECT_TRUE(ink);
}

// Two editors share one cached font for styles that differ only in colour; drawing at the same
// time must not give one editor's text the other's colour.
TEST(GraphicsCaches, SharedFontDrawsEachEditorsOwnColourAcrossThreads)
{
  auto run = [](IColour colour, uint32_t foreignMask, std::atomic<int>& foreignPixels)
  {
    HostlessPlug plug;
    TestGraphics g(&plug, 120, 30);
    g.CreateDrawBitmaps();
    ITextStyle style("DejaVu Sans Mono", 14, colour);
    for (int i = 0; i < 2000; ++i)
    {
      Gfx_SysBitmap* surface = g.DrawBitmapSurface();
      for (int y = 0; y < 30; ++y)
        std::fill(surface->Row(y), surface->Row(y) + 120, 0u);
      IRectangle box(0, 0, 120, 30);
      g.DrawTextInRect(&style, "HHHHHH", &box);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x)
          if (surface->Row(y)[x] & foreignMask) ++foreignPixels;
    }
  };
  std::atomic<int> foreign{0};
  std::thread red([&] { run(IColour(255, 255, 0, 0), 0x000000FFu, foreign); });
  std::thread blue([&] { run(IColour(255, 0, 0, 255), 0x00FF0000u, foreign); });
  red.join();
  blue.join();
  EXPECT_EQ(foreign.load(), 0);
}
