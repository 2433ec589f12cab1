// The skin as the editor uses it, in both colour schemes: the scheme comes from the UI settings the
// way the editor reads them at start-up, every image it asks for is built in, and every page tab
// draws a complete picture (nothing left black where an image is missing).

#include "editor/UISettings.h"
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_SysBitmap.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> gLogLines;

void KeepLine(const char* line)
{
  if (line) gLogLines.push_back(line);
}

struct Picture
{
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels; // 0x00RRGGBB, alpha ignored

  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * width + x] & 0xffffffu; }
};

// Every page tab drawn by an editor built with the given scheme; the log lines of missing images in
// `missing`.
std::vector<Picture> DrawEveryTab(int scheme, std::vector<std::string>& missing)
{
  const TempFolder temp("skin");
  const std::filesystem::path folder = temp.Path();
  UISettings settings;
  settings.colourScheme = uint32_t(scheme);
  settings.firstRunSeen = true;
  EXPECT_TRUE(settings.Save(folder.string()));
  setenv("VELK_DATA_DIR", folder.c_str(), 1);

  std::vector<Picture> pictures;
  {
    VELK plug(nullptr);
    auto* editor = dynamic_cast<IGraphics*>(plug.Editor());
    IParameter* tab = plug.ParameterAt(kMainTab);
    EXPECT_TRUE(editor && tab);
    if (editor && tab)
    {
      EXPECT_EQ(plug.ParameterAt(kUserInterfaceStyle)->Value(), double(scheme));
      editor->CreateDrawBitmaps();
      gLogLines.clear();
      IGraphics::SetLogSink(KeepLine);
      IGraphics::ReportMissingImages();
      IGraphics::SetLogSink(nullptr);
      for (const std::string& line : gLogLines)
        if (line.find("is not built in") != std::string::npos) missing.push_back(line);
      const IRectangle all(0, 0, editor->Width(), editor->Height());
      for (int t = 0; t < 10; ++t)
      {
        tab->SetClamped(t);
        plug.HandleParameterChange(kMainTab);
        editor->SyncParameterToControls(kMainTab, t, false);
        editor->DrawDirty(&all);
        const Gfx_SysBitmap* surface = editor->DrawBitmapSurface();
        if (!surface) break;
        Picture p;
        p.width = surface->Width();
        p.height = surface->Height();
        for (int y = 0; y < p.height; ++y)
          p.pixels.insert(p.pixels.end(), surface->Row(y), surface->Row(y) + p.width);
        pictures.push_back(std::move(p));
      }
    }
  }
  unsetenv("VELK_DATA_DIR");
  return pictures;
}
} // namespace

TEST(SkinInEditor, BothSchemesDrawEveryPageCompletelyAndDiffer)
{
  std::vector<Picture> schemes[2];
  for (int s = 0; s < 2; ++s)
  {
    std::vector<std::string> missing;
    schemes[s] = DrawEveryTab(s, missing);
    for (const std::string& line : missing)
      ADD_FAILURE() << "scheme " << s << ": " << line;
    ASSERT_EQ(schemes[s].size(), 10u) << "scheme " << s;
    std::set<std::vector<std::uint32_t>> distinct;
    for (std::size_t t = 0; t < schemes[s].size(); ++t)
    {
      const Picture& p = schemes[s][t];
      ASSERT_EQ(p.width, 1500);
      ASSERT_EQ(p.height, 757);
      distinct.insert(p.pixels);
      // The art has no pure black: black is where nothing was drawn.
      int black = 0;
      for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
          black += p.At(x, y) == 0;
      EXPECT_LT(black, p.width * p.height / 200)
          << "scheme " << s << " tab " << t << ": " << black << " pixels left black";
      // The page area shows a picture of its own, not the bare window behind it: sections, captions.
      std::set<std::uint32_t> colours;
      for (int y = 100; y < 745 && colours.size() < 64; y += 3)
        for (int x = 212; x < 1488; x += 3)
          colours.insert(p.At(x, y));
      EXPECT_GE(colours.size(), 64u) << "scheme " << s << " tab " << t;
    }
    EXPECT_EQ(distinct.size(), schemes[s].size()) << "scheme " << s << ": two tabs look alike";
  }
  ASSERT_EQ(schemes[0].size(), schemes[1].size());
  // The top bar and the part column come from the scheme's own window picture.
  for (auto [x, y] : {std::pair{700, 88}, std::pair{100, 600}, std::pair{2, 700}})
    EXPECT_NE(schemes[0][0].At(x, y), schemes[1][0].At(x, y)) << x << "," << y;
}
