#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/SyntheticRasteriser.h"
#include "tests/text/TextTestUtil.h"

using texttest::Fill;
using texttest::Px;

namespace
{

std::unique_ptr<Gfx_CachedFont> MakeFont(SyntheticRasteriser& s, int height, uint32_t flags)
{
  auto f = std::make_unique<Gfx_CachedFont>();
  f->AttachFont(s.OpenFont(TextFontRequest("Consolas", height)).release(), flags | FontOwnsHandle);
  return f;
}

SyntheticGlyph Pixels(int advance, int width, std::vector<uint8_t> ink)
{
  SyntheticGlyph g;
  g.advance = advance;
  g.width = width;
  g.height = static_cast<int>(ink.size()) / width;
  g.ink = std::move(ink);
  return g;
}

// A glyph with single ink pixels of the given values at (x, y).
SyntheticGlyph Dots(int advance, std::initializer_list<std::array<int, 3>> dots)
{
  SyntheticGlyph g;
  g.advance = advance;
  for (auto& d : dots)
  {
    g.width = std::max(g.width, d[0] + 1);
    g.height = std::max(g.height, d[1] + 1);
  }
  g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
  for (auto& d : dots)
    g.ink[static_cast<size_t>(d[1]) * g.width + d[0]] = static_cast<uint8_t>(d[2]);
  return g;
}

std::vector<uint8_t> Map(const Gfx_CachedFont& f, uint32_t code)
{
  const Gfx_GlyphRecord* g = f.FindGlyph(code);
  if (!g || !f.GlyphCoverage(*g)) return {};
  const uint8_t* p = f.GlyphCoverage(*g);
  return std::vector<uint8_t>(p, p + static_cast<size_t>(g->width) * g->height);
}

uint8_t At(const std::vector<uint8_t>& map, int width, int x, int y)
{
  return map[static_cast<size_t>(y) * width + x];
}

} // namespace

TEST(GlyphCache, PrerenderFillsAsciiAtAttach)
{
  SyntheticRasteriser synth;
  auto font = MakeFont(synth, 16, FontPrerenderASCII);
  EXPECT_EQ(font->LineHeight(), 16);
  for (uint32_t c = 0; c < 128; ++c)
  {
    const Gfx_GlyphRecord* g = font->FindGlyph(c);
    ASSERT_NE(g, nullptr);
    EXPECT_NE(g->position, Gfx_GlyphRecord::kNotRendered) << c;
    if (c < 32 || c == 127)
    {
      EXPECT_EQ(g->position, Gfx_GlyphRecord::kEmpty) << c;
    }
  }
  // Printable characters, space included, were drawn once each.
  EXPECT_EQ(synth.RenderCount(), 95);
  const Gfx_GlyphRecord* a = font->FindGlyph('A');
  EXPECT_TRUE(a->HasCoverage());
  EXPECT_EQ(a->width, 8);
  EXPECT_EQ(a->height, 16);
  EXPECT_EQ(a->advance, 8);

  // Nothing beyond ASCII is ever rendered for such a font.
  EXPECT_FALSE(font->RenderGlyph(0xE9));
  EXPECT_EQ(font->ExtendedGlyphCount(), 0);
  Gfx_MemBitmap bmp(40, 20);
  Fill(bmp, 0xFFFFFFFF);
  Gfx_Rect r{0, 0, 40, 20};
  EXPECT_EQ(font->DrawString(&bmp, "\xC3\xA9", -1, &r, 0), 0);
  EXPECT_EQ(texttest::CountDiffering(bmp, 0xFFFFFFFF), 0);
  // Drawing ASCII renders nothing new.
  EXPECT_EQ(font->DrawString(&bmp, "AB", -1, &r, 0), 16);
  EXPECT_EQ(synth.RenderCount(), 95);
}

