#include "librarian/BankEditPopupMenu.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchPanePopupMenu.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "tests/librarian/LibrarianTestSupport.h"

#include <gtest/gtest.h>

namespace
{
struct MenuFixture
{
  MenuFixture()
  {
    view =
        new LibrarianViewControl(&e.plug, 50, 120, IBitmapStrip(), IRectangle(50, 120, 1450, 696), &lib, 1.0);
    e.graphics->AddControl(view);
  }
  template <class Menu, class... Args> Menu* Add(const IRectangle& r, Args... args)
  {
    auto* m = new Menu(&e.plug, r, IBitmapStrip(), "Menu", args...);
    e.graphics->AddControl(m);
    return m;
  }
  // A click on the button with the menu answered by the item id (-1: closed without a choice).
  void ChooseAt(const IRectangle& r, int id)
  {
    e.window->QueueMenuAnswer(id);
    e.Click(r.L + 2, r.T + 2, clock += 1000);
  }
  std::vector<std::string> Texts(int level) const
  {
    std::vector<std::string> t;
    for (const PopupMenuItem& item : e.window->LastMenu().levels.at(size_t(level)).items)
      t.push_back(item.text);
    return t;
  }

  LibrarianEditor e{1.0};
  PatchLibrarian lib;
  LibrarianViewControl* view = nullptr;
  uint32_t clock = 0;
};
} // namespace

TEST(LibrarianMenus, PaneMenusFollowTheKindOfBankAndReachTheMainClass)
{
  MenuFixture f;
  const IRectangle leftRect(10, 10, 90, 30), rightRect(100, 10, 180, 30);
  auto* left = f.Add<LeftPatchPopupMenu>(leftRect, &f.lib, f.view);
  f.Add<RightPatchPopupMenu>(rightRect, &f.lib, f.view);

  // Programs: the left pane's top menu has seven items (the whole-performance and global sends
  // after the slot's), so receive banks A..H take ids 7..14, store banks ids 15..22.
  f.ChooseAt(leftRect, 9);
  ASSERT_EQ(f.e.window->MenusShown(), 1);
  EXPECT_EQ(f.Texts(0),
            (std::vector<std::string>{"Receive from Hardware", "Store to Hardware", "", "Send Selected Slot",
                                      "", "Send Current Performance", "Send Global Settings"}));
  EXPECT_EQ(f.Texts(2).back(), "All Current Patches to Bank H");
  f.ChooseAt(leftRect, 22);
  f.view->SelectCell(0, 12);
  f.ChooseAt(leftRect, 3);
  f.ChooseAt(leftRect, 5);
  f.ChooseAt(leftRect, 6);
  EXPECT_EQ(f.e.plug.calls,
            (std::vector<std::string>{
                "request 0 2", "store 0 0 7", "send 12 0",
                "transfer " + std::to_string(int(ILibrarianHost::Transfer::kSendPerformance)) + " 0",
                "transfer " + std::to_string(int(ILibrarianHost::Transfer::kSendGlobals)) + " 0"}));
  EXPECT_EQ(f.view->loadedSlot.load(), 12);

  // Performances: four banks; the right pane cannot receive, only store and send.
  f.e.plug.calls.clear();
  f.lib.SetMode(PatchLibrarian::kPerformances);
  f.ChooseAt(leftRect, 10);
  EXPECT_EQ(f.Texts(1).size(), 4u);
  EXPECT_EQ(f.Texts(2)[0], "All Performances to Bank A");
  f.ChooseAt(rightRect, 4);
  EXPECT_EQ(f.Texts(0), (std::vector<std::string>{"Store to Hardware", "", "Send Selected Slot"}));
  f.view->SelectCell(1, 99);
  f.ChooseAt(rightRect, 2);
  EXPECT_EQ(f.e.plug.calls, (std::vector<std::string>{"request 1 3", "store 1 1 1", "send 99 1"}));

  // Patterns: one set; a menu closed without a choice does nothing.
  f.e.plug.calls.clear();
  f.lib.SetMode(PatchLibrarian::kPatterns);
  f.ChooseAt(leftRect, -1);
  f.ChooseAt(leftRect, 7);
  EXPECT_EQ(f.Texts(1), (std::vector<std::string>{"All Patterns"}));
  EXPECT_EQ(f.e.plug.calls, (std::vector<std::string>{"request 2 0"}));

  // Every rebuild frees the submenus of the last one; a greyed button opens nothing.
  EXPECT_EQ(left->SubmenuCount(), 2);
  left->SetGreyed(true);
  const int shown = f.e.window->MenusShown();
  f.ChooseAt(leftRect, 4);
  EXPECT_EQ(f.e.window->MenusShown(), shown);
}

