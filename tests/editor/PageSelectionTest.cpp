#include "editor/PageSelection.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/graphics/GraphicsTestSupport.h"

#include <vector>

TEST(PageSelection, ShowsTheSelectedPageAndHidesTheOthers)
{
  LayerGroup panel(1, "panel");
  PlainControl *a, *b, *c, *inner;
  LayerGroup* pageA = Page(20, "A", &a);
  LayerGroup* pageB = Page(21, "B", &b);
  LayerGroup* pageC = Page(35, "C", &c);
  // Page B has pages of its own; showing B shows only its current one.
  LayerGroup* sub1 = Page(300, "B1", &inner);
  PlainControl* other;
  LayerGroup* sub2 = Page(301, "B2", &other);
  pageB->AddChildGroup(sub1);
  pageB->AddChildGroup(sub2);
  pageB->SetCurrentPage(false, 300);
  for (LayerGroup* g : {pageA, pageB, pageC})
    panel.AddChildGroup(g);
  panel.Hide(true);

  std::vector<std::string> log;
  auto sink = [&](const std::string& line) { log.push_back(line); };
  ASSERT_TRUE(PageSelection::SelectPage(&panel, 21, sink));
  EXPECT_EQ(panel.CurrentPage(), 21);
  EXPECT_TRUE(pageB->IsVisible());
  EXPECT_FALSE(b->IsHidden());
  EXPECT_FALSE(inner->IsHidden());
  EXPECT_TRUE(other->IsHidden());
  EXPECT_TRUE(a->IsHidden());
  EXPECT_TRUE(c->IsHidden());

  // An unknown page, or no group at all: nothing changes, and the log says so.
  EXPECT_FALSE(PageSelection::SelectPage(&panel, 22, sink));
  EXPECT_FALSE(PageSelection::SelectPage(nullptr, 20, sink));
  EXPECT_EQ(panel.CurrentPage(), 21);
  EXPECT_FALSE(b->IsHidden());
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("NOT FOUND"), std::string::npos);
  EXPECT_TRUE(PageSelection::SelectPage(&panel, 21)); // no log given: fine
}

TEST(PageSelection, TheBlockFormLeavesOtherBlocksAlone)
{
  EXPECT_EQ(PageSelection::PageBlock(10), 10);
  EXPECT_EQ(PageSelection::PageBlock(99), 90);
  EXPECT_EQ(PageSelection::PageBlock(108), 100);
  EXPECT_EQ(PageSelection::PageBlock(109), -1);
  EXPECT_EQ(PageSelection::PageBlock(118), 110);
  EXPECT_EQ(PageSelection::PageBlock(128), 120);
  EXPECT_EQ(PageSelection::PageBlock(129), -1);
  EXPECT_EQ(PageSelection::PageBlock(130), 130);
  EXPECT_EQ(PageSelection::PageBlock(298), 130);
  EXPECT_EQ(PageSelection::PageBlock(299), -1);
  EXPECT_EQ(PageSelection::PageBlock(5000), 300);
  EXPECT_EQ(PageSelection::PageBlock(9), -1);

  LayerGroup panel(1, "panel");
  PlainControl *osc1, *osc2, *lfo;
  panel.AddChildGroup(Page(100, "osc1", &osc1));
  panel.AddChildGroup(Page(101, "osc2", &osc2));
  panel.AddChildGroup(Page(110, "lfo", &lfo));
  panel.Hide(false);
  ASSERT_TRUE(PageSelection::SelectPage(&panel, 110));
  EXPECT_FALSE(lfo->IsHidden());
  ASSERT_TRUE(PageSelection::SelectPageInBlock(&panel, 101));
  EXPECT_FALSE(osc2->IsHidden());
  EXPECT_TRUE(osc1->IsHidden());
  EXPECT_FALSE(lfo->IsHidden()); // another block: kept
  ASSERT_TRUE(PageSelection::SelectPage(&panel, 101));
  EXPECT_TRUE(lfo->IsHidden());
}

// Start-up shows each top-level group with its first page; an overlay and the popups named to
// start hidden stay hidden, also when they share the current page id 0 or come first.
TEST(PageSelection, StartUpShowsFirstPagesButNoOverlayOrPopup)
{
  TestGraphics editor(nullptr, 1500, 757);
  PlainControl *mixer, *popup, *settings, *filters, *conflict, *panning;
  auto* pages = new LayerGroup(3, "pages");
  auto* multi = Page(10, "multiPage", nullptr);
  auto* mixerPage = Page(50, "multiModeMixer", &mixer);
  mixerPage->AddChildGroup(Page(0, "partPanning1", &panning));
  multi->AddChildGroup(mixerPage);
  multi->AddChildGroup(Page(52, "multiModeSettingsPage1", &settings));
  auto* additional = Page(0, "additionalSettings", nullptr);
  additional->AddChildGroup(Page(101, "additionalSettingsPart1", &popup));
  multi->AddChildGroup(additional);
  auto* global = Page(19, "globalPage", nullptr);
  auto* filterWindow = Page(90, "midiFilterWindow", nullptr);
  filterWindow->AddChildGroup(Page(91, "midiFilterSettings", &filters));
  global->AddChildGroup(filterWindow);
  pages->AddChildGroup(multi);
  pages->AddChildGroup(global);
  editor.AddLayerGroup(pages);
  auto* window = Page(300, "bankPatchConflictWindow", &conflict);
  window->SetReportDirtyWhenHidden(true);
  editor.AddLayerGroup(window);

  // As the configuration reader leaves them: everything hidden.
  pages->Hide(true);
  window->Hide(true);
  PageSelection::ShowFirstPages(&editor, {"additionalSettings", "midiFilterWindow"});
  EXPECT_EQ(pages->CurrentPage(), 10);
  EXPECT_EQ(multi->CurrentPage(), 50);
  EXPECT_FALSE(mixer->IsHidden());
  EXPECT_FALSE(panning->IsHidden()); // id 0 below a page: always with it
  EXPECT_TRUE(settings->IsHidden());
  EXPECT_TRUE(popup->IsHidden());
  EXPECT_TRUE(conflict->IsHidden());
  EXPECT_FALSE(window->IsVisible());

  // The popup still opens when selected, and the global page shows without its popup.
  ASSERT_TRUE(PageSelection::SelectPage(pages, 19));
  EXPECT_TRUE(filters->IsHidden());
  ASSERT_TRUE(PageSelection::SelectPage(filterWindow, 91));
  EXPECT_FALSE(filters->IsHidden());
}
