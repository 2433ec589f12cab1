#include "ConfigTestSupport.h"

#include "framework/graphics/BitmapCache.h"
#include "gfx/Gfx_IBitmap.h"

#include <gtest/gtest.h>

namespace
{
// The image registry alone: an empty UI document, so no editor is built from the skin.
const char* kEmptyUi = "<uiconfig/>";

// The resource ids of the rows a scheme registers.
std::vector<int> IdsOfScheme(uint32_t scheme)
{
  enum
  {
    kAnyScheme,
    kNormalScheme,
    kSecondScheme
  };
  std::vector<int> ids;
#define VELK_IMAGE(id, name, file, frames, horizontal, s)                                                    \
  if (s == kAnyScheme || (s == kNormalScheme) == (scheme == 0)) ids.push_back(id);
#include "config/ImageTable.def"
#undef VELK_IMAGE
  return ids;
}
} // namespace

TEST(ImageRegistry, SchemesChooseTheirVariants)
{
  ScopedDocument ui(100, kEmptyUi);
  for (uint32_t scheme : {0u, 1u})
  {
    ReaderFixture f;
    f.reader->Read(f.graphics.get(), &f.plug, nullptr, scheme, 1.0);
    EXPECT_EQ(f.reader->ImageCount(), 109);
    EXPECT_EQ(IdsOfScheme(scheme).size(), 109u);
    const bool normal = scheme == 0;
    EXPECT_EQ(f.reader->FindImageEntry("MAIN_BG_ID")->resourceId, normal ? 500 : 600);
    EXPECT_EQ(f.reader->FindImageEntry("FILTER_SLOPE_OVERLAYER_ID")->resourceId, normal ? 324 : 602);
    EXPECT_EQ(f.reader->FindImageEntry("BG_ADDITIONAL_PART_SETTINGS_ID")->resourceId, normal ? 352 : 601);
    for (int id : IdsOfScheme(scheme))
      EXPECT_EQ(BitmapCache::Instance().References(id, 1.0), 1) << id;
    const std::vector<int> otherScheme =
        normal ? std::vector<int>{600, 601, 602} : std::vector<int>{500, 324, 352};
    for (int id : otherScheme)
      EXPECT_EQ(BitmapCache::Instance().References(id, 1.0), 0) << id;
  }
}

TEST(ImageRegistry, GetImageGivesTheScaledStripOrTheEmptyOne)
{
  ScopedDocument ui(100, kEmptyUi);
  ReaderFixture f(1.15);
  f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.15);
  f.log.clear();

  const IBitmapStrip knob = f.reader->GetImage("IKNOBROTATERCONTROL_ID2");
  ASSERT_NE(knob.bitmap, nullptr);
  EXPECT_EQ(knob.frames, 128);
  EXPECT_FALSE(knob.framesSideBySide);
  Gfx_IBitmap* cached = BitmapCache::Instance().Acquire(111, 1.15);
  EXPECT_EQ(cached, knob.bitmap);
  BitmapCache::Instance().Release(111, 1.15);
  EXPECT_EQ(knob.width, knob.bitmap->Width());
  EXPECT_EQ(knob.height, knob.bitmap->Height());
  const IBitmapStrip side = f.reader->GetImage("BUTTON_TAB_SIDEBAR_ID");
  EXPECT_EQ(side.frames, 2);
  EXPECT_TRUE(side.framesSideBySide);
  EXPECT_TRUE(f.log.empty());

  // Names are exact: another case is not registered.
  const IBitmapStrip missing = f.reader->GetImage("iknobrotatercontrol_id2");
  EXPECT_EQ(missing.bitmap, nullptr);
  EXPECT_EQ(missing.width, 0);
  EXPECT_EQ(missing.height, 0);
  EXPECT_EQ(missing.frames, 1);
  EXPECT_FALSE(missing.framesSideBySide);
  EXPECT_EQ(f.log, (std::vector<std::string>{"CONFIG READER: Image iknobrotatercontrol_id2 MISSING!"}));

  // After the release pass the entry stays with its frames, without a bitmap.
  f.reader->ReleaseImages(f.graphics.get());
  const IBitmapStrip released = f.reader->GetImage("IKNOBROTATERCONTROL_ID2");
  EXPECT_EQ(released.bitmap, nullptr);
  EXPECT_EQ(released.frames, 128);
  for (int id : IdsOfScheme(0))
    EXPECT_EQ(BitmapCache::Instance().References(id, 1.15), 0) << id;
}

TEST(ImageRegistry, ReleasePassLeavesOtherEditorsAlone)
{
  ScopedDocument ui(100, kEmptyUi);
  // Two editors at two sizes and a third at the first size, torn down in both orders.
  for (bool firstGoesFirst : {true, false})
  {
    auto a = std::make_unique<ReaderFixture>(1.0);
    auto b = std::make_unique<ReaderFixture>(0.85);
    auto c = std::make_unique<ReaderFixture>(1.0);
    a->reader->Read(a->graphics.get(), &a->plug, nullptr, 0, 1.0);
    b->reader->Read(b->graphics.get(), &b->plug, nullptr, 0, 0.85);
    c->reader->Read(c->graphics.get(), &c->plug, nullptr, 0, 1.0);
    EXPECT_EQ(BitmapCache::Instance().References(111, 1.0), 2);
    EXPECT_EQ(BitmapCache::Instance().References(111, 0.85), 1);
    const IBitmapStrip fromC = c->reader->GetImage("IKNOBROTATERCONTROL_ID2");

    if (firstGoesFirst)
      a.reset();
    else
      b.reset();
    // The survivors' bitmaps are still there and still drawable (ASan would catch a freed one).
    EXPECT_EQ(BitmapCache::Instance().References(111, 1.0), firstGoesFirst ? 1 : 2);
    ASSERT_NE(fromC.bitmap, nullptr);
    EXPECT_EQ(fromC.bitmap->Width(), fromC.width);
    if (firstGoesFirst)
    {
      const IBitmapStrip fromB = b->reader->GetImage("IKNOBROTATERCONTROL_ID2");
      ASSERT_NE(fromB.bitmap, nullptr);
      EXPECT_EQ(fromB.bitmap->Width(), fromB.width);
    }
    a.reset();
    b.reset();
    EXPECT_EQ(BitmapCache::Instance().References(111, 1.0), 1);
    EXPECT_EQ(fromC.bitmap->Height(), fromC.height);
    c.reset();
    for (int id : IdsOfScheme(0))
    {
      EXPECT_EQ(BitmapCache::Instance().References(id, 1.0), 0) << id;
      EXPECT_EQ(BitmapCache::Instance().References(id, 0.85), 0) << id;
    }
  }
}