TEST(GlyphCache, ExtendedTableIsSortedAndReattachForgets)
{
  SyntheticRasteriser synth;
  auto font = MakeFont(synth, 12, 0);
  EXPECT_EQ(synth.RenderCount(), 0);
  EXPECT_EQ(font->FindGlyph('A')->position, Gfx_GlyphRecord::kNotRendered);

  for (uint32_t c : {0x3A9u, 0xE9u, 0x20ACu, 0x100u})
    EXPECT_TRUE(font->RenderGlyph(c));
  ASSERT_EQ(font->ExtendedGlyphCount(), 4);
  const uint32_t sorted[] = {0xE9, 0x100, 0x3A9, 0x20AC};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(font->ExtendedGlyph(i)->code, sorted[i]);
  for (uint32_t c : sorted)
  {
    ASSERT_NE(font->FindGlyph(c), nullptr);
    EXPECT_EQ(font->FindGlyph(c)->code, c);
  }
  EXPECT_EQ(font->FindGlyph(0xEA), nullptr);
  EXPECT_EQ(font->FindGlyph(0x10000), nullptr);
  EXPECT_FALSE(font->RenderGlyph(0x10000));

  // Drawing renders on first use only.
  Gfx_MemBitmap bmp(60, 20);
  Gfx_Rect r{0, 0, 60, 20};
  const int before = synth.RenderCount();
  font->DrawString(&bmp, "A\xC3\xA9\xC3\xA9", -1, &r, 0);
  EXPECT_EQ(synth.RenderCount(), before + 1);
  EXPECT_TRUE(font->FindGlyph('A')->HasCoverage());

  TextFont* handle = font->FontHandle();
  font->AttachFont(handle, FontOwnsHandle);
  EXPECT_EQ(font->FontHandle(), handle); // the same handle is kept, not deleted
  EXPECT_EQ(handle->LineHeight(), 12);
  EXPECT_EQ(font->FindGlyph('A')->position, Gfx_GlyphRecord::kNotRendered);
  EXPECT_EQ(font->ExtendedGlyphCount(), 0);
  EXPECT_EQ(font->FindGlyph(0xE9), nullptr);

  // Without a font nothing can be rendered.
  Gfx_CachedFont bare;
  EXPECT_FALSE(bare.RenderGlyph('A'));
  EXPECT_EQ(bare.DrawString(&bmp, "A", -1, &r, 0), 0);
}

TEST(GlyphCache, MissingCharactersDrawTheBoxOrNothing)
{
  SyntheticRasteriser synth;
  auto font = MakeFont(synth, 16, 0);
  ASSERT_TRUE(font->RenderGlyph(0x4E00));
  const auto box = Map(*font, 0x4E00);
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(At(box, 8, 1, 4), 255);
  EXPECT_EQ(At(box, 8, 3, 6), 0);

  synth.SetMissingGlyphBox(false);
  auto bare = MakeFont(synth, 16, 0);
  EXPECT_TRUE(bare->RenderGlyph(0x4E00));
  EXPECT_EQ(bare->FindGlyph(0x4E00)->position, Gfx_GlyphRecord::kEmpty);
  Gfx_MemBitmap bmp(30, 20);
  Fill(bmp, 0xFFFFFFFF);
  Gfx_Rect r{0, 0, 30, 20};
  EXPECT_EQ(bare->DrawString(&bmp, "\xE4\xB8\x80", -1, &r, 0), 0);
  EXPECT_EQ(texttest::CountDiffering(bmp, 0xFFFFFFFF), 0);
}

