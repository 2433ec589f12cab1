#include "GraphicsTestSupport.h"

#include "framework/controls/IBitmapControl.h"
#include "framework/controls/IKnobMultiControl.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/DirtyRegion.h"
#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

#include <memory>

TEST(DirtyRegion, MergesOverlappingAndNearAreasAndKeepsFarOnesApart)
{
  DirtyRegion r;
  r.Add(IRectangle()); // no rectangle
  EXPECT_EQ(r.Count(), 0);
  EXPECT_EQ(r.Bounds(), IRectangle());

  r.Add(IRectangle(0, 0, 10, 10));
  r.Add(IRectangle(100, 100, 110, 110));
  EXPECT_EQ(r.Count(), 2);
  EXPECT_TRUE(r.WorthSplitting());

  r.Add(IRectangle(5, 5, 20, 20)); // overlaps the first
  ASSERT_EQ(r.Count(), 2);
  EXPECT_EQ(r.Area(1), IRectangle(0, 0, 20, 20));

  r.Add(IRectangle(20 + DirtyRegion::kNear, 0, 40, 10)); // exactly kNear to the right: near
  EXPECT_EQ(r.Count(), 2);
  r.Add(IRectangle(41 + DirtyRegion::kNear, 0, 80, 10)); // one pixel further from (0, 0, 40, 20): apart
  EXPECT_EQ(r.Count(), 3);

  // A rectangle near two areas joins them, and the grown area then takes in the third it reaches.
  r.Add(IRectangle(40, 10, 90, 100));
  ASSERT_EQ(r.Count(), 1);
  EXPECT_EQ(r.Area(0), IRectangle(0, 0, 110, 110));
  EXPECT_FALSE(r.WorthSplitting());

  // Two areas that fill most of their bounds are not worth splitting.
  DirtyRegion wide;
  wide.Add(IRectangle(0, 0, 100, 50));
  wide.Add(IRectangle(0, 70, 100, 120));
  EXPECT_EQ(wide.Count(), 2);
  EXPECT_FALSE(wide.WorthSplitting());
}

TEST(DirtyRegion, AFullListFoldsNewAreasIntoTheClosest)
{
  DirtyRegion r;
  IRectangle all;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
    {
      const IRectangle rect(x * 100, y * 100, x * 100 + 10, y * 100 + 10);
      r.Add(rect);
      all = DirtyRegion::Union(all, rect);
      ASSERT_LE(r.Count(), DirtyRegion::kMaxAreas);
    }
  EXPECT_EQ(r.Bounds(), all);
  // Every rectangle lies inside one area, and the areas stay apart from one another.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
    {
      const IRectangle rect(x * 100, y * 100, x * 100 + 10, y * 100 + 10);
      int inside = 0;
      for (int i = 0; i < r.Count(); ++i)
        inside += DirtyRegion::Union(r.Area(i), rect) == r.Area(i);
      EXPECT_EQ(inside, 1) << x << "," << y;
    }
  for (int i = 0; i < r.Count(); ++i)
    for (int k = i + 1; k < r.Count(); ++k)
      EXPECT_FALSE(DirtyRegion::Near(r.Area(i), r.Area(k)));
}

namespace
{
// Images with every alpha: 1 the background (opaque), 2 a knob strip of 8 frames of 30 x 30, 3 a
// translucent veil over the whole window.
class AreaGraphics : public TestGraphics
{
public:
  explicit AreaGraphics(IEffectBase* plug) : TestGraphics(plug, 300, 200) {}
  Gfx_IBitmap* LoadBitmapResource(int id, const char*) override
  {
    if (id == kBackgroundImageId) return Picture(300, 200, 0xFF000000u);
    if (id == 2) return Picture(30, 240, 0);
    if (id == 3) return Picture(300, 200, 0x40000000u);
    return nullptr;
  }
  static Gfx_MemBitmap* Picture(int w, int h, uint32_t alphaBits)
  {
    auto* b = new Gfx_MemBitmap(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        b->Row(y)[x] = alphaBits | uint32_t((x * 9 + y * 5) & 0xFF) << 24 | uint32_t(x * 3 & 0xFF) << 16 |
                       uint32_t(y * 7 & 0xFF) << 8 | uint32_t((x ^ y) & 0xFF);
    return b;
  }
};

// One editor: background, knobs in a grid (parameters 0..), a page with knobs and a text, a veil
// over everything, and a text crossing the top-left knob.
struct AreaEditor
{
  HostlessPlug plug;
  AreaGraphics* g = new AreaGraphics(&plug);

