#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/Gfx_PNG.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/resources/ResourceTable.h"
#include "tests/gfx/GfxTestBitmaps.h"
#include "tests/support/PngWrite.h"

namespace
{
using pngwrite::Encode;
using PngImage = pngwrite::Image;

std::unique_ptr<Gfx_MemBitmap> Decode(const std::vector<std::uint8_t>& bytes)
{
  return Gfx_ReadPNGMemory(bytes.data(), bytes.size());
}

PngImage RgbaImage(int w, int h)
{
  PngImage image;
  image.width = w, image.height = h;
  for (int y = 0; y < h; ++y)
  {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < w; ++x)
      row.insert(row.end(),
                 {std::uint8_t(x * 10), std::uint8_t(y * 20), std::uint8_t(x + y), std::uint8_t(200 + x)});
    image.rows.push_back(row);
  }
  return image;
}

std::string TempPath(const std::string& name)
{
  return testing::TempDir() + "gfx_png_" + name;
}
} // namespace

TEST(Png, ColourTypesArriveAsArgb)
{
  // RGBA: R, G, B, A samples become 0xAARRGGBB.
  auto rgba = Decode(Encode(RgbaImage(5, 3)));
  ASSERT_TRUE(rgba);
  EXPECT_EQ(rgba->Width(), 5);
  EXPECT_EQ(rgba->Height(), 3);
  EXPECT_EQ(At(*rgba, 2, 1), 0xCA141403u); // A 202, R 20, G 20, B 3

  // 1-bit grey: opaque black and white.
  PngImage grey1;
  grey1.width = 10, grey1.height = 2, grey1.depth = 1, grey1.type = PNG_COLOR_TYPE_GRAY;
  grey1.rows = {{0xB0, 0x40}, {0x00, 0xC0}};
  auto g1 = Decode(Encode(grey1));
  ASSERT_TRUE(g1);
  const std::uint32_t W = 0xFFFFFFFFu, K = 0xFF000000u;
  const std::uint32_t row0[10] = {W, K, W, W, K, K, K, K, K, W};
  for (int x = 0; x < 10; ++x)
    EXPECT_EQ(At(*g1, x, 0), row0[x]) << x;
  EXPECT_EQ(At(*g1, 0, 1), K);
  EXPECT_EQ(At(*g1, 9, 1), W);

  // Palette with transparency (4-bit indices): each entry keeps its alpha; entries past tRNS are opaque.
  PngImage pal;
  pal.width = 3, pal.height = 1, pal.depth = 4, pal.type = PNG_COLOR_TYPE_PALETTE;
  pal.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  pal.paletteAlpha = {0, 128};
  pal.rows = {{0x01, 0x20}};
  auto p = Decode(Encode(pal));
  ASSERT_TRUE(p);
  EXPECT_EQ(At(*p, 0, 0), 0x00FF0000u);
  EXPECT_EQ(At(*p, 1, 0), 0x8000FF00u);
  EXPECT_EQ(At(*p, 2, 0), 0xFF0000FFu);

  // 16-bit RGBA keeps the high byte of each sample.
  PngImage deep;
  deep.width = 1, deep.height = 1, deep.depth = 16;
  deep.rows = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0}};
  auto d = Decode(Encode(deep));
  ASSERT_TRUE(d);
  EXPECT_EQ(At(*d, 0, 0), 0xDE12569Au);

  // RGB without alpha: alpha 255 everywhere.
  PngImage rgb;
  rgb.width = 2, rgb.height = 1, rgb.type = PNG_COLOR_TYPE_RGB;
  rgb.rows = {{1, 2, 3, 250, 251, 252}};
  auto r = Decode(Encode(rgb));
  ASSERT_TRUE(r);
  EXPECT_EQ(At(*r, 0, 0), 0xFF010203u);
  EXPECT_EQ(At(*r, 1, 0), 0xFFFAFBFCu);

  // Grey with alpha, and grey made transparent by tRNS.
  PngImage ga;
  ga.width = 1, ga.height = 1, ga.type = PNG_COLOR_TYPE_GRAY_ALPHA;
  ga.rows = {{0x40, 0x80}};
  auto gaBitmap = Decode(Encode(ga));
  ASSERT_TRUE(gaBitmap);
  EXPECT_EQ(At(*gaBitmap, 0, 0), 0x80404040u);
  PngImage gt;
  gt.width = 2, gt.height = 1, gt.type = PNG_COLOR_TYPE_GRAY, gt.greyTransparent = true,
  gt.transparentGrey = 7;
  gt.rows = {{7, 9}};
  auto gtBitmap = Decode(Encode(gt));
  ASSERT_TRUE(gtBitmap);
  EXPECT_EQ(At(*gtBitmap, 0, 0), 0x00070707u);
  EXPECT_EQ(At(*gtBitmap, 1, 0), 0xFF090909u);

  // Interlaced images decode to the same pixels.
  PngImage laced = RgbaImage(9, 7);
  laced.interlaced = true;
  auto l = Decode(Encode(laced));
  auto flat = Decode(Encode(RgbaImage(9, 7)));
  ASSERT_TRUE(l && flat);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(At(*l, x, y), At(*flat, x, y));
}