TEST(GlyphCache, WidthFollowsInkBeyondTheAdvance)
{
  SyntheticRasteriser synth;
  // Line height 16: the allowance beyond the advance is 16 / 16 + 2 = 3 pixels.
  synth.DefineGlyph('f', SyntheticGlyph::FromRows(4, 2, 3, {"########"})); // ink to column 9
  synth.DefineGlyph('g', SyntheticGlyph::FromRows(4, 5, 3, {"#"}));        // one column over
  synth.DefineGlyph('i', SyntheticGlyph::FromRows(6, 1, 3, {"#"}));        // inside the advance
  synth.DefineGlyph('z', SyntheticGlyph::FromRows(0, 0, 0, {"##"}));       // no advance
  auto font = MakeFont(synth, 16, FontPrerenderASCII);
  EXPECT_EQ(font->FindGlyph('f')->width, 7);
  EXPECT_EQ(font->FindGlyph('f')->advance, 4);
  EXPECT_EQ(font->FindGlyph('g')->width, 6);
  EXPECT_EQ(font->FindGlyph('i')->width, 6);
  EXPECT_EQ(font->FindGlyph('i')->height, 16);
  EXPECT_EQ(font->FindGlyph('z')->position, Gfx_GlyphRecord::kEmpty);

  // Below a line height of 16 the allowance is 2.
  auto small = MakeFont(synth, 10, FontPrerenderASCII);
  EXPECT_EQ(small->FindGlyph('f')->width, 6);
  // The overhang is kept in the map.
  const auto f = Map(*small, 'f');
  EXPECT_EQ(At(f, 6, 5, 3), 255);

  // Line heights of 1024 and more are not rendered.
  auto huge = MakeFont(synth, 1024, 0);
  EXPECT_FALSE(huge->RenderGlyph('A'));
}

TEST(GlyphCache, MonoThresholdAndInversion)
{
  SyntheticRasteriser synth;
  synth.DefineGlyph('m', Pixels(5, 5, {0, 130, 131, 200, 255}));
  auto plain = MakeFont(synth, 8, 0);
  auto mono = MakeFont(synth, 8, FontMono);
  auto inv = MakeFont(synth, 8, FontInverted);
  ASSERT_TRUE(plain->RenderGlyph('m') && mono->RenderGlyph('m') && inv->RenderGlyph('m'));
  const auto p = Map(*plain, 'm'), m = Map(*mono, 'm'), i = Map(*inv, 'm');
  const uint8_t wantPlain[] = {0, 130, 131, 200, 255};
  const uint8_t wantMono[] = {0, 0, 255, 255, 255};
  for (int x = 0; x < 5; ++x)
  {
    EXPECT_EQ(At(p, 5, x, 0), wantPlain[x]);
    EXPECT_EQ(At(m, 5, x, 0), wantMono[x]);
    EXPECT_EQ(At(i, 5, x, 0), 255 - wantPlain[x]);
  }
  EXPECT_EQ(At(i, 5, 0, 7), 255);
}

TEST(GlyphCache, OutlineAndShadowShapes)
{
  SyntheticRasteriser synth;
  // A lone ink pixel, and a faint one that the threshold removes.
  synth.DefineGlyph('o', Dots(8, {{3, 5, 255}, {6, 9, 130}}));
  auto outline = MakeFont(synth, 12, FontOutline);
  auto shadow = MakeFont(synth, 12, FontShadow);
  auto both = MakeFont(synth, 12, FontShadow | FontOutline);
  auto monoOutline = MakeFont(synth, 12, FontMono | FontOutline);
  for (auto* f : {outline.get(), shadow.get(), both.get(), monoOutline.get()})
    ASSERT_TRUE(f->RenderGlyph('o'));

  auto check = [](const std::vector<uint8_t>& map, std::initializer_list<std::array<int, 2>> marks)
  {
    ASSERT_EQ(map.size(), 8u * 12u);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 8; ++x)
      {
        int want = (x == 3 && y == 5) ? 255 : 0;
        for (auto& m : marks)
          if (m[0] == x && m[1] == y) want = 128;
        EXPECT_EQ(At(map, 8, x, y), want) << x << "," << y;
      }
  };
  check(Map(*outline, 'o'), {{3, 4}, {3, 6}, {2, 5}, {4, 5}});
  check(Map(*shadow, 'o'), {{4, 5}, {4, 6}, {3, 6}});
  check(Map(*both, 'o'), {{4, 5}, {4, 6}, {3, 6}});
  check(Map(*monoOutline, 'o'), {});
}

