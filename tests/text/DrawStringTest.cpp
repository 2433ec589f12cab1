#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/SyntheticRasteriser.h"
#include "tests/text/TextTestUtil.h"

using texttest::Box;
using texttest::Fill;
using texttest::InkBox;
using texttest::Px;

namespace
{

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr int kLine = 8;

// Ink over the whole cell, so that a glyph's ink box is its cell.
SyntheticGlyph Block(int advance, char ink = '#')
{
  SyntheticGlyph g;
  g.advance = advance;
  g.width = advance;
  g.height = kLine;
  g.ink.assign(static_cast<size_t>(advance) * kLine, ink == '#' ? 255 : 128);
  return g;
}

class DrawStringTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    synth.DefineGlyph('a', Block(3));
    synth.DefineGlyph('b', Block(4, '+'));
    synth.DefineGlyph(' ', SyntheticGlyph::FromRows(2, 0, 0, {}));
    synth.DefineGlyph(0xE9, Block(5));
    synth.DefineGlyph(0x20AC, Block(6));
    synth.DefineGlyph(0xFFFD, Block(9));
    synth.DefineGlyph(0xC3, Block(7));
    synth.DefineGlyph(0xC0, Block(1));
    font = Make(0);
    bmp.SetSize(120, 50);
    Fill(bmp, kWhite);
  }

  std::unique_ptr<Gfx_CachedFont> Make(uint32_t flags)
  {
    auto f = std::make_unique<Gfx_CachedFont>();
    f->AttachFont(synth.OpenFont(TextFontRequest("Consolas", kLine)).release(), flags | FontOwnsHandle);
    f->SetTextColour(kBlack);
    return f;
  }

  // Width and height measured for a text.
  std::pair<int, int> Measure(const char* text, int length = -1, uint32_t flags = 0,
                              Gfx_CachedFont* f = nullptr)
  {
    Gfx_Rect r{5, 7, 5, 7};
    const int result = (f ? f : font.get())->DrawString(nullptr, text, length, &r, flags | DT_CALCRECT);
    EXPECT_EQ(result, (f ? f : font.get())->Flags() & FontVertical ? r.right - 5 : r.bottom - 7);
    return {r.right - 5, r.bottom - 7};
  }

  SyntheticRasteriser synth;
  std::unique_ptr<Gfx_CachedFont> font;
  Gfx_MemBitmap bmp;
};

} // namespace

TEST(Utf8Decoding, SequencesAndInvalidBytes)
{
  struct Case
  {
    const char* text;
    int available;
    uint16_t code;
    int used;
  } cases[] = {
      {"\xC3\xA9", -1, 0xE9, 2},
      {"\xC3\xC0", -1, 0xC3, 1}, // C0 is no continuation byte
      {"\xC0", -1, 0xC0, 1},
      {"\xC1\x81", -1, 0xC1, 1},
      {"\xE2\x82\xAC", -1, 0x20AC, 3},
      {"\xEF\xBF\xBD", -1, 0xFFFD, 3},
      {"\xE2\x82", -1, 0xE2, 1}, // cut by the terminator
      {"\xF0\x9F\x98\x80", -1, 32, 4},
      {"\xF4\x8F\xBF\xBF", -1, 32, 4},
      {"\xF5\x80\x80\x80", -1, 0xF5, 1},
      {"\x80", -1, 0x80, 1},
      {"A", -1, 'A', 1},
      {"\xC3\xA9", 1, 0xC3, 1}, // the length ends inside the sequence
      {"\xE2\x82\xAC", 2, 0xE2, 1},
      {"\xE2\x82\xAC", 3, 0x20AC, 3},
  };
  for (const Case& c : cases)
  {
    int used = 0;
    EXPECT_EQ(Gfx_DecodeUTF8Char(c.text, c.available, &used), c.code) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
}

TEST_F(DrawStringTest, MeasuresDecodedCharacters)
{
  EXPECT_EQ(Measure("a\xC3\xA9"
                    "b"),
            std::make_pair(3 + 5 + 4, kLine));
  EXPECT_EQ(Measure("\xE2\x82\xAC"), std::make_pair(6, kLine));
  EXPECT_EQ(Measure("\xF0\x9F\x98\x80"
                    "a"),
            std::make_pair(2 + 3, kLine));
  // An invalid continuation: both bytes are characters of their own.
  EXPECT_EQ(Measure("\xC3\xC0"), std::make_pair(7 + 1, kLine));
  ASSERT_NE(font->FindGlyph(0xC3), nullptr);
  ASSERT_NE(font->FindGlyph(0xC0), nullptr);
  EXPECT_EQ(font->FindGlyph(0xC3 << 6), nullptr);

  // Lengths: 0 is nothing, a positive length limits the bytes, negative reads to the end.
  EXPECT_EQ(Measure("ababab", 0), std::make_pair(0, 0));
  EXPECT_EQ(Measure("ababab", 3), std::make_pair(3 + 4 + 3, kLine));
  EXPECT_EQ(Measure("ab\0ab", 5), std::make_pair(3 + 4, kLine));
  EXPECT_EQ(Measure("\xC3\xA9", 1), std::make_pair(7, kLine));
  EXPECT_EQ(Measure(""), std::make_pair(0, 0));

  // A null bitmap measures with DT_CALCRECT and does nothing without it.
  Gfx_Rect r{0, 0, 0, 0};
  EXPECT_EQ(font->DrawString(nullptr, "ab", -1, &r, 0), 0);
  EXPECT_EQ(font->DrawString(&bmp, nullptr, -1, &r, 0), 0);
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, nullptr, 0), 0);
}