  AreaEditor()
  {
    g->AttachBackgroundFrame(1.0);
    const IBitmapStrip knob = g->LoadScaledBitmap(2, "knob.png", 1.0, 8);
    for (int i = 0; i < 24; ++i)
      g->AddControl(new IKnobMultiControl(&plug, 5 + (i % 8) * 37, 5 + (i / 8) * 65, i, knob));
    ITextStyle style;
    style.size = 16;
    style.hAlign = ITextStyle::kAlignLeft;
    style.colour = IColour(200, 250, 240, 10);
    auto* text = new ITextControl(&plug, IRectangle(10, 20, 290, 40), style);
    text->SetText("Resonance and cutoff");
    g->AddControl(text);

    auto* panel = new LayerGroup(1, "panel");
    auto* page = new LayerGroup(10, "page");
    for (int i = 0; i < 4; ++i)
      page->AddControl(new IKnobMultiControl(&plug, 40 + i * 60, 150, 30 + i, knob));
    page->AddControl(new IBitmapControl(&plug, 0, 0, -1, g->LoadScaledBitmap(3, "veil.png", 1.0, 1)));
    panel->AddChildGroup(page);
    panel->SetCurrentPage(false, 10);
    g->AddLayerGroup(panel);
    panel->Hide(false);
    plug.AttachEditor(g); // the plug-in owns the editor
    const IRectangle all(0, 0, 300, 200);
    g->DrawDirty(&all);
    while (g->DrawFrame())
    {
    }
    g->paints.clear();
  }