TEST(GlyphCache, VerticalFontsTurnTheMap)
{
  SyntheticRasteriser synth;
  synth.DefineGlyph('v', Dots(7, {{0, 0, 255}, {5, 2, 200}}));
  auto down = MakeFont(synth, 12, FontVertical);
  auto up = MakeFont(synth, 12, FontVertical | FontVerticalUp);
  ASSERT_TRUE(down->RenderGlyph('v') && up->RenderGlyph('v'));
  for (auto* f : {down.get(), up.get()})
  {
    const Gfx_GlyphRecord* g = f->FindGlyph('v');
    EXPECT_EQ(g->width, 12);
    EXPECT_EQ(g->height, 7);
    EXPECT_EQ(g->advance, 7);
  }
  auto ink = [](const std::vector<uint8_t>& map)
  {
    std::vector<std::array<int, 3>> out;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 12; ++x)
        if (At(map, 12, x, y)) out.push_back({x, y, At(map, 12, x, y)});
    return out;
  };
  // Downward: new (row r, column c) = old (row 11 - c, column r).
  EXPECT_EQ(ink(Map(*down, 'v')), (std::vector<std::array<int, 3>>{{11, 0, 255}, {9, 5, 200}}));
  // Upward: new (row r, column c) = old (row c, column 6 - r).
  EXPECT_EQ(ink(Map(*up, 'v')), (std::vector<std::array<int, 3>>{{2, 1, 200}, {0, 6, 255}}));
}

TEST(GlyphSmoothing, FilterReadsUnfilteredNeighbours)
{
  std::mt19937 rng(7);
  Gfx_MemBitmap bmp(9, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x)
      bmp.Row(y)[x] = rng();
  std::vector<uint32_t> before;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x)
      before.push_back(bmp.Row(y)[x]);
  auto orig = [&](int x, int y, int ch) { return static_cast<int>((before[y * 9 + x] >> (8 * ch)) & 0xFF); };

  const int w = 7, h = 5;
  Gfx_SmoothGlyphArea(&bmp, w, h);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x)
      for (int ch = 0; ch < 4; ++ch)
      {
        int want = orig(x, y, ch);
        if (x < w && y < h)
        {
          auto pair = [&](bool hasA, int a, bool hasB, int b)
          { return hasA && hasB ? (a >> 3) + (b >> 3) : ((hasA ? a : b) >> 2); };
          want = (orig(x, y, ch) >> 1) +
                 pair(x > 0, x > 0 ? orig(x - 1, y, ch) : 0, x + 1 < w, x + 1 < w ? orig(x + 1, y, ch) : 0) +
                 pair(y > 0, y > 0 ? orig(x, y - 1, ch) : 0, y + 1 < h, y + 1 < h ? orig(x, y + 1, ch) : 0);
        }
        ASSERT_EQ(static_cast<int>((bmp.Row(y)[x] >> (8 * ch)) & 0xFF), want)
            << x << "," << y << " ch " << ch;
      }

  // Below 2 x 2 nothing changes; a size beyond the bitmap is clamped.
  Gfx_MemBitmap line(5, 1);
  Fill(line, 0x12345678);
  Gfx_SmoothGlyphArea(&line, 5, 1);
  EXPECT_EQ(Px(line, 2, 0), 0x12345678u);
  Gfx_MemBitmap two(2, 2);
  Fill(two, 0);
  two.Row(0)[0] = 0xFFFFFFFF;
  Gfx_SmoothGlyphArea(&two, 100, 100);
  EXPECT_EQ(Px(two, 0, 0), 0x7F7F7F7Fu);
  EXPECT_EQ(Px(two, 1, 0), 0x3F3F3F3Fu);
  EXPECT_EQ(Px(two, 1, 1), 0u);

  // A smoothed font softens a lone pixel into a plus shape.
  SyntheticRasteriser synth;
  synth.DefineGlyph('s', Dots(8, {{3, 5, 255}}));
  auto font = MakeFont(synth, 12, FontSmooth);
  ASSERT_TRUE(font->RenderGlyph('s'));
  const auto map = Map(*font, 's');
  EXPECT_EQ(At(map, 8, 3, 5), 127);
  EXPECT_EQ(At(map, 8, 2, 5), 31);
  EXPECT_EQ(At(map, 8, 4, 5), 31);
  EXPECT_EQ(At(map, 8, 3, 4), 31);
  EXPECT_EQ(At(map, 8, 3, 6), 31);
  EXPECT_EQ(At(map, 8, 4, 4), 0);
}

