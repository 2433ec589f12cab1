#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/FreeTypeRasteriser.h"
#include "gfx/Gfx_PNGWrite.h"
#include "tests/text/TextTestUtil.h"

namespace
{

constexpr uint32_t kWhite = 0xFFFFFFFF;

// Columns holding ink, counted as runs: separate letters give separate runs.
int InkRuns(const Gfx_IBitmap& b, const texttest::Box& box)
{
  int runs = 0;
  bool inRun = false;
  for (int x = box.left; x < box.right; ++x)
  {
    bool ink = false;
    for (int y = box.top; y < box.bottom && !ink; ++y)
      ink = (b.Row(y)[x] & 0xFF) < 128;
    runs += ink && !inRun;
    inRun = ink;
  }
  return runs;
}

} // namespace

TEST(FreeTypeText, EditorSizesAreLegibleAndInsideTheMeasuredBox)
{
  FreeTypeRasteriser ft;
  const std::string out = std::string(VELK_BINARY_DIR) + "/text";
  std::error_code ec;
  std::filesystem::create_directories(out, ec);

  const char* text = "Filter Cutoff 127 \xC3\xA9 Osc 1";
  for (int size : {10, 12, 14, 16, 20})
  {
    for (int style = 0; style < 3; ++style)
    {
      SCOPED_TRACE("size " + std::to_string(size) + " style " + std::to_string(style));
      Gfx_CachedFont font;
      font.AttachFont(
          ft.OpenFont(TextFontRequest("Consolas", size, style == 1 ? 700 : 400, style == 2, 3)).release(),
          FontOwnsHandle | FontPreferNative);
      font.SetTextColour(0xFF000000);
      EXPECT_EQ(font.LineHeight(), size);

      Gfx_Rect measured{8, 6, 8, 6};
      const int h = font.DrawString(nullptr, text, -1, &measured, DT_CALCRECT);
      EXPECT_EQ(h, measured.bottom - measured.top);
      EXPECT_EQ(h, size);
      const int w = measured.right - measured.left;
      EXPECT_GT(w, 20 * size / 3); // 24 characters of a monospace face at least a third of the height wide
      EXPECT_LT(w, 24 * size);

      Gfx_MemBitmap bmp(w + 16, size + 12);
      texttest::Fill(bmp, kWhite);
      Gfx_Rect r{8, 6, 8 + w, 6 + size};
      EXPECT_EQ(font.DrawString(&bmp, text, -1, &r, DT_NOCLIP), size);
      const std::string png =
          out + "/freetype_" + std::to_string(size) + "_" + std::to_string(style) + ".png";
      EXPECT_TRUE(Gfx_WritePNGFile(png.c_str(), bmp)) << png;

      const texttest::Box ink = texttest::InkBox(bmp, kWhite);
      ASSERT_FALSE(ink.empty);
      EXPECT_GE(ink.left, measured.left);
      EXPECT_GE(ink.top, measured.top);
      EXPECT_LE(ink.right, measured.right);
      EXPECT_LE(ink.bottom, measured.bottom);
      // Capitals and the descent-free digits fill at least half the line.
      EXPECT_GE(ink.bottom - ink.top, size / 2);
      // Letters stay apart (runs of ink separated by blank columns) and are dark, not smeared.
      EXPECT_GE(InkRuns(bmp, ink), 12);
      int dark = 0;
      for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x)
          dark += (bmp.Row(y)[x] & 0xFF) < 64;
      EXPECT_GT(dark, 3 * 20);
    }
  }
}

TEST(FreeTypeText, DistinctLettersDrawDistinctGlyphs)
{
  FreeTypeRasteriser ft;
  Gfx_CachedFont font;
  font.AttachFont(ft.OpenFont(TextFontRequest("Consolas", 12)).release(),
                  FontOwnsHandle | FontPrerenderASCII);
  const char* letters = "0O1lI8B";
  for (int i = 0; letters[i]; ++i)
    for (int j = i + 1; letters[j]; ++j)
    {
      const Gfx_GlyphRecord* a = font.FindGlyph(static_cast<unsigned char>(letters[i]));
      const Gfx_GlyphRecord* b = font.FindGlyph(static_cast<unsigned char>(letters[j]));
      ASSERT_TRUE(a->HasCoverage() && b->HasCoverage());
      ASSERT_EQ(a->width * a->height, b->width * b->height);
      EXPECT_NE(0, std::memcmp(font.GlyphCoverage(*a), font.GlyphCoverage(*b), a->width * a->height))
          << letters[i] << " and " << letters[j];
    }
}
