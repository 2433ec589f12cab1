// Building the plug-in decodes no skin image: a host scans and loads many plug-ins. The first
// editor drawn decodes what it shows; a second instance draws those without decoding them again.
#include "config/ConfigReader.h"
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "gfx/Gfx_DeferredBitmap.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
enum Scheme
{
  kAnyScheme,
  kNormalScheme,
  kSecondScheme
};

struct ImageState
{
  std::string name;
  const Gfx_IBitmap* bitmap;
  bool made;
};

// Every image of the normal scheme as the plug-in's configuration holds it.
std::vector<ImageState> Images(VELK& plug)
{
  std::vector<ImageState> out;
  ConfigReader* config = plug.Config();
  if (!config) return out;
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme)                                               \
  if (scheme != kSecondScheme)                                                                               \
  {                                                                                                          \
    const IBitmapStrip strip = config->GetImage(#name);                                                      \
    const auto* d = dynamic_cast<const Gfx_DeferredBitmap*>(strip.bitmap);                                   \
    out.push_back(ImageState{#name, strip.bitmap, !d || d->Made()});                                         \
  }
#include "config/ImageTable.def"
#undef VELK_IMAGE
  return out;
}

void DrawWholeEditor(VELK& plug)
{
  auto* g = dynamic_cast<IGraphics*>(plug.Editor());
  ASSERT_NE(g, nullptr);
  g->CreateDrawBitmaps();
  IRectangle all(0, 0, g->Width(), g->Height());
  g->DrawDirty(&all);
}
} // namespace

TEST(LightLoad, BuildingDecodesNoImageAndASecondInstanceDecodesNothingAgain)
{
  TempDataFolder folder;
  VELK one(nullptr);
  const std::vector<ImageState> built = Images(one);
  ASSERT_EQ(built.size(), 109u);
  for (const ImageState& image : built)
  {
    EXPECT_NE(image.bitmap, nullptr) << image.name;
    EXPECT_FALSE(image.made) << image.name << " was decoded while the plug-in was built";
  }

  DrawWholeEditor(one);
  const std::vector<ImageState> drawn = Images(one);
  int made = 0;
  for (const ImageState& image : drawn)
    made += image.made;
  EXPECT_GT(made, 0);
  EXPECT_LT(made, 109) << "images of hidden pages were decoded too";

  VELK two(nullptr);
  const std::vector<ImageState> second = Images(two);
  ASSERT_EQ(second.size(), drawn.size());
  for (size_t i = 0; i < second.size(); ++i)
  {
    EXPECT_EQ(second[i].bitmap, drawn[i].bitmap) << second[i].name;
    EXPECT_EQ(second[i].made, drawn[i].made) << second[i].name;
  }
}