  uint32_t Pixel(int x, int y) const { return g->DrawBitmapSurface()->Row(y)[x]; }
};
} // namespace

// Two controls far apart change: the frame repaints the two areas alone, and the window holds
// exactly the pixels of a full redraw (text clipped to the areas, the veil drawn once per area).
TEST(DirtyAreas, AFrameOfFarApartAreasEqualsAFullRedraw)
{
  AreaEditor split, full;
  for (AreaEditor* e : {&split, &full})
  {
    e->g->SyncParameterToControls(0, 0.6, true);  // top-left knob, under the text
    e->g->SyncParameterToControls(33, 0.9, true); // bottom-right knob of the page
  }
  IRectangle painted;
  ASSERT_TRUE(split.g->DrawFrame(&painted));
  ASSERT_EQ(split.g->paints.size(), 2u);
  EXPECT_EQ(split.g->paints[0], IRectangle(5, 5, 35, 35));
  EXPECT_EQ(split.g->paints[1], IRectangle(220, 150, 250, 180));
  EXPECT_EQ(painted, IRectangle(5, 5, 250, 180));

  const IRectangle all(0, 0, 300, 200);
  full.g->DrawDirty(&all);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      ASSERT_EQ(split.Pixel(x, y), full.Pixel(x, y)) << "at " << x << "," << y;

  // The dirty flag's second repaint goes through the same areas; then all is quiet.
  split.g->paints.clear();
  ASSERT_TRUE(split.g->DrawFrame());
  EXPECT_EQ(split.g->paints.size(), 2u);
  EXPECT_FALSE(split.g->DrawFrame());
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      ASSERT_EQ(split.Pixel(x, y), full.Pixel(x, y)) << "at " << x << "," << y;
}

// Areas are drawn in one walk: each control once per area it meets, none outside them, and every
// request ended, as with one rectangle.
TEST(DirtyAreas, ControlsAreDrawnOncePerAreaTheyMeet)
{
  HostlessPlug plug;
  TestGraphics g(&plug, 400, 300);
  g.CreateDrawBitmaps();
  auto* a = new CountingControl(&plug, IRectangle(0, 0, 10, 10));
  auto* b = new CountingControl(&plug, IRectangle(380, 280, 390, 290));
  auto* middle = new CountingControl(&plug, IRectangle(150, 100, 200, 150));
  auto* spanning = new CountingControl(&plug, IRectangle(0, 0, 400, 300));
  // Two controls close together (one area to paint) with a third only in the gap between them.
  auto* left = new CountingControl(&plug, IRectangle(210, 10, 240, 40));
  auto* gap = new CountingControl(&plug, IRectangle(242, 10, 248, 40));
  auto* right = new CountingControl(&plug, IRectangle(250, 10, 280, 40));
  g.AddControl(spanning);
  g.AddControl(a);
  g.AddControl(b);
  g.AddControl(middle);
  g.AddControl(left);
  g.AddControl(gap);
  g.AddControl(right);
  FramesUntilQuiet(g);
  const int before[4] = {spanning->draws, a->draws, b->draws, middle->draws};

  a->RequestRedraw(false);
  b->RequestRedraw(false);
  g.paints.clear();
  IRectangle painted;
  ASSERT_TRUE(g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(0, 0, 390, 290));
  EXPECT_EQ(g.paints.size(), 2u);
  EXPECT_EQ(spanning->draws - before[0], 2); // meets both areas
  EXPECT_EQ(a->draws - before[1], 1);
  EXPECT_EQ(b->draws - before[2], 1);
  EXPECT_EQ(middle->draws - before[3], 0); // between them: not repainted
  EXPECT_FALSE(g.DrawFrame());

  // Close together, each is repainted in its own area: the gap between them is left alone.
  const int gapBefore = gap->draws, spanningBefore = spanning->draws;
  left->RequestRedraw(false);
  right->RequestRedraw(false);
  ASSERT_TRUE(g.DrawFrame());
  EXPECT_EQ(gap->draws, gapBefore);
  EXPECT_EQ(spanning->draws - spanningBefore, 2); // once under each
  EXPECT_FALSE(g.DrawFrame());

  // A rectangle that takes in most of the bounds is repainted in one piece.
  a->RequestRedraw(false);
  middle->RequestRedraw(false);
  spanning->RequestRedraw(false);
  g.paints.clear();
  ASSERT_TRUE(g.DrawFrame(&painted));
  ASSERT_EQ(g.paints.size(), 1u);
  EXPECT_EQ(g.paints[0], IRectangle(0, 0, 400, 300));
}

// Controls that change close together are repainted each in its own area (the gaps between them
// are left alone), overlapping dirty controls share one area, and the window still holds exactly the
// pixels of a full redraw, with the text crossing a knob and the veil over everything blended once.
TEST(DirtyAreas, EachDirtyControlIsRepaintedInItsOwnArea)
{
  DirtyRegion r;
  r.Add(IRectangle(0, 0, 10, 10));
  r.Add(IRectangle(12, 0, 22, 10)); // near: one area, two control areas
  r.Add(IRectangle(5, 5, 15, 15));  // overlaps both: the three become one control area
  r.Add(IRectangle(30, 0, 40, 10));
  EXPECT_EQ(r.Count(), 1);
  ASSERT_EQ(r.ControlCount(), 2);
  EXPECT_TRUE(r.ControlAreasUsable());
  for (int i = 0; i < r.ControlCount(); ++i)
    for (int k = i + 1; k < r.ControlCount(); ++k)
      EXPECT_FALSE(DirtyRegion::Overlap(r.ControlAreas()[i], r.ControlAreas()[k]));

  AreaEditor near, full;
  for (AreaEditor* e : {&near, &full})
  {
    // A row of neighbouring knobs under the text, and two knobs of the page under the veil.
    for (int i = 0; i < 8; ++i)
      e->g->SyncParameterToControls(i, 0.1 * i, true);
    e->g->SyncParameterToControls(30, 0.4, true);
    e->g->SyncParameterToControls(31, 0.7, true);
  }
  while (near.g->DrawFrame())
  {
  }
  const IRectangle all(0, 0, 300, 200);
  full.g->DrawDirty(&all);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      ASSERT_EQ(near.Pixel(x, y), full.Pixel(x, y)) << "at " << x << "," << y;
}
