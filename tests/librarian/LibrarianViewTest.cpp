#include "librarian/LibrarianViewControl.h"
#include "tests/librarian/LibrarianTestSupport.h"

#include "framework/plugin/ParameterIds.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
// The librarian area of the normal-size editor, scaled as the document walker scales it.
IRectangle ScaledArea(double scale)
{
  const int l = int(50 * scale), t = int(120 * scale);
  return IRectangle(l, t, l + int(1400 * scale), t + int(576 * scale));
}

LibrarianViewControl* AddView(LibrarianEditor& e, PatchLibrarian* lib, double scale)
{
  const IRectangle r = ScaledArea(scale);
  auto* view = new LibrarianViewControl(&e.plug, r.L, r.T, IBitmapStrip(), r, lib, scale);
  e.graphics->AddControl(view);
  return view;
}

// Runs the check with a fresh editor, librarian and view at each of the three editor sizes.
template <class Check> void AtEverySize(Check check)
{
  for (double scale : {0.85, 1.0, 1.15})
  {
    SCOPED_TRACE(scale);
    LibrarianEditor e(scale);
    PatchLibrarian lib;
    LibrarianViewControl* view = AddView(e, &lib, scale);
    check(e, lib, view, scale);
  }
}

IRectangle Centre(const IRectangle& c)
{
  return IRectangle((c.L + c.R) / 2, (c.T + c.B) / 2, 0, 0);
}
} // namespace

TEST(LibrarianView, CellsTileBothPanesAndHitTestAtEverySize)
{
  AtEverySize(
      []([[maybe_unused]] LibrarianEditor& e, [[maybe_unused]] PatchLibrarian& lib,
         LibrarianViewControl* view, [[maybe_unused]] double scale)
      {
        EXPECT_EQ(view->ParamIdx(), kLibrarianArea);
        const IRectangle area = ScaledArea(scale);
        for (int side = 0; side < 2; ++side)
          for (int i = 0; i < LibrarianViewControl::kCells; ++i)
          {
            const IRectangle c = view->CellRect(side, i);
            ASSERT_GT(c.W(), 0);
            ASSERT_GT(c.H(), 0);
            // Every corner of the cell hits the cell itself.
            for (auto [x, y] : {std::pair{c.L, c.T}, {c.R - 1, c.T}, {c.L, c.B - 1}, {c.R - 1, c.B - 1}})
            {
              int s = -1, index = -1;
              ASSERT_TRUE(view->CellAt(x, y, &s, &index)) << side << " " << i;
              ASSERT_EQ(s, side);
              ASSERT_EQ(index, i) << x << "," << y;
            }
            // Neighbours share their edges: no gaps, no overlaps.
            if (i % LibrarianViewControl::kRows != LibrarianViewControl::kRows - 1)
            {
              ASSERT_EQ(view->CellRect(side, i + 1).T, c.B);
            }
            if (i + LibrarianViewControl::kRows < LibrarianViewControl::kCells)
            {
              ASSERT_EQ(view->CellRect(side, i + LibrarianViewControl::kRows).L, c.R);
            }
          }
        // The panes fill the area apart from the gap between them.
        EXPECT_EQ(view->CellRect(0, 0).L, area.L);
        EXPECT_EQ(view->CellRect(0, 0).T, area.T);
        EXPECT_EQ(view->CellRect(0, 127).B, area.B);
        EXPECT_LE(view->CellRect(1, 127).R, area.R);
        EXPECT_GE(view->CellRect(1, 127).R, area.R - 1);
        const int gapX = (view->CellRect(0, 127).R + view->CellRect(1, 0).L) / 2;
        EXPECT_FALSE(view->CellAt(gapX, area.T + 5, nullptr, nullptr));
        EXPECT_FALSE(view->CellAt(area.L - 1, area.T, nullptr, nullptr));
        EXPECT_FALSE(view->CellAt(area.L, area.B, nullptr, nullptr));
        EXPECT_TRUE(view->CellRect(2, 0).Empty());
        EXPECT_TRUE(view->CellRect(0, 128).Empty());
      });
}