namespace
{

// d' = k + (d - k) x (256 - a) / 256 per channel, the alpha channel drawn toward 255.
uint32_t CopyBlend(uint32_t d, uint32_t colour, int a)
{
  uint32_t out = 0;
  for (int ch = 0; ch < 4; ++ch)
  {
    const int dc = (d >> (8 * ch)) & 0xFF;
    const int k = ch == 3 ? 255 : static_cast<int>((colour >> (8 * ch)) & 0xFF);
    out |= static_cast<uint32_t>((k + (dc - k) * (256 - a) / 256) & 0xFF) << (8 * ch);
  }
  return out;
}

} // namespace

TEST(GlyphDrawing, AntialiasedOpacity)
{
  SyntheticRasteriser synth;
  synth.DefineGlyph('a', Pixels(4, 4, {255, 1, 128, 0}));
  auto font = MakeFont(synth, 4, 0);
  ASSERT_TRUE(font->RenderGlyph('a'));
  const uint32_t dest = 0xFF102030, text = 0xFF8040C0;
  font->SetTextColour(text);
  Gfx_MemBitmap bmp(8, 4);
  const Gfx_Rect all{0, 0, 8, 4};

  Fill(bmp, dest);
  EXPECT_TRUE(font->DrawGlyph(&bmp, 'a', 0, 0, all));
  EXPECT_EQ(Px(bmp, 0, 0), text); // full coverage: weight 0 on the destination
  EXPECT_EQ(Px(bmp, 1, 0), CopyBlend(dest, text, 2));
  EXPECT_EQ(Px(bmp, 2, 0), CopyBlend(dest, text, 129));
  EXPECT_EQ(Px(bmp, 3, 0), dest);
  EXPECT_EQ(Px(bmp, 0, 1), dest);
  // Coverage 1 moves each channel by about 2/256 of the distance.
  EXPECT_LE(std::abs(static_cast<int>(Px(bmp, 1, 0) & 0xFF) - 0x30), 2);

  // Half opacity: a = c x 128 / 256.
  Fill(bmp, dest);
  font->SetBlend(BlendCopy, 0.5f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  EXPECT_EQ(Px(bmp, 0, 0), CopyBlend(dest, text, 127));
  EXPECT_EQ(Px(bmp, 1, 0), dest);
  EXPECT_EQ(Px(bmp, 2, 0), CopyBlend(dest, text, 64));

  // Add: d' = clamp(d + k x a / 256); the alpha source is 255.
  Fill(bmp, 0x80F01010);
  font->SetBlend(BlendAdd, 1.0f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  EXPECT_EQ(Px(bmp, 0, 0), 0xFFFF5000u | (0x10 + 0xC0));

  // The source-alpha bit is ignored; modes above 5 draw nothing.
  Fill(bmp, dest);
  font->SetBlend(BlendCopy | BlendSourceAlpha, 1.0f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  EXPECT_EQ(Px(bmp, 0, 0), text);
  Fill(bmp, dest);
  font->SetBlend(6, 1.0f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  font->SetBlend(BlendChannelCopy, 1.0f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  EXPECT_EQ(texttest::CountDiffering(bmp, dest), 0);
  font->SetBlend(BlendCopy, 0.0f);
  font->DrawGlyph(&bmp, 'a', 0, 0, all);
  EXPECT_EQ(texttest::CountDiffering(bmp, dest), 0);
}

TEST(GlyphDrawing, MonoAndEffectKinds)
{
  SyntheticRasteriser synth;
  synth.DefineGlyph('o', Dots(4, {{1, 1, 255}, {3, 3, 100}}));
  auto mono = MakeFont(synth, 4, FontMono);
  auto outline = MakeFont(synth, 4, FontOutline);
  const uint32_t dest = 0xFF000000;
  Gfx_MemBitmap bmp(4, 4);
  const Gfx_Rect all{0, 0, 4, 4};

  // Full opacity copy stores the whole colour word, its alpha byte included.
  mono->SetTextColour(0x80FF0000);
  ASSERT_TRUE(mono->RenderGlyph('o'));
  Fill(bmp, dest);
  mono->DrawGlyph(&bmp, 'o', 0, 0, all);
  EXPECT_EQ(Px(bmp, 1, 1), 0x80FF0000u);
  EXPECT_EQ(texttest::CountDiffering(bmp, dest), 1); // the faint pixel fell under the threshold

  // Other opacities blend the mono colour at ia, alpha drawn toward 255.
  Fill(bmp, dest);
  mono->SetBlend(BlendCopy, 0.5f);
  mono->DrawGlyph(&bmp, 'o', 0, 0, all);
  EXPECT_EQ(Px(bmp, 1, 1), CopyBlend(dest, 0x80FF0000, 128));

  ASSERT_TRUE(outline->RenderGlyph('o'));
  outline->SetTextColour(0xFF0000FF);
  outline->SetEffectColour(0xFF00FF00);
  Fill(bmp, dest);
  outline->DrawGlyph(&bmp, 'o', 0, 0, all);
  EXPECT_EQ(Px(bmp, 1, 1), 0xFF0000FFu);
  EXPECT_EQ(Px(bmp, 1, 0), 0xFF00FF00u);
  EXPECT_EQ(Px(bmp, 0, 1), 0xFF00FF00u);
  EXPECT_EQ(Px(bmp, 0, 0), dest);
  Fill(bmp, dest);
  outline->SetBlend(BlendCopy, 0.25f);
  outline->DrawGlyph(&bmp, 'o', 0, 0, all);
  EXPECT_EQ(Px(bmp, 1, 1), CopyBlend(dest, 0xFF0000FF, 64));
  EXPECT_EQ(Px(bmp, 2, 1), CopyBlend(dest, 0xFF00FF00, 64));
}

TEST(GlyphDrawing, BackgroundFillsEachClippedCell)
{
  SyntheticRasteriser synth;
  auto font = MakeFont(synth, 10, 0); // built-in 'A': advance 5, cell 5 x 10
  font->SetTextColour(0xFF000000);
  font->SetBackColour(0xFF00FF00);
  EXPECT_EQ(font->SetBackMode(2), 1);
  const uint32_t white = 0xFFFFFFFF, green = 0xFF00FF00;
  Gfx_MemBitmap bmp(40, 20);
  Fill(bmp, white);
  Gfx_Rect r{2, 3, 40, 20};
  EXPECT_EQ(font->DrawString(&bmp, "AA", -1, &r, 0), 10);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
    {
      const bool inCells = x >= 2 && x < 12 && y >= 3 && y < 13;
      if (!inCells)
        EXPECT_EQ(Px(bmp, x, y), white) << x << "," << y;
      else
        EXPECT_NE(Px(bmp, x, y), white) << x << "," << y;
    }
  EXPECT_EQ(Px(bmp, 2, 3), green); // cell corner, no ink
  // Ink of the built-in box: ascent 8, cap 5, so cell rows 3 to 7, columns 1 to 3.
  EXPECT_EQ(Px(bmp, 3, 6), 0xFF000000u);
  EXPECT_EQ(Px(bmp, 3, 12), green);

  // A clip that cuts the first cell fills only its visible part.
  Fill(bmp, white);
  Gfx_Rect narrow{2, 3, 5, 8};
  font->DrawString(&bmp, "AA", -1, &narrow, 0);
  const texttest::Box box = texttest::InkBox(bmp, white);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.top, 3);
  EXPECT_EQ(box.right, 5);
  EXPECT_EQ(box.bottom, 8);

  // Transparent mode leaves the cell alone.
  font->SetBackMode(1);
  Fill(bmp, white);
  font->DrawString(&bmp, "A", -1, &r, 0);
  EXPECT_EQ(Px(bmp, 2, 3), white);
}

TEST(GlyphDrawing, EveryModeAndKind)
{
  SyntheticRasteriser synth;
  synth.DefineGlyph('a', Pixels(4, 4, {255, 1, 128, 0}));
  const uint32_t dest = 0xC0306090, text = 0xFF20C040, effect = 0xFFE01008;
  const int kinds[] = {0, FontMono, FontOutline};

  // The mode's formula on every channel at opacity a, the colour as source and 255 for alpha.
  auto expected = [](int mode, uint32_t d, uint32_t k, int a)
  {
    const int r = (k >> 16) & 0xFF, g = (k >> 8) & 0xFF, b = k & 0xFF;
    uint32_t p = d;
    if (mode == BlendDodge)
      Gfx_DodgePixel(&p, r, g, b, 255, a);
    else if (mode == BlendOverlay)
      Gfx_OverlayPixel(&p, r, g, b, 255, a);
    else if (mode == BlendHSVAdjust)
      Gfx_AdjustPixelHSV(&p, r, g, b, 255, a);
    else
    {
      p = 0;
      for (int ch = 0; ch < 4; ++ch)
      {
        const int dc = (d >> (8 * ch)) & 0xFF, kc = ch == 3 ? 255 : static_cast<int>((k >> (8 * ch)) & 0xFF);
        const int v =
            mode == BlendAdd ? std::min(dc + kc * a / 256, 255) : ((kc - 256) * a + 65536) * dc / 65536;
        p |= static_cast<uint32_t>(v) << (8 * ch);
      }
    }
    return p;
  };

  for (int kind : kinds)
  {
    auto font = MakeFont(synth, 4, static_cast<uint32_t>(kind));
    font->SetTextColour(text);
    font->SetEffectColour(effect);
    ASSERT_TRUE(font->RenderGlyph('a'));
    const auto map = Map(*font, 'a');
    for (int mode : {BlendAdd, BlendDodge, BlendMultiply, BlendOverlay, BlendHSVAdjust})
      for (float alpha : {1.0f, 0.6f})
      {
        const int ia = static_cast<int>(alpha * 256.0);
        font->SetBlend(mode, alpha);
        Gfx_MemBitmap bmp(4, 4);
        Fill(bmp, dest);
        font->DrawGlyph(&bmp, 'a', 0, 0, Gfx_Rect{0, 0, 4, 4});
        for (int y = 0; y < 4; ++y)
          for (int x = 0; x < 4; ++x)
          {
            const int c = At(map, 4, x, y);
            uint32_t want = dest;
            if (c != 0 && kind == 0)
              want = expected(mode, dest, text, ia == 256 ? c + 1 : std::min(c * ia / 256, 256));
            else if (c != 0)
              want = expected(mode, dest, c == 255 ? text : effect, ia);
            EXPECT_EQ(Px(bmp, x, y), want)
                << "kind " << kind << " mode " << mode << " alpha " << alpha << " at " << x << "," << y;
          }
      }
  }
}
