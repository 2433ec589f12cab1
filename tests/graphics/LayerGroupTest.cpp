#include "GraphicsTestSupport.h"

#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

// Showing a group asks every control of its subtree to repaint (a request also clamps the value),
// shown or not; only the controls of the groups that change are hidden or shown, and only they carry
// the second repaint of a change (the dirty flag).
TEST(LayerGroups, HidingRepaintsTheWholeSubtree)
{
  Tree t;
  t.parent->SetCurrentPage(false, 2);
  t.child[1]->SetCurrentPage(false, 21);
  t.parent->Hide(true);
  std::vector<IControl*> all = {t.own, t.inChild[0], t.inChild[1], t.inChild[2], t.inSub[0], t.inSub[1]};
  for (IControl* c : all)
  {
    c->TakeRedrawRequest();
    c->TakeRedrawRequest();
    ASSERT_FALSE(c->NeedsRedraw());
    c->SetValue(1.5);
  }

  t.parent->Hide(false);
  for (IControl* c : all)
  {
    EXPECT_TRUE(c->NeedsRedraw());
    EXPECT_EQ(c->Value(), 1.0);
  }
  for (IControl* c : {t.own, t.inChild[1], t.inSub[1]})
  {
    EXPECT_FALSE(c->IsHidden());
    EXPECT_TRUE(c->IsDirty());
  }
  for (IControl* c : {t.inChild[0], t.inChild[2], t.inSub[0]})
  {
    EXPECT_TRUE(c->IsHidden());
    EXPECT_FALSE(c->IsDirty());
  }

  // Hiding reaches every descendant; those that were shown repaint where they were.
  for (IControl* c : all)
  {
    c->TakeRedrawRequest();
    c->TakeRedrawRequest();
  }
  t.parent->Hide(true);
  for (IControl* c : all)
    EXPECT_TRUE(c->IsHidden());
  for (IControl* c : {t.own, t.inChild[1], t.inSub[1]})
  {
    EXPECT_TRUE(c->IsDirty());
    EXPECT_TRUE(c->NeedsRedraw());
  }
}