TEST_F(DrawStringTest, CarriageReturnAndLineFeed)
{
  EXPECT_EQ(Measure("a\rb"), std::make_pair(7, kLine));
  EXPECT_EQ(Measure("a\r\nb", -1, DT_SINGLELINE), std::make_pair(3 + 2 + 4, kLine));
  EXPECT_EQ(Measure("a\r\nb"), std::make_pair(4, 2 * kLine));

  // One line: a, a space, b.
  Gfx_Rect r{10, 5, 110, 45};
  EXPECT_EQ(font->DrawString(&bmp, "a\r\nb", -1, &r, DT_SINGLELINE), kLine);
  Box box = InkBox(bmp, kWhite);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.right, 19);
  EXPECT_EQ(box.bottom, 5 + kLine);
  EXPECT_EQ(Px(bmp, 13, 6), kWhite); // the space
  EXPECT_NE(Px(bmp, 15, 6), kWhite);

  // Two lines: b starts the next line at the starting x.
  Fill(bmp, kWhite);
  EXPECT_EQ(font->DrawString(&bmp, "a\r\nb", -1, &r, 0), 2 * kLine);
  box = InkBox(bmp, kWhite);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 5);
  EXPECT_EQ(box.right, 14);
  EXPECT_EQ(box.bottom, 5 + 2 * kLine);
  EXPECT_EQ(Px(bmp, 13, 6), kWhite);         // right of a on the first line
  EXPECT_NE(Px(bmp, 10, 5 + kLine), kWhite); // b at the start of the second
}

TEST_F(DrawStringTest, Alignment)
{
  const Gfx_Rect rect{10, 5, 110, 45};
  auto drawn = [&](uint32_t flags)
  {
    Fill(bmp, kWhite);
    Gfx_Rect r = rect;
    EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &r, flags), kLine);
    return InkBox(bmp, kWhite);
  };
  Box b = drawn(0);
  EXPECT_EQ(std::make_pair(b.left, b.top), std::make_pair(10, 5));
  EXPECT_EQ(std::make_pair(b.right, b.bottom), std::make_pair(17, 13));
  b = drawn(DT_CENTER | DT_VCENTER);
  EXPECT_EQ(std::make_pair(b.left, b.top), std::make_pair((110 - 7 - 10) / 2 + 10, 5 + (45 - 8 - 5) / 2));
  b = drawn(DT_RIGHT | DT_BOTTOM);
  EXPECT_EQ(std::make_pair(b.right, b.bottom), std::make_pair(110, 45));
  b = drawn(DT_CENTER | DT_RIGHT); // centre wins
  EXPECT_EQ(b.left, 56);

  // Measuring keeps the left and top and sets right and bottom.
  Gfx_Rect m = rect;
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &m, DT_CALCRECT | DT_CENTER), kLine);
  EXPECT_EQ(m.left, 10);
  EXPECT_EQ(m.top, 5);
  EXPECT_EQ(m.right, 17);
  EXPECT_EQ(m.bottom, 13);
}