TEST(LibrarianView, ClicksSelectAndDoubleClicksSendTheSlot)
{
  AtEverySize(
      []([[maybe_unused]] LibrarianEditor& e, [[maybe_unused]] PatchLibrarian& lib,
         LibrarianViewControl* view, [[maybe_unused]] double scale)
      {
        IRectangle p = Centre(view->CellRect(1, 40));
        e.Click(p.L, p.T, 1000);
        EXPECT_EQ(view->side.load(), 1);
        EXPECT_EQ(view->SelectedCell(1), 40);
        EXPECT_EQ(lib.selectedRightSlot.load(), 40);
        EXPECT_TRUE(e.plug.calls.empty());

        p = Centre(view->CellRect(0, 77));
        e.Click(p.L, p.T, 5000);
        EXPECT_EQ(view->side.load(), 0);
        EXPECT_EQ(lib.selectedLeftSlot.load(), 77);
        e.Click(p.L, p.T, 5100); // the second quick press is a double click
        ASSERT_EQ(e.plug.calls.size(), 1u);
        EXPECT_EQ(e.plug.calls[0], "send 77 0");
        EXPECT_EQ(view->loadedSlot.load(), 77);

        // A click between the panes changes nothing.
        const IRectangle gap(view->CellRect(0, 100).R + 2, view->CellRect(0, 100).T + 2, 0, 0);
        e.Click(gap.L, gap.T, 9000);
        EXPECT_EQ(lib.selectedLeftSlot.load(), 77);
        EXPECT_EQ(view->side.load(), 0);
      });
}

TEST(LibrarianView, DraggingASlotCopiesItAndMakesTheTargetTheReceiveSlot)
{
  LibrarianEditor e(1.0);
  PatchLibrarian lib;
  lib.selectedLeftSlot = 3;
  lib.StoreReceivedSlot(NamedSlot("Dragged"));
  LibrarianViewControl* view = AddView(e, &lib, 1.0);
  e.Frame();
  EXPECT_EQ(view->CellText(0, 3), "Dragged");

  const IRectangle from = Centre(view->CellRect(0, 3));
  const IRectangle to = Centre(view->CellRect(1, 10));
  e.window->InjectPress(from.L, from.T, kWindowButtonLeft, 100);
  e.window->InjectMove(from.L + 30, from.T + 4, kWindowButtonLeft);
  e.window->InjectMove(to.L, to.T, kWindowButtonLeft);
  e.window->InjectRelease(to.L, to.T, kWindowButtonLeft);
  e.window->Pump();
  EXPECT_EQ(view->CellText(1, 10), "Dragged");
  EXPECT_EQ(lib.receiveTargetSlot.load(), 10);
  EXPECT_EQ(view->side.load(), 1);
  EXPECT_EQ(view->SelectedCell(1), 10);
  LibrarianSlot copied;
  ASSERT_TRUE(lib.CopySlot(1, 10, &copied));
  EXPECT_EQ(copied.messages.size(), 1u);

  // Dragging an empty cell onto a full one wipes nothing.
  const IRectangle empty = Centre(view->CellRect(0, 50));
  e.window->InjectPress(empty.L, empty.T, kWindowButtonLeft, 2000);
  e.window->InjectMove(to.L, to.T, kWindowButtonLeft);
  e.window->InjectRelease(to.L, to.T, kWindowButtonLeft);
  e.window->Pump();
  EXPECT_EQ(view->CellText(1, 10), "Dragged");
}