// A subtree hidden whole is not walked again by the next hide (a project recall re-selects every
// page), yet whatever was shown inside it since, or now repaints while hidden, is reached again.
TEST(LayerGroups, HidingAgainReachesWhatWasShownInsideSince)
{
  Tree t;
  t.parent->SetCurrentPage(false, 2);
  t.child[1]->SetCurrentPage(false, 21);
  t.parent->Hide(true);
  std::vector<IControl*> all = {t.own, t.inChild[0], t.inChild[1], t.inChild[2], t.inSub[0], t.inSub[1]};
  auto settle = [&]
  {
    for (IControl* c : all)
    {
      c->TakeRedrawRequest();
      c->TakeRedrawRequest();
    }
  };
  settle();
  t.parent->Hide(true);
  for (IControl* c : all)
    EXPECT_FALSE(c->NeedsRedraw()) << "hidden whole: nothing asked again";

  t.inSub[0]->Hide(false);
  t.parent->Hide(true);
  EXPECT_TRUE(t.inSub[0]->IsHidden());

  t.sub[1]->Hide(false);
  t.parent->Hide(true);
  EXPECT_FALSE(t.sub[1]->IsVisible());
  EXPECT_TRUE(t.inSub[1]->IsHidden());

  t.child[0]->Hide(false);
  t.parent->Hide(true);
  EXPECT_FALSE(t.child[0]->IsVisible());
  EXPECT_TRUE(t.inChild[0]->IsHidden());

  settle();
  t.inChild[2]->SetReportDirtyWhenHidden(true);
  t.parent->Hide(true);
  EXPECT_TRUE(t.inChild[2]->NeedsRedraw());
  settle();
  t.parent->Hide(true);
  EXPECT_TRUE(t.inChild[2]->NeedsRedraw()) << "one that repaints while hidden asks on every hide";

  // Showing the tree again shows its current pages as before.
  t.parent->Hide(false);
  EXPECT_TRUE(t.child[1]->IsVisible());
  EXPECT_TRUE(t.sub[1]->IsVisible());
  EXPECT_FALSE(t.inSub[1]->IsHidden());
  EXPECT_TRUE(t.inSub[0]->IsHidden());
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

// A page with an always-shown layer (id 0) beside one copy of a panel per part (ids 0..7, as the
// document builds them): the part chosen shows its copy only, and the always-shown layer stays,
// whichever part is chosen, also when the page is hidden meanwhile and shown again.
TEST(LayerGroup, APageShowsTheCopyOfTheChosenPartBesideItsOwnLayers)
{
  HostlessPlug plug;
  LayerGroup page(12, "page");
  auto* always = new LayerGroup(0, "always");
  CountingControl* alwaysControl = new CountingControl(&plug, IRectangle(0, 0, 10, 10));
  always->AddControl(alwaysControl);
  page.AddChildGroup(always);
  CountingControl* inCopy[8];
  for (int part = 0; part < 8; ++part)
  {
    auto* copy = new LayerGroup(uint32_t(part), ("panel" + std::to_string(part)).c_str());
    copy->SetPartCopy(part);
    inCopy[part] = new CountingControl(&plug, IRectangle(20, 0, 30, 10), part);
    copy->AddControl(inCopy[part]);
    page.AddChildGroup(copy);
  }
  EXPECT_TRUE(page.HoldsPartCopies());
  EXPECT_FALSE(always->HoldsPartCopies());
  auto shown = [&]
  {
    std::string parts;
    for (int part = 0; part < 8; ++part)
      if (!inCopy[part]->IsHidden()) parts += std::to_string(part);
    return parts;
  };

  page.Hide(true); // as the editor starts: every page hidden, then the first ones shown
  page.Hide(false);
  EXPECT_EQ(shown(), "0");
  EXPECT_FALSE(alwaysControl->IsHidden());

  page.SetCurrentPart(3);
  EXPECT_EQ(shown(), "3");
  EXPECT_FALSE(alwaysControl->IsHidden());
  EXPECT_EQ(page.FindControlAt(25, 5), inCopy[3]);

  // Chosen while the page is hidden: nothing shows until the page does, then that part's copy.
  page.Hide(true);
  page.SetCurrentPart(5);
  EXPECT_EQ(shown(), "");
  page.Hide(false);
  EXPECT_EQ(shown(), "5");
  EXPECT_FALSE(alwaysControl->IsHidden());

  // Greying and un-greying reach the shown copy and the page's own layer.
  page.SetGreyed(true);
  page.SetGreyed(false);
  EXPECT_FALSE(inCopy[5]->IsGreyed());
  EXPECT_FALSE(alwaysControl->IsGreyed());
}

// A part chosen on the synthesizer changes the pages on the MIDI input thread while the editor's
// thread shows, hides and hit-tests them: the current page and part are read and written from
// both (under ThreadSanitizer a plain field is a data race here).
TEST(LayerGroup, PagesAndPartsChangeOnOneThreadWhileAnotherShowsThem)
{
  HostlessPlug plug;
  LayerGroup page(12, "page");
  for (int part = 0; part < 8; ++part)
  {
    auto* copy = new LayerGroup(uint32_t(part), ("panel" + std::to_string(part)).c_str());
    copy->SetPartCopy(part);
    copy->AddControl(new CountingControl(&plug, IRectangle(0, 0, 10, 10), part));
    page.AddChildGroup(copy);
  }
  auto* pages = new LayerGroup(20, "pages");
  pages->AddChildGroup(new LayerGroup(30, "a"));
  pages->AddChildGroup(new LayerGroup(31, "b"));
  page.AddChildGroup(pages);
  page.Hide(false);

  std::atomic<bool> done{false};
  std::thread midi(
      [&]
      {
        for (int i = 0; i < 3000; ++i)
        {
          page.SetCurrentPart(i % 8);
          pages->SetCurrentPage(false, 30 + i % 2);
        }
        done = true;
      });
  int seen = 0;
  // At least a few rounds, also when the other thread is done before this one starts.
  for (int round = 0; !done || round < 100; ++round)
  {
    page.Hide(false);
    pages->Hide(false);
    if (IControl* c = page.FindControlAt(5, 5)) seen |= 1 << c->ParamIdx();
    const int32_t current = pages->CurrentPage();
    EXPECT_TRUE(current == 30 || current == 31 || current == 0) << current;
    EXPECT_GE(page.CurrentPart(), 0);
  }
  midi.join();
  page.SetCurrentPart(6);
  EXPECT_EQ(page.FindControlAt(5, 5)->ParamIdx(), 6);
  EXPECT_NE(seen, 0);
}
