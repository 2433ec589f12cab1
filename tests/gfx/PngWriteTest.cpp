#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_PNG.h"
#include "gfx/Gfx_PNGWrite.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

TEST(PngWrite, RoundTripsEveryChannelAndRefusesWhatCannotBeWritten)
{
  const TempFolder folder("png-write");
  const std::filesystem::path dir = folder.Path();
  const std::string path = (dir / "shot.png").string();

  // Odd width (rows are padded in memory, not in the file) and distinct bytes per channel.
  Gfx_MemBitmap source(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      source.Row(y)[x] = (uint32_t(40 + x * 50) << 24) | (uint32_t(x * 51) << 16) | (uint32_t(y * 90) << 8) |
                         uint32_t(255 - x - y);
  ASSERT_TRUE(Gfx_WritePNGFile(path.c_str(), source));
  auto back = Gfx_ReadPNGFile(path.c_str());
  ASSERT_TRUE(back);
  ASSERT_EQ(back->Width(), 5);
  ASSERT_EQ(back->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(back->Row(y)[x], source.Row(y)[x]) << x << "," << y;

  EXPECT_FALSE(Gfx_WritePNGFile((dir / "missing" / "shot.png").string().c_str(), source));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  const std::string emptyPath = (dir / "empty.png").string();
  EXPECT_FALSE(Gfx_WritePNGFile(emptyPath.c_str(), Gfx_MemBitmap()));
  EXPECT_FALSE(std::filesystem::exists(emptyPath));
  EXPECT_FALSE(Gfx_WritePNGFile(nullptr, source));
}