TEST(LibrarianMenus, BankEditCopiesPastesAndClearsTheSelectedSlot)
{
  MenuFixture f;
  const IRectangle r(10, 10, 90, 30);
  f.Add<BankEditPopupMenu>(r, f.view);
  f.lib.PutSlot(0, 2, NamedSlot("Keys"));
  f.view->RefreshLeft();

  f.ChooseAt(r, BankEditPopupMenu::kPaste); // nothing copied yet: greyed, cannot be chosen
  EXPECT_NE(f.e.window->LastMenu().levels[0].items[1].flags, 0);
  EXPECT_TRUE(f.e.plug.status.empty());

  f.view->SelectCell(0, 2);
  f.ChooseAt(r, BankEditPopupMenu::kCopy);
  f.view->SelectCell(1, 64);
  f.ChooseAt(r, BankEditPopupMenu::kPaste);
  EXPECT_EQ(f.e.window->LastMenu().levels[0].items[1].flags, 0);
  EXPECT_EQ(f.view->CellText(1, 64), "Keys");
  EXPECT_EQ(f.lib.receiveTargetSlot.load(), 64);

  f.view->SelectCell(0, 2);
  f.ChooseAt(r, BankEditPopupMenu::kClear);
  EXPECT_EQ(f.view->CellText(0, 2), "");
  f.ChooseAt(r, BankEditPopupMenu::kCopy); // the cleared slot is empty
  EXPECT_EQ(f.e.plug.status.size(), 1u);
}

// Below the editing items, the selected slot's transfers for the kind of bank the librarian shows.
TEST(LibrarianMenus, TheSlotMenuOffersTheSlotsTransfersForTheKindOfBank)
{
  MenuFixture f;
  const IRectangle r(10, 10, 90, 30);
  f.Add<BankEditPopupMenu>(r, f.view);
  using T = ILibrarianHost::Transfer;
  auto call = [](T t, int bank) { return "transfer " + std::to_string(int(t)) + " " + std::to_string(bank); };

  // Programs: nine top items, then the eight banks of the receive submenu (ids 9..16).
  f.ChooseAt(r, 15);
  EXPECT_EQ(f.Texts(0), (std::vector<std::string>{
                            "Copy Slot", "Paste Slot", "Clear Slot", "", "Receive Slot from Hardware",
                            "Receive Edit Buffer into Slot", "Store Current Program into Slot",
                            "Initialise Slot", "Send Current Program to Hardware"}));
  EXPECT_EQ(f.Texts(1).size(), 8u);
  for (int id : {5, 6, 7, 8})
    f.ChooseAt(r, id);
  EXPECT_EQ(f.e.plug.calls,
            (std::vector<std::string>{call(T::kReceiveSlot, 6), call(T::kReceiveEditBuffer, 0),
                                      call(T::kStoreCurrent, 0), call(T::kInitialiseSlot, 0),
                                      call(T::kSendPart, 0)}));

  // Performances: four banks, and the performance is what is stored.
  f.e.plug.calls.clear();
  f.lib.SetMode(PatchLibrarian::kPerformances);
  f.ChooseAt(r, 12);
  EXPECT_EQ(f.Texts(0)[6], "Store Current Performance into Slot");
  EXPECT_EQ(f.Texts(1).size(), 4u);
  EXPECT_EQ(f.e.plug.calls, (std::vector<std::string>{call(T::kReceiveSlot, 3)}));

  // Patterns: nothing to receive or store, only initialise and send the part.
  f.e.plug.calls.clear();
  f.lib.SetMode(PatchLibrarian::kPatterns);
  f.ChooseAt(r, 4);
  EXPECT_EQ(f.Texts(0), (std::vector<std::string>{"Copy Slot", "Paste Slot", "Clear Slot", "",
                                                  "Initialise Slot", "Send Current Program to Hardware"}));
  EXPECT_EQ(f.e.plug.calls, (std::vector<std::string>{call(T::kInitialiseSlot, 0)}));
}

TEST(LibrarianMenus, ProgramAndBankNumbersCheckTheCurrentOneAndSelect)
{
  MenuFixture f;
  const IRectangle programRect(10, 10, 90, 30), bankRect(100, 10, 180, 30);
  f.Add<ProgramNumberPopupMenu>(programRect);
  f.Add<BankNumberPopupMenu>(bankRect);
  f.e.plug.currentBank = 2;
  f.e.plug.currentProgram = 37;

  // Top items 0..7, then eight blocks of 16: program 100 (0-based 99) is item 3 of the seventh.
  f.ChooseAt(programRect, 8 + 6 * 16 + 3);
  EXPECT_EQ(f.Texts(0)[6], "097-112");
  EXPECT_EQ(f.Texts(3)[5], "038");
  EXPECT_NE(f.e.window->LastMenu().levels[3].items[5].flags, 0); // program 38 was checked
  EXPECT_EQ(f.e.window->LastMenu().levels[3].items[4].flags, 0);
  EXPECT_EQ(f.e.plug.calls, (std::vector<std::string>{"select 2 99"}));

  f.ChooseAt(bankRect, 7);
  EXPECT_NE(f.e.window->LastMenu().levels[0].items[2].flags, 0);
  EXPECT_EQ(f.Texts(0)[7], "Bank H");
  EXPECT_EQ(f.e.plug.calls.back(), "select 7 99");
  // A choice in the top menu of the program menu is only a submenu entry: nothing happens.
  f.ChooseAt(programRect, 2);
  EXPECT_EQ(f.e.plug.calls.size(), 2u);
}
