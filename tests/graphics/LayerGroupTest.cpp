#include "GraphicsTestSupport.h"

#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

namespace
{
// parent with children 1, 2, 3, each with one control; child 2 has sub-pages 20 and 21.
struct Tree
{
  HostlessPlug plug;
  TestGraphics g{&plug};
  LayerGroup* parent = new LayerGroup(100, "parent");
  LayerGroup* child[3] = {new LayerGroup(1, "c1"), new LayerGroup(2, "c2"), new LayerGroup(3, "c3")};
  LayerGroup* sub[2] = {new LayerGroup(20, "s20"), new LayerGroup(21, "s21")};
  CountingControl* own = new CountingControl(&plug, IRectangle(0, 0, 100, 100), 7);
  CountingControl* inChild[3];
  CountingControl* inSub[2];

  Tree()
  {
    parent->AddControl(own);
    for (int i = 0; i < 3; ++i)
    {
      inChild[i] = new CountingControl(&plug, IRectangle(10 * i, 0, 10 * i + 10, 10), 7);
      child[i]->AddControl(inChild[i]);
      parent->AddChildGroup(child[i]);
    }
    for (int i = 0; i < 2; ++i)
    {
      inSub[i] = new CountingControl(&plug, IRectangle(50, 50, 60, 60));
      sub[i]->AddControl(inSub[i]);
      child[1]->AddChildGroup(sub[i]);
    }
    g.AddLayerGroup(parent);
    g.CreateDrawBitmaps();
  }
};
} // namespace

TEST(LayerGroups, ShowingShowsOnlyTheCurrentPages)
{
  Tree t;
  t.parent->SetCurrentPage(false, 2);
  t.child[1]->SetCurrentPage(false, 21);
  t.parent->Hide(true);
  t.parent->Hide(false);
  EXPECT_TRUE(t.parent->IsVisible());
  EXPECT_FALSE(t.child[0]->IsVisible());
  EXPECT_TRUE(t.child[1]->IsVisible());
  EXPECT_FALSE(t.child[2]->IsVisible());
  EXPECT_FALSE(t.sub[0]->IsVisible());
  EXPECT_TRUE(t.sub[1]->IsVisible());
  EXPECT_FALSE(t.own->IsHidden());

  // Hit testing: a visible child's control before the parent's own; hidden pages are skipped.
  EXPECT_EQ(t.g.FindControlAt(15, 5), t.inChild[1]);
  EXPECT_EQ(t.g.FindControlAt(5, 5), t.own);
  EXPECT_EQ(t.g.FindControlAt(55, 55), t.inSub[1]);

  // Hiding hides every descendant.
  t.parent->Hide(true);
  for (LayerGroup* c : t.child)
    EXPECT_FALSE(c->IsVisible());
  EXPECT_FALSE(t.sub[1]->IsVisible());
  EXPECT_TRUE(t.inSub[1]->IsHidden());
  EXPECT_EQ(t.g.FindControlAt(5, 5), nullptr);

  // An invisible group finds nothing, even through a child marked visible.
  t.child[1]->Hide(false);
  EXPECT_TRUE(t.child[1]->IsVisible());
  EXPECT_EQ(t.g.FindControlAt(15, 5), nullptr);
}

TEST(LayerGroups, GreyingByPageId)
{
  Tree t;
  t.parent->SetCurrentPage(true, 9);
  EXPECT_EQ(t.parent->CurrentPage(), 9);
  t.parent->SetCurrentPage(true, 153);
  EXPECT_EQ(t.parent->CurrentPage(), 153);

  // Page ids 10..152 grey the matching child only.
  auto* low = new LayerGroup(10, "p10");
  auto* high = new LayerGroup(152, "p152");
  auto* lowControl = new CountingControl(&t.plug, IRectangle(0, 0, 1, 1));
  auto* highControl = new CountingControl(&t.plug, IRectangle(0, 0, 1, 1));
  low->AddControl(lowControl);
  high->AddControl(highControl);
  t.parent->AddChildGroup(low);
  t.parent->AddChildGroup(high);
  t.parent->SetCurrentPage(true, 10);
  EXPECT_TRUE(lowControl->IsGreyed());
  EXPECT_FALSE(highControl->IsGreyed());
  t.parent->SetCurrentPage(true, 152);
  EXPECT_TRUE(highControl->IsGreyed());
  EXPECT_FLOAT_EQ(highControl->Blend().alpha, 0.5f);
  t.parent->SetCurrentPage(false, 152);
  EXPECT_FALSE(highControl->IsGreyed());
  EXPECT_FLOAT_EQ(highControl->Blend().alpha, 1.0f);

  // Greying reaches every descendant; un-greying only the current page's subtree.
  t.parent->SetGreyed(true);
  EXPECT_TRUE(t.own->IsGreyed());
  EXPECT_TRUE(t.inSub[0]->IsGreyed());
  t.parent->SetCurrentPage(false, 2);
  t.child[1]->SetCurrentPage(false, 20);
  t.parent->SetGreyed(false);
  EXPECT_FALSE(t.own->IsGreyed());
  EXPECT_TRUE(t.inChild[0]->IsGreyed());
  EXPECT_FALSE(t.inChild[1]->IsGreyed());
  EXPECT_FALSE(t.inSub[0]->IsGreyed());
  EXPECT_TRUE(t.inSub[1]->IsGreyed());
}

TEST(LayerGroups, DirtyCollectionDrawingAndSync)
{
  Tree t;
  t.parent->SetCurrentPage(false, 1);
  t.parent->Hide(false);
  FramesUntilQuiet(t.g);

  // Only visible groups are collected and drawn; their controls' requests always end.
  t.inChild[2]->RequestRedraw(false); // child 3 is hidden
  EXPECT_FALSE(t.g.DrawFrame());
  t.inChild[0]->RequestRedraw(false);
  IRectangle painted;
  ASSERT_TRUE(t.g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(0, 0, 10, 10));
  const int hiddenDraws = t.inChild[2]->draws;
  t.g.DrawDirty(&painted);
  EXPECT_EQ(t.inChild[2]->draws, hiddenDraws);

  // A hidden group flagged report-dirty-when-hidden still contributes its rectangle.
  t.child[2]->SetReportDirtyWhenHidden(true);
  EXPECT_TRUE(t.inChild[2]->ReportDirtyWhenHidden());
  t.inChild[2]->RequestRedraw(false);
  ASSERT_TRUE(t.g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(20, 0, 30, 10));

  // Values reach controls in every group, visible or not.
  t.g.SyncParameterToControls(7, 0.25, true);
  t.g.SyncParameterToControls(7, 0.75, true);
  EXPECT_DOUBLE_EQ(t.own->Value(), 0.75);
  EXPECT_DOUBLE_EQ(t.inChild[2]->Value(), 0.75);
  EXPECT_DOUBLE_EQ(t.inChild[2]->DefaultValue(), 0.25);
  EXPECT_DOUBLE_EQ(t.inSub[0]->Value(), 0.0);
}