TEST(LibrarianView, KeysMoveTheSelectionFindNamesAndSend)
{
  LibrarianEditor e(1.15);
  PatchLibrarian lib;
  lib.PutSlot(0, 20, NamedSlot("Pad Warm"));
  lib.PutSlot(0, 90, NamedSlot("pluck"));
  lib.PutSlot(0, 5, NamedSlot("Pad Cold"));
  LibrarianViewControl* view = AddView(e, &lib, 1.15);
  view->RefreshLeft();
  const IRectangle over = Centre(view->CellRect(0, 0));
  e.window->SetPointer(over.L, over.T);
  auto key = [&](int k)
  {
    e.window->InjectKey(k);
    e.window->Pump();
  };
  key(kWindowKeyDown);
  EXPECT_EQ(view->SelectedCell(0), 1);
  key(kWindowKeyUp);
  key(kWindowKeyUp); // stays at the first cell
  EXPECT_EQ(view->SelectedCell(0), 0);
  key(kWindowKeyRight);
  EXPECT_EQ(view->SelectedCell(0), 32);
  for (int i = 0; i < 5; ++i)
    key(kWindowKeyRight);
  EXPECT_EQ(view->SelectedCell(0), 127);
  key(kWindowKeyLeft);
  EXPECT_EQ(view->SelectedCell(0), 95);
  // 'P' finds the next name starting with it (either case), wrapping round the bank.
  key('P');
  EXPECT_EQ(view->SelectedCell(0), 5);
  key('P');
  EXPECT_EQ(view->SelectedCell(0), 20);
  key('P');
  EXPECT_EQ(view->SelectedCell(0), 90);
  EXPECT_EQ(lib.selectedLeftSlot.load(), 90);
  EXPECT_TRUE(e.window->ForwardedKeys().empty());
  key('Z'); // no name starts with it: the key belongs to the host
  EXPECT_EQ(e.window->ForwardedKeys().size(), 1u);
  EXPECT_EQ(view->SelectedCell(0), 90);
  key(kWindowKeySpace);
  ASSERT_EQ(e.plug.calls.size(), 1u);
  EXPECT_EQ(e.plug.calls[0], "send 90 0");

  // Greyed, the view takes neither keys nor clicks.
  view->SetGreyed(true);
  key(kWindowKeyDown);
  EXPECT_EQ(view->SelectedCell(0), 90);
  EXPECT_EQ(e.window->ForwardedKeys().size(), 2u);
}

TEST(LibrarianView, DrawsSelectionAndNamesAndFollowsTheModel)
{
  AtEverySize(
      []([[maybe_unused]] LibrarianEditor& e, [[maybe_unused]] PatchLibrarian& lib,
         LibrarianViewControl* view, [[maybe_unused]] double scale)
      {
        view->SelectCell(0, 33);
        e.Frame();
        const IRectangle sel = view->CellRect(0, 33);
        const IRectangle other = view->CellRect(0, 34);
        // The selected cell's right end (no text there) shows the selection colour; its neighbour not.
        EXPECT_EQ(e.window->PixelAt(sel.R - 2, sel.T + 1), 0xFF3A6EA5u);
        EXPECT_NE(e.window->PixelAt(other.R - 2, other.T + 1), 0xFF3A6EA5u);

        // A slot stored from another thread shows on the next frame without a refresh call.
        auto textPixels = [&](const IRectangle& c)
        {
          int n = 0;
          for (int y = c.T; y < c.B; ++y)
            for (int x = c.L + c.W() / 3; x < c.R; ++x)
              n += e.window->PixelAt(x, y) != e.window->PixelAt(c.R - 1, c.T);
          return n;
        };
        const IRectangle target = view->CellRect(0, 64);
        const int before = textPixels(target);
        lib.selectedLeftSlot = 64;
        std::thread([&] { lib.StoreReceivedSlot(NamedSlot("WWWWWWWWWWWWWWWW")); }).join();
        view->RequestRedraw(false);
        e.Frame();
        EXPECT_EQ(view->CellText(0, 64), "WWWWWWWWWWWWWWWW");
        EXPECT_GT(textPixels(target), before);
      });
}

TEST(LibrarianView, CopyPasteAndClearWorkOnTheActiveSide)
{
  LibrarianEditor e(1.0);
  PatchLibrarian lib;
  lib.PutSlot(1, 7, NamedSlot("Source"));
  LibrarianViewControl* view = AddView(e, &lib, 1.0);
  view->SelectCell(1, 8);
  EXPECT_FALSE(view->CopySelected()); // empty cell
  EXPECT_FALSE(view->PasteToSelected());
  view->SelectCell(1, 7);
  ASSERT_TRUE(view->CopySelected());
  view->SelectCell(0, 126);
  ASSERT_TRUE(view->PasteToSelected());
  EXPECT_EQ(view->CellText(0, 126), "Source");
  EXPECT_EQ(lib.receiveTargetSlot.load(), 126);
  view->SelectCell(1, 7);
  ASSERT_TRUE(view->ClearSelected());
  EXPECT_EQ(view->CellText(1, 7), "");
  EXPECT_EQ(view->CellText(0, 126), "Source");
}
