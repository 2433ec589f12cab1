// The librarian's slot commands act on the slot the view shows, and the program-conflict window
// asks and then sends or cancels: end to end, the built plug-in in the test host with its editor on
// the X display driven through XTest, the simulated synthesizer on the JACK server. Run under
// scripts/with-jack scripts/with-xvfb; without them the suite skips.
#include "config/ConfigReader.h"
#include "editor/ConflictWindow.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "gfx/Gfx_SysBitmap.h"
#include "librarian/BankEditPopupMenu.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "tests/support/EndToEndFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
class SlotAndConflictEndToEnd : public EndToEndFixture
{
protected:
  SlotAndConflictEndToEnd() { simSeed = 31; }

  template <class Menu> IRectangle MenuRect()
  {
    const Menu* menu = reference->FirstOfClass<Menu>();
    return menu ? menu->Rect() : IRectangle();
  }

  // Where the first message the synthesizer heard from `from` on that starts so lies in its log; -1 for none.
  long HeardAfter(const std::string& start, size_t from)
  {
    const std::vector<std::string> log = SimLog();
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].rfind("IN " + start, 0) == 0) return long(i);
    return -1;
  }
  bool WasHeardAfter(const std::string& start, size_t from) { return HeardAfter(start, from) >= 0; }

  // The synthesizer's count of stores once nothing more arrives (a part selected sends the performance
  // that holds it a moment later).
  std::string SettledWrites()
  {
    std::string now = SimWrites(), before;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    do
    {
      before = now;
      editor->Pump(400ms);
      now = SimWrites();
    } while (now != before && std::chrono::steady_clock::now() < deadline);
    return now;
  }

  // Waits until the request that brings the selected part's new program into the editor has ended.
  void WaitForTheFollowUp()
  {
    ASSERT_NE(WaitForAnyStatus({"Data request completed!", "CONNECTION TIMED OUT!"}), "")
        << "the part's new program was never asked for";
  }

  // The left pane's cells that show the selection colour at their right end, where no name reaches.
  std::vector<int> HighlightedLeftCells()
  {
    const LibrarianViewControl* view = reference->LibrarianView();
    std::vector<int> cells;
    if (!view) return cells;
    for (int i = 0; i < LibrarianViewControl::kCells; ++i)
    {
      const IRectangle c = view->CellRect(0, i);
      std::vector<uint32_t> pixel;
      if (editor->Region(c.R - 2, c.T + 1, 1, 1, pixel) && pixel.size() == 1 && pixel[0] == 0x3A6EA5u)
        cells.push_back(i);
    }
    return cells;
  }

  // The conflict window's title bar as the editor draws it on the page shown, and where it lies.
  void ConflictTitle(IRectangle& rect, std::vector<uint32_t>& pixels)
  {
    VELK& plug = reference->Plug();
    LayerGroup* layer = plug.Config()->GetLayer(ConflictWindow::kLayerName);
    ASSERT_NE(layer, nullptr);
    ASSERT_GT(layer->NumControls(), 0);
    const IRectangle box = layer->GetControl(0)->Rect();
    rect = IRectangle(box.L + 8, box.T + 4, box.R - 8, box.T + 24);
    reference->ShowTab(mainTab);
    plug.ShowProgramConflict(0, 1);
    IGraphics* g = reference->Graphics();
    const IRectangle all(0, 0, g->Width(), g->Height());
    g->DrawDirty(&all);
    pixels.clear();
    for (int y = rect.T; y < rect.B; ++y)
      for (int x = rect.L; x < rect.R; ++x)
        pixels.push_back(g->DrawBitmapSurface()->Row(y)[x] & 0xFFFFFF);
    for (double v : {1.0, 0.0}) // its cancel button closes it again
    {
      plug.ParameterAt(kTriggerLibControl)->SetClamped(v);
      plug.HandleParameterChange(kTriggerLibControl);
    }
    ASSERT_FALSE(plug.Conflict().IsOpen());
  }

  IRectangle Button(int param)
  {
    const std::vector<IControl*> controls = reference->ControlsOf(param);
    return controls.empty() ? IRectangle() : controls.front()->Rect();
  }

  void SelectPart(int part)
  {
    IRectangle button;
    ASSERT_TRUE(reference->RadioButton(kQuickTab, part, button));
    const size_t before = SimLog().size();
    editor->Click(button);
    // The part-select NRPN on the global channel (3): controller 6 = part + 76.
    char select[16];
    std::snprintf(select, sizeof select, "B3 06 %02X", part + 76);
    ASSERT_TRUE(editor->PumpUntil([&] { return WasHeardAfter(select, before); }, 10s))
        << "part " << part + 1 << " was not selected on the synthesizer";
  }

  // Program > 001-016 > program (1..16) for the selected part; done says when it took effect.
  void ChooseProgram(int program, const std::function<bool()>& done)
  {
    std::vector<const char*> keys{"Down", "Right"};
    for (int i = 0; i < program; ++i)
      keys.push_back("Down");
    keys.push_back("Return");
    ASSERT_TRUE(Choose(MenuRect<ProgramNumberPopupMenu>(), keys, done)) << "program " << program;
  }
};
} // namespace

