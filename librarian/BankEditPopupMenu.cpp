#include "librarian/BankEditPopupMenu.h"

#include "librarian/ILibrarianHost.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "librarian/PatchPanePopupMenu.h"

#include <string>

BankEditPopupMenu::BankEditPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                                     const char* caption, LibrarianViewControl* view)
    : LibrarianPopupMenu(plug, rect, image, caption), mView(view)
{
}

void BankEditPopupMenu::Build(IMenu& top)
{
  top.AddItem("Copy Slot");
  IMenuItem* paste = top.AddItem("Paste Slot");
  if (paste && !(mView && mView->HasCopiedSlot())) paste->SetFlag(IMenuItem::kGreyed, true);
  top.AddItem("Clear Slot");

  const PatchLibrarian* librarian = mView ? mView->Librarian() : nullptr;
  const int mode = librarian ? librarian->GetMode() : PatchLibrarian::kPrograms;
  mReceive = nullptr;
  mReceiveEditItem = mStoreItem = mInitialiseItem = mSendPartItem = -1;
  top.AddSeparator();
  // The synthesizer keeps no pattern memory that a request reaches, and no pattern edit buffer.
  if (mode != PatchLibrarian::kPatterns)
  {
    if ((mReceive = NewSubmenu()))
    {
      for (int b = 0; b < PatchPanePopupMenu::BankCount(mode); ++b)
        mReceive->AddItem((std::string("From Bank ") + char('A' + b)).c_str());
      top.AddSubmenuItem("Receive Slot from Hardware", mReceive);
    }
    mReceiveEditItem = top.Count();
    top.AddItem("Receive Edit Buffer into Slot");
    mStoreItem = top.Count();
    top.AddItem(mode == PatchLibrarian::kPerformances ? "Store Current Performance into Slot"
                                                      : "Store Current Program into Slot");
  }
  mInitialiseItem = top.Count();
  top.AddItem("Initialise Slot");
  mSendPartItem = top.Count();
  top.AddItem("Send Current Program to Hardware");
}

void BankEditPopupMenu::Choose(IMenu* menu, int index)
{
  ILibrarianHost* host = Host();
  using Transfer = ILibrarianHost::Transfer;
  if (host && menu && menu == mReceive)
  {
    host->LibrarianTransfer(Transfer::kReceiveSlot, index);
    return;
  }
  if (!mView || menu != &TopMenu()) return;
  if (host && index >= kFirstTransfer)
  {
    if (index == mReceiveEditItem)
      host->LibrarianTransfer(Transfer::kReceiveEditBuffer, 0);
    else if (index == mStoreItem)
      host->LibrarianTransfer(Transfer::kStoreCurrent, 0);
    else if (index == mInitialiseItem)
      host->LibrarianTransfer(Transfer::kInitialiseSlot, 0);
    else if (index == mSendPartItem)
      host->LibrarianTransfer(Transfer::kSendPart, 0);
    return;
  }
  switch (index)
  {
  case kCopy:
    if (!mView->CopySelected()) Status("Nothing to copy: the slot is empty");
    break;
  case kPaste:
    if (!mView->PasteToSelected()) Status("Nothing to paste: copy a slot first");
    break;
  case kClear:
    mView->ClearSelected();
    break;
  default:
    break;
  }
}