TEST(Png, ShortTruncatedAndCorruptDataRefused)
{
  const std::vector<std::uint8_t> good = Encode(RgbaImage(16, 16));
  ASSERT_TRUE(Decode(good));
  EXPECT_FALSE(Gfx_ReadPNGMemory(good.data(), 7));
  EXPECT_FALSE(Gfx_ReadPNGMemory(nullptr, 100));
  std::vector<std::uint8_t> foreign = good;
  foreign[1] = 'X';
  EXPECT_FALSE(Decode(foreign));

  // Cut anywhere before the image data is complete: refused, never a zero-filled picture.
  // (The IEND chunk is never read, so only its 12 bytes may go missing.)
  for (std::size_t cut = 8; cut + 12 < good.size(); ++cut)
    EXPECT_FALSE(Gfx_ReadPNGMemory(good.data(), cut)) << "cut at " << cut;

  // A flipped bit in the compressed data fails the chunk's CRC.
  std::vector<std::uint8_t> corrupt = good;
  const auto idat = std::search(corrupt.begin(), corrupt.end(), std::begin("IDAT"), std::end("IDAT") - 1);
  ASSERT_NE(idat, corrupt.end());
  idat[6] ^= 0x10;
  EXPECT_FALSE(Decode(corrupt));
}

TEST(Png, SizeBound)
{
  PngImage wide;
  wide.width = 16385, wide.height = 1, wide.depth = 1, wide.type = PNG_COLOR_TYPE_GRAY;
  wide.rows = {std::vector<std::uint8_t>((16385 + 7) / 8, 0xFF)};
  const std::vector<std::uint8_t> tooWide = Encode(wide);
  ASSERT_FALSE(tooWide.empty());
  EXPECT_FALSE(Decode(tooWide));
  wide.width = 16384;
  wide.rows = {std::vector<std::uint8_t>(16384 / 8, 0xFF)};
  auto ok = Decode(Encode(wide));
  ASSERT_TRUE(ok);
  EXPECT_EQ(At(*ok, 16383, 0), 0xFFFFFFFFu);
}

TEST(Png, FilesAndLoader)
{
  const std::vector<std::uint8_t> bytes = Encode(RgbaImage(4, 2));
  const std::string path = TempPath("image.PNG");
  pngwrite::WriteFile(path, bytes);

  auto fromFile = Gfx_ReadPNGFile(path.c_str());
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(At(*fromFile, 3, 1), At(*Decode(bytes), 3, 1));

  // Into a given bitmap: resized to the image.
  Gfx_SysBitmap surface(50, 50);
  ASSERT_TRUE(Gfx_ReadPNGFile(path.c_str(), surface));
  EXPECT_EQ(surface.Width(), 4);
  EXPECT_EQ(surface.Height(), 2);
  EXPECT_EQ(At(surface, 3, 1), At(*fromFile, 3, 1));

  EXPECT_FALSE(Gfx_ReadPNGFile(TempPath("missing.png").c_str()));
  EXPECT_FALSE(Gfx_ReadPNGFile(nullptr));
  const std::string truncated = TempPath("truncated.png");
  pngwrite::WriteFile(truncated, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
  EXPECT_FALSE(Gfx_ReadPNGFile(truncated.c_str()));

  // The loader's extension check: ".PNG" in capitals passes, ".png.bak" and no dot do not.
  std::unique_ptr<Gfx_IBitmap> loaded(Gfx_PNGLoaderLoadFile(path.c_str(), true, nullptr));
  EXPECT_TRUE(loaded);
  const std::string bak = TempPath("image.png.bak"), bare = TempPath("imagepng");
  pngwrite::WriteFile(bak, bytes);
  pngwrite::WriteFile(bare, bytes);
  EXPECT_EQ(Gfx_PNGLoaderLoadFile(bak.c_str(), true, nullptr), nullptr);
  EXPECT_EQ(Gfx_PNGLoaderLoadFile(bare.c_str(), true, nullptr), nullptr);
  Gfx_MemBitmap target;
  EXPECT_EQ(Gfx_PNGLoaderLoadFile(bare.c_str(), false, &target), &target);
  EXPECT_EQ(target.Width(), 4);

  const char* filter = Gfx_PNGLoaderFilterText();
  EXPECT_STREQ(filter, "PNG files (*.PNG)");
  EXPECT_STREQ(filter + std::strlen(filter) + 1, "*.PNG");
  EXPECT_EQ(filter[std::strlen(filter) + 1 + 6], '\0');
  const ImageLoaderRecord* loaders = Gfx_ImageLoaders();
  ASSERT_NE(loaders, nullptr);
  EXPECT_EQ(loaders->load, &Gfx_PNGLoaderLoadFile);
  for (const std::string& p : {path, truncated, bak, bare})
    std::remove(p.c_str());
}

TEST(Png, Resources)
{
  static const std::vector<std::uint8_t> bytes = Encode(RgbaImage(3, 3));
  static const std::uint8_t tiny[7] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A};
  ResourceTable::Register("PNG", 31001, bytes);
  ResourceTable::Register("PNG", 31002, tiny);
  ResourceTable::Register("TEXTFILE", 31003, bytes);

  auto image = Gfx_ReadPNGResource(31001);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 3);
  EXPECT_FALSE(Gfx_ReadPNGResource(31002)); // shorter than a signature
  EXPECT_FALSE(Gfx_ReadPNGResource(31003)); // other type
  EXPECT_FALSE(Gfx_ReadPNGResource(31999)); // missing

  EXPECT_TRUE(ResourceTable::Unregister("PNG", 31001));
  EXPECT_FALSE(ResourceTable::Unregister("PNG", 31001));
  EXPECT_FALSE(Gfx_ReadPNGResource(31001));
  ResourceTable::Unregister("PNG", 31002);
  ResourceTable::Unregister("TEXTFILE", 31003);
}
