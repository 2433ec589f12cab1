#include "librarian/BankEditPopupMenu.h"

#include "librarian/LibrarianViewControl.h"

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
}

void BankEditPopupMenu::Choose(IMenu* menu, int index)
{
  if (!mView || menu != &TopMenu()) return;
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