// The user selects slot 6, then receives bank A: the request ends with the first slot selected, and
// the view shows that. The slot menu's next command (receive a slot from bank C) goes into the slot
// the view highlights, and writes nothing into the synthesizer.
TEST_F(SlotAndConflictEndToEnd, TheSlotMenuActsOnTheSlotTheViewShowsAfterABankRequest)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect());
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const LibrarianViewControl* view = reference->LibrarianView();
  ASSERT_NE(view, nullptr);
  editor->Click(view->CellRect(0, 5));
  ASSERT_TRUE(editor->PumpUntil([&] { return HighlightedLeftCells() == std::vector<int>{5}; }, 5s));

  ASSERT_TRUE(
      Choose(LeftPaneMenu(), {"Down", "Right", "Down", "Return"}, [&] { return Heard(kBankARequest); }))
      << "the bank request did not start";
  ASSERT_TRUE(WaitForStatus("Data request completed!", 60s)) << "the bank request did not complete";
  editor->Pump(300ms);
  const std::vector<int> shown = HighlightedLeftCells();
  ASSERT_EQ(shown.size(), 1u) << "the view highlights " << shown.size() << " slots";

  // Receive Slot from Hardware > From Bank C.
  const std::string writes = SettledWrites();
  const std::string request = "F0 00 20 29 01 24 03 13 07 "; // nothing asked bank C before
  ASSERT_TRUE(Choose(MenuRect<BankEditPopupMenu>(),
                     {"Up", "Up", "Up", "Up", "Up", "Right", "Down", "Down", "Down", "Return"},
                     [&] { return WasHeardAfter(request, 0); }))
      << "no slot was requested from bank C";
  const std::vector<std::string> log = SimLog();
  const long at = HeardAfter(request, 0);
  ASSERT_GE(at, 0);
  const std::string asked = log.at(size_t(at));
  char expected[64];
  std::snprintf(expected, sizeof expected, "IN %s%02X F7", request.c_str(), shown[0]);
  EXPECT_EQ(asked, expected) << "the slot shown is " << shown[0] + 1;
  ASSERT_TRUE(WaitForStatus("Data request completed!")) << "the slot request did not complete";
  EXPECT_EQ(HighlightedLeftCells(), shown);
  EXPECT_EQ(SimWrites(), writes);
}

// Part 2 plays A-010; part 1 chooses it too: the window asks, and nothing reaches the synthesizer
// until SEND gives it to part 1. Part 3 choosing it is asked again, and CANCEL sends nothing.
TEST_F(SlotAndConflictEndToEnd, TheConflictWindowAsksThenSendsAnywayOrCancels)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect(
      [](ProgramChunk& chunk)
      {
        chunk.SetValue(kMainTab, 1);
        for (int part = 0; part < kPartCount; ++part)
        {
          chunk.SetValue(kMultiPartMIDICh + part, part);
          chunk.SetValue(kMultiPartStatus + part, part == 1 ? 1 : 0);
          chunk.SetValue(kMultiPartBank + part, 0);
          chunk.SetValue(kMultiPartPatch + part, 0);
        }
      }));
  IRectangle title;
  std::vector<uint32_t> windowTitle;
  ASSERT_NO_FATAL_FAILURE(ConflictTitle(title, windowTitle));
  const auto windowShown = [&] { return editor->Shows(title, windowTitle); };
  ASSERT_FALSE(windowShown());
  const IRectangle send = Button(kTriggerProgControl), cancel = Button(kTriggerLibControl);
  ASSERT_GT(send.W(), 0) << "the window has no button that sends anyway";
  ASSERT_GT(cancel.W(), 0) << "the window has no button that cancels";

  ASSERT_NO_FATAL_FAILURE(SelectPart(1));
  size_t before = SimLog().size();
  ASSERT_NO_FATAL_FAILURE(ChooseProgram(10, [&] { return WasHeardAfter("C1 09", before); }));
  ASSERT_NO_FATAL_FAILURE(WaitForTheFollowUp());

  ASSERT_NO_FATAL_FAILURE(SelectPart(0));
  std::string writes = SettledWrites();
  before = SimLog().size();
  ASSERT_NO_FATAL_FAILURE(ChooseProgram(10, windowShown));
  editor->Pump(500ms);
  EXPECT_FALSE(WasHeardAfter("C0 ", before)) << "the program went out before the user answered";
  EXPECT_TRUE(windowShown());

  editor->Click(send);
  ASSERT_TRUE(editor->PumpUntil([&] { return WasHeardAfter("C0 09", before); }, 10s))
      << "SEND did not give part 1 the program";
  EXPECT_GE(HeardAfter("B0 20 05", before), 0);
  EXPECT_LT(HeardAfter("B0 20 05", before), HeardAfter("C0 09", before));
  ASSERT_TRUE(editor->PumpUntil([&] { return !windowShown(); }, 5s)) << "the window stayed up";
  ASSERT_NO_FATAL_FAILURE(WaitForTheFollowUp());
  EXPECT_EQ(SimWrites(), writes) << "a program selection stored something in the synthesizer";

  ASSERT_NO_FATAL_FAILURE(SelectPart(2));
  writes = SettledWrites();
  before = SimLog().size();
  ASSERT_NO_FATAL_FAILURE(ChooseProgram(10, windowShown));
  editor->Click(cancel);
  ASSERT_TRUE(editor->PumpUntil([&] { return !windowShown(); }, 5s)) << "CANCEL left the window up";
  editor->Pump(500ms);
  EXPECT_FALSE(WasHeardAfter("C2 ", before)) << "CANCEL sent the program";
  EXPECT_EQ(SimWrites(), writes);
}
