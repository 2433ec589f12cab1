#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text/FreeTypeRasteriser.h"
#include "platform/text/SyntheticRasteriser.h"

namespace
{

std::vector<std::string> gLog;
void Capture(const char* line)
{
  gLog.emplace_back(line);
}

struct LogCapture
{
  LogCapture()
  {
    gLog.clear();
    TextRasteriser::SetLogSink(&Capture);
  }
  ~LogCapture() { TextRasteriser::SetLogSink(nullptr); }
};

bool HaveFile(const char* name)
{
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::recursive_directory_iterator it("/usr/share/fonts", ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename() == name) return true;
  return false;
}

int Ink(const std::vector<uint8_t>& cell)
{
  int n = 0;
  for (uint8_t v : cell)
    n += v != 0;
  return n;
}

} // namespace

TEST(TextFontRequest, FaceIsCopiedWithBounds)
{
  const std::string longName(80, 'x');
  TextFontRequest r(longName.c_str(), 12);
  EXPECT_EQ(std::strlen(r.face), static_cast<size_t>(TextFontRequest::kFaceSize - 1));
  r.SetFace(nullptr);
  EXPECT_STREQ(r.face, "");

  // A request whose array was filled by hand without a terminator still opens safely.
  TextFontRequest raw;
  std::memset(raw.face, 'A', sizeof raw.face);
  SyntheticRasteriser synth;
  auto font = synth.OpenFont(raw);
  ASSERT_TRUE(font);
  EXPECT_EQ(std::strlen(font->RequestedFace()), static_cast<size_t>(TextFontRequest::kFaceSize - 1));
}

TEST(SyntheticRasteriser, BuiltInShapesAndMissingBox)
{
  SyntheticRasteriser synth;
  auto font = synth.OpenFont(TextFontRequest("Consolas", 16));
  EXPECT_EQ(font->LineHeight(), 16);
  EXPECT_EQ(font->Ascent(), 12);
  EXPECT_EQ(font->CharAdvance('A'), 8);
  EXPECT_EQ(font->CharAdvance(' '), 8);
  EXPECT_EQ(font->CharAdvance('\n'), 0);
  EXPECT_EQ(font->CharAdvance(0x85), 0);

  std::vector<uint8_t> cell(12 * 16, 0xAB);
  EXPECT_EQ(font->RenderChar('A', cell.data(), 12, 16, 12), 8);
  // Solid box: columns 1..6, rows 12 - 8 = 4 .. 11.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(cell[y * 12 + x], (x >= 1 && x <= 6 && y >= 4 && y <= 11) ? 255 : 0) << x << "," << y;

  // A character the font lacks: the hollow box of the same size.
  EXPECT_FALSE(font->HasChar(0x4E00));
  font->RenderChar(0x4E00, cell.data(), 12, 16, 12);
  EXPECT_EQ(cell[4 * 12 + 1], 255);
  EXPECT_EQ(cell[6 * 12 + 3], 0);
  EXPECT_EQ(Ink(cell), 2 * 6 + 2 * 6);

  synth.SetMissingGlyphBox(false);
  auto bare = synth.OpenFont(TextFontRequest("Consolas", 16));
  EXPECT_EQ(bare->CharAdvance(0x4E00), 0);
  bare->RenderChar(0x4E00, cell.data(), 12, 16, 12);
  EXPECT_EQ(Ink(cell), 0);

  // Defined shapes are clipped to the cell.
  synth.DefineGlyph('Q', SyntheticGlyph::FromRows(3, 2, 14, {"##", "#+", "##"}));
  auto custom = synth.OpenFont(TextFontRequest("x", 16));
  custom->RenderChar('Q', cell.data(), 3, 16, 12);
  EXPECT_EQ(cell[14 * 12 + 2], 255);
  EXPECT_EQ(cell[15 * 12 + 2], 255);
  EXPECT_EQ(Ink(cell), 2);
  // Fonts opened earlier keep their table.
  EXPECT_EQ(font->CharAdvance('Q'), 8);
  EXPECT_EQ(custom->CharAdvance('Q'), 3);
}

