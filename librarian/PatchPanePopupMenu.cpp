#include "librarian/PatchPanePopupMenu.h"

#include "librarian/ILibrarianHost.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"

#include <string>

PatchPanePopupMenu::PatchPanePopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                                       const char* caption, PatchLibrarian* librarian,
                                       LibrarianViewControl* view, int side)
    : LibrarianPopupMenu(plug, rect, image, caption), mLibrarian(librarian), mView(view),
      mSide(side == 0 ? 0 : 1)
{
}

int PatchPanePopupMenu::BankCount(int mode)
{
  switch (mode)
  {
  case PatchLibrarian::kPrograms:
    return 8;
  case PatchLibrarian::kPerformances:
    return 4;
  default:
    return 1;
  }
}

void PatchPanePopupMenu::Build(IMenu& top)
{
  mMode = mLibrarian ? mLibrarian->GetMode() : PatchLibrarian::kPrograms;
  mReceive = mStore = nullptr;
  mSendItem = mSendPerformanceItem = mSendGlobalsItem = -1;
  const int banks = BankCount(mMode);
  auto bankText = [&](const char* prefix, int bank)
  {
    if (mMode == PatchLibrarian::kPatterns) return std::string("All Patterns");
    return std::string(prefix) + char('A' + bank);
  };
  if (mSide == 0 && (mReceive = NewSubmenu()))
  {
    for (int b = 0; b < banks; ++b)
      mReceive->AddItem(bankText("Bank ", b).c_str());
    top.AddSubmenuItem("Receive from Hardware", mReceive);
  }
  if ((mStore = NewSubmenu()))
  {
    const char* prefix =
        mMode == PatchLibrarian::kPrograms ? "All Current Patches to Bank " : "All Performances to Bank ";
    for (int b = 0; b < banks; ++b)
      mStore->AddItem(bankText(prefix, b).c_str());
    top.AddSubmenuItem("Store to Hardware", mStore);
  }
  top.AddSeparator();
  mSendItem = top.Count();
  top.AddItem("Send Selected Slot");
  if (mSide != 0) return;
  top.AddSeparator();
  mSendPerformanceItem = top.Count();
  top.AddItem("Send Current Performance");
  mSendGlobalsItem = top.Count();
  top.AddItem("Send Global Settings");
}

void PatchPanePopupMenu::Choose(IMenu* menu, int index)
{
  ILibrarianHost* host = Host();
  if (menu == mReceive && host)
    host->LibrarianRequestBank(mMode, index);
  else if (menu == mStore && host)
    host->LibrarianStoreBank(mSide, mMode, index);
  else if (menu == &TopMenu() && index == mSendItem && mView)
    mView->LoadCell(mSide, mView->SelectedCell(mSide));
  else if (menu == &TopMenu() && index == mSendPerformanceItem && host)
    host->LibrarianTransfer(ILibrarianHost::Transfer::kSendPerformance, 0);
  else if (menu == &TopMenu() && index == mSendGlobalsItem && host)
    host->LibrarianTransfer(ILibrarianHost::Transfer::kSendGlobals, 0);
}
