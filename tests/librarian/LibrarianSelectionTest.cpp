// The view's highlighted cells are the librarian's selected slots, which the transfer jobs move on
// their own thread: the slot the menus act on is always the one shown.
#include "gfx/Gfx_MemBitmap.h"
#include "librarian/LibrarianViewControl.h"
#include "tests/librarian/LibrarianTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace
{
constexpr uint32_t kSelected = 0xFF3A6EA5u;
constexpr uint32_t kInactiveSelected = 0xFF44505Cu;

// The cells of a side whose right end (no text reaches it) shows the colour.
std::vector<int> CellsShowing(LibrarianEditor& e, LibrarianViewControl* view, int side, uint32_t colour)
{
  std::vector<int> cells;
  for (int i = 0; i < LibrarianViewControl::kCells; ++i)
  {
    const IRectangle c = view->CellRect(side, i);
    if (e.window->PixelAt(c.R - 2, c.T + 1) == colour) cells.push_back(i);
  }
  return cells;
}
} // namespace

TEST(LibrarianSelection, TheHighlightedCellFollowsTheSlotAJobSelects)
{
  const IRectangle r(50, 120, 1450, 696);
  // An opaque background, as the document gives the view: a cell no longer selected is painted over.
  Gfx_MemBitmap background(r.W(), r.H());
  std::fill_n(background.PixelData(), size_t(background.RowSpan()) * size_t(r.H()), 0xFF202020u);
  LibrarianEditor e(1.0);
  PatchLibrarian lib;
  for (int i : {0, 5})
  {
    lib.selectedLeftSlot = i;
    lib.StoreReceivedSlot(NamedSlot(i == 0 ? "First" : "Sixth"));
  }
  lib.selectedLeftSlot = 0;
  auto* view =
      new LibrarianViewControl(&e.plug, r.L, r.T, IBitmapStrip(&background, r.W(), r.H()), r, &lib, 1.0);
  e.graphics->AddControl(view);

  const IRectangle sixth = view->CellRect(0, 5);
  e.Click((sixth.L + sixth.R) / 2, (sixth.T + sixth.B) / 2, 1000);
  e.Frame();
  EXPECT_EQ(lib.selectedLeftSlot.load(), 5);
  EXPECT_EQ(CellsShowing(e, view, 0, kSelected), std::vector<int>{5});

  // A bank request ends with the first slot selected, set on the jobs thread; nobody asks the view
  // to redraw.
  std::thread([&] { lib.selectedLeftSlot = 0; }).join();
  EXPECT_TRUE(view->NeedsRedraw());
  e.Frame();
  EXPECT_EQ(view->SelectedCell(0), 0);
  EXPECT_EQ(CellsShowing(e, view, 0, kSelected), std::vector<int>{0});
  // The slot commands act on it: copy and paste take the highlighted slot.
  ASSERT_TRUE(view->CopySelected());
  view->SelectCell(0, 9);
  ASSERT_TRUE(view->PasteToSelected());
  EXPECT_EQ(view->CellText(0, 9), "First");

  // A bank write walks the right pane's slots; the right pane follows it while the left is active.
  std::thread([&] { lib.selectedRightSlot = 70; }).join();
  e.Frame();
  EXPECT_EQ(view->SelectedCell(1), 70);
  EXPECT_EQ(CellsShowing(e, view, 1, kInactiveSelected), std::vector<int>{70});
  EXPECT_EQ(CellsShowing(e, view, 0, kSelected), std::vector<int>{9});
  EXPECT_FALSE(view->NeedsRedraw());
}