TEST_F(DrawStringTest, Clipping)
{
  Gfx_Rect r{10, 5, 14, 9};
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &r, 0), kLine);
  Box b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(10, 5, 14, 9));

  Fill(bmp, kWhite);
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &r, DT_NOCLIP), kLine);
  b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(10, 5, 17, 13));

  // A rectangle reaching past the top-left corner: clipped to the bitmap, text keeps its place.
  Fill(bmp, kWhite);
  Gfx_Rect corner{-2, -3, 20, 20};
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &corner, 0), kLine);
  b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(0, 0, 5, 5));

  // Past the bottom-right corner, with and without DT_NOCLIP.
  Fill(bmp, kWhite);
  Gfx_Rect edge{115, 45, 200, 100};
  EXPECT_EQ(font->DrawString(&bmp, "abab", -1, &edge, DT_NOCLIP), kLine);
  b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(115, 45, 120, 50));

  // Nothing inside: 0.
  Fill(bmp, kWhite);
  Gfx_Rect outside{200, 0, 300, 10};
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &outside, 0), 0);
  Gfx_Rect below{0, 60, 10, 70};
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &below, DT_NOCLIP), 0);
  Gfx_Rect empty{10, 10, 10, 20};
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &empty, 0), 0);
  // Rectangles at the ends of the int range: the pen runs off the bitmap without wrapping around.
  Gfx_Rect farRight{0x7FFFFFF0, 0, 0x7FFFFFFF, 10};
  EXPECT_EQ(font->DrawString(&bmp, "abababababab", -1, &farRight, DT_NOCLIP), 0);
  Gfx_Rect farLeft{-0x7FFFFFFF - 1, -0x7FFFFFFF - 1, 0x7FFFFFFF, 0x7FFFFFFF};
  EXPECT_EQ(font->DrawString(&bmp, "ab\nab", -1, &farLeft, DT_NOCLIP | DT_RIGHT | DT_BOTTOM), 0);
  EXPECT_EQ(texttest::CountDiffering(bmp, kWhite), 0);
  // Centred in the whole int range, "ab" starts at (-4, -5): 3 x 3 pixels of b show.
  EXPECT_EQ(font->DrawString(&bmp, "ab", -1, &farLeft, DT_NOCLIP | DT_CENTER | DT_VCENTER), kLine);
  b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(0, 0, 3, 3));
  Gfx_Rect measured{0x7FFFFFFC, 0, 0, 0}; // 7 wide: the right edge stops at the end of the range
  EXPECT_EQ(font->DrawString(nullptr, "ab", -1, &measured, DT_CALCRECT), kLine);
  EXPECT_EQ(measured.right, 0x7FFFFFFF);
}

TEST_F(DrawStringTest, VerticalText)
{
  auto down = Make(FontVertical);
  EXPECT_EQ(Measure("ab", -1, 0, down.get()), std::make_pair(kLine, 3 + 4));
  EXPECT_EQ(Measure("a\nb", -1, 0, down.get()), std::make_pair(2 * kLine, 4));

  Gfx_Rect r{10, 5, 110, 45};
  EXPECT_EQ(down->DrawString(&bmp, "ab", -1, &r, 0), kLine); // the column's width
  Box b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(10, 5, 18, 12));
  EXPECT_EQ(Px(bmp, 12, 5), kBlack);  // a on top
  EXPECT_NE(Px(bmp, 12, 11), kBlack); // b below it, at half coverage
  EXPECT_NE(Px(bmp, 12, 11), kWhite);

  // Upward text grows from the bottom of its measured column: a at the bottom.
  auto up = Make(FontVertical | FontVerticalUp);
  Fill(bmp, kWhite);
  EXPECT_EQ(up->DrawString(&bmp, "ab", -1, &r, 0), kLine);
  b = InkBox(bmp, kWhite);
  EXPECT_EQ(std::make_tuple(b.left, b.top, b.right, b.bottom), std::make_tuple(10, 5, 18, 12));
  EXPECT_EQ(Px(bmp, 12, 11), kBlack);
  EXPECT_NE(Px(bmp, 12, 5), kBlack);
}

TEST_F(DrawStringTest, ColourAlphaScalesOpacityForOneCall)
{
  Gfx_Rect r{10, 5, 110, 45};
  font->SetTextColour(0x00000000);
  EXPECT_EQ(font->DrawString(&bmp, "a", -1, &r, DrawUseColourAlpha), 0);
  EXPECT_EQ(texttest::CountDiffering(bmp, kWhite), 0);

  font->SetTextColour(0x80000000);
  EXPECT_EQ(font->DrawString(&bmp, "a", -1, &r, DrawUseColourAlpha), kLine);
  // Opacity 1.0 x 128 / 255 gives ia 128; full coverage then weighs 255 x 128 / 256 = 127.
  const int a = 127;
  const int grey = 0 + (255 - 0) * (256 - a) / 256;
  EXPECT_EQ(Px(bmp, 10, 5), 0xFF000000u | grey * 0x010101u);
  // The font's own alpha is back afterwards.
  Fill(bmp, kWhite);
  font->DrawString(&bmp, "a", -1, &r, 0);
  EXPECT_EQ(Px(bmp, 10, 5), 0xFF000000u);
}
