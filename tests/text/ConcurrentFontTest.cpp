#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/TextRasteriser.h"
#include "tests/text/TextTestUtil.h"

namespace
{

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
const char* const kText = "Cutoff 127 \xC3\xA9\xE2\x82\xAC \xCE\xA9 Osc";

std::unique_ptr<Gfx_CachedFont> OpenFont(int size, bool bold)
{
  auto font = std::make_unique<Gfx_CachedFont>();
  font->AttachFont(
      TextRasteriser::Default().OpenFont(TextFontRequest("Consolas", size, bold ? 700 : 400)).release(),
      FontOwnsHandle);
  font->SetTextColour(0xFF000000);
  return font;
}

std::vector<std::uint32_t> Draw(Gfx_CachedFont& font)
{
  Gfx_MemBitmap bmp(200, 30);
  texttest::Fill(bmp, kWhite);
  Gfx_Rect r{2, 2, 198, 28};
  font.DrawString(&bmp, kText, -1, &r, 0);
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < bmp.Height(); ++y)
    pixels.insert(pixels.end(), bmp.Row(y), bmp.Row(y) + bmp.Width());
  return pixels;
}

} // namespace

// Two plug-in instances may open and draw fonts on their own user-interface threads at once; the
// glyph render surface and the font back end are process-wide.
TEST(ConcurrentFonts, TwoThreadsOpenAndDrawFontsAtOnce)
{
  std::vector<std::vector<std::uint32_t>> want;
  for (int size : {11, 12, 13, 14})
    for (bool bold : {false, true})
    {
      auto font = OpenFont(size, bold);
      want.push_back(Draw(*font));
      ASSERT_NE(std::count(want.back().begin(), want.back().end(), kWhite),
                std::ptrdiff_t(want.back().size()));
    }

  // One font shared by both threads, as the process-wide font cache shares it.
  auto shared = OpenFont(12, false);
  const std::vector<std::uint32_t> sharedWant = Draw(*OpenFont(12, false));

  std::vector<int> mismatches(2, 0);
  auto work = [&](int t)
  {
    for (int round = 0; round < 6; ++round)
    {
      int i = 0;
      for (int size : {11, 12, 13, 14})
        for (bool bold : {false, true})
        {
          if ((i + t + round) % 2 == 0)
          {
            auto font = OpenFont(size, bold);
            mismatches[t] += Draw(*font) != want[i];
          }
          ++i;
        }
      mismatches[t] += Draw(*shared) != sharedWant;
    }
  };
  std::thread a(work, 0), b(work, 1);
  a.join();
  b.join();
  EXPECT_EQ(mismatches[0], 0);
  EXPECT_EQ(mismatches[1], 0);
}