TEST(FreeTypeRasteriser, FaceMapAndFallback)
{
  if (!HaveFile("DejaVuSansMono.ttf")) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  FreeTypeRasteriser ft;
  LogCapture log;

  auto consolas = ft.OpenFont(TextFontRequest("Consolas", 12));
  ASSERT_TRUE(consolas);
  EXPECT_STREQ(consolas->Face(), "DejaVu Sans Mono");
  EXPECT_STREQ(consolas->RequestedFace(), "Consolas");
  EXPECT_EQ(consolas->LineHeight(), 12);
  EXPECT_GT(consolas->Ascent(), 6);
  EXPECT_LT(consolas->Ascent(), 12);
  EXPECT_TRUE(gLog.empty());

  // A monospace face: every printable character advances the same.
  const int adv = consolas->CharAdvance('M');
  EXPECT_GT(adv, 3);
  EXPECT_EQ(consolas->CharAdvance('i'), adv);
  EXPECT_EQ(consolas->CharAdvance('\r'), 0);

  if (HaveFile("LiberationSans-Bold.ttf"))
  {
    auto arial = ft.OpenFont(TextFontRequest("arial", 14, 700));
    EXPECT_STREQ(arial->Face(), "Liberation Sans");
    EXPECT_EQ(arial->LineHeight(), 14);
  }

  auto unknown = ft.OpenFont(TextFontRequest("No Such Face At All", 12));
  ASSERT_TRUE(unknown);
  EXPECT_STREQ(unknown->Face(), "DejaVu Sans Mono");
  ASSERT_EQ(gLog.size(), 1u);
  EXPECT_NE(gLog[0].find("No Such Face At All"), std::string::npos);

  // An empty face asks for the default without complaint.
  auto empty = ft.OpenFont(TextFontRequest("", 12));
  EXPECT_STREQ(empty->Face(), "DejaVu Sans Mono");
  EXPECT_EQ(gLog.size(), 1u);
}

TEST(FreeTypeRasteriser, RendersIntoTheCell)
{
  if (!HaveFile("DejaVuSansMono.ttf")) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  FreeTypeRasteriser ft;
  auto font = ft.OpenFont(TextFontRequest("Consolas", 16));
  const int w = 12, h = 16, stride = 20;
  std::vector<uint8_t> cell(stride * h, 0x55);
  const int adv = font->RenderChar('H', cell.data(), w, h, stride);
  EXPECT_EQ(adv, font->CharAdvance('H'));
  int ink = 0, full = 0;
  for (int y = 0; y < h; ++y)
  {
    for (int x = 0; x < w; ++x)
    {
      ink += cell[y * stride + x] != 0;
      full += cell[y * stride + x] >= 250;
    }
    for (int x = w; x < stride; ++x)
      EXPECT_EQ(cell[y * stride + x], 0x55) << "wrote outside the cell";
  }
  EXPECT_GT(ink, 10);
  EXPECT_GT(full, 5); // the stems of an H are solid

  // Nothing lies below the baseline for an H; a 'g' descends.
  const int base = font->Ascent();
  for (int y = base + 1; y < h; ++y)
    for (int x = 0; x < w; ++x)
      EXPECT_EQ(cell[y * stride + x], 0);
  font->RenderChar('g', cell.data(), w, h, stride);
  int below = 0;
  for (int y = base; y < h; ++y)
    for (int x = 0; x < w; ++x)
      below += cell[y * stride + x] != 0;
  EXPECT_GT(below, 0);

  // A character the font lacks draws its missing-glyph box, not nothing.
  EXPECT_FALSE(font->HasChar(0xE000));
  font->RenderChar(0xE000, cell.data(), w, h, stride);
  int box = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      box += cell[y * stride + x] != 0;
  EXPECT_GT(box, 0);

  // Not anti-aliased: only 0 and 255.
  auto mono = ft.OpenFont(TextFontRequest("Consolas", 16, 400, false, 1));
  mono->RenderChar('O', cell.data(), w, h, stride);
  int grey = 0, on = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      grey += cell[y * stride + x] != 0 && cell[y * stride + x] != 255;
      on += cell[y * stride + x] == 255;
    }
  EXPECT_EQ(grey, 0);
  EXPECT_GT(on, 0);
}
