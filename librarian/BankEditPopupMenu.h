#pragma once

#include "librarian/LibrarianPopupMenu.h"

class LibrarianViewControl;

// Edits the selected slot of the slot view's active pane: copy, paste, clear. Below them, the
// transfers of the left pane's selected slot, for the kind of bank the librarian shows: receive
// the synthesizer's slot of that number from a bank, or its edit buffer; store the editor's
// program (the selected part's) or performance; initialise the slot; and send the selected part's
// program to the synthesizer.
class BankEditPopupMenu : public LibrarianPopupMenu
{
public:
  enum Item
  {
    kCopy = 0,
    kPaste = 1,
    kClear = 2,
    // kClear + 1 is a separator; the transfers follow it, those the kind of bank has in this order.
    kFirstTransfer = 4
  };

  BankEditPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image, const char* caption,
                    LibrarianViewControl* view);

protected:
  void Build(IMenu& top) override;
  void Choose(IMenu* menu, int index) override;

private:
  LibrarianViewControl* mView;
  IMenu* mReceive = nullptr;
  int mReceiveEditItem = -1;
  int mStoreItem = -1;
  int mInitialiseItem = -1;
  int mSendPartItem = -1;
};
