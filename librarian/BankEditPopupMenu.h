#pragma once

#include "librarian/LibrarianPopupMenu.h"

class LibrarianViewControl;

// Edits the selected slot of the slot view's active pane: copy, paste, clear.
class BankEditPopupMenu : public LibrarianPopupMenu
{
public:
  enum Item
  {
    kCopy = 0,
    kPaste = 1,
    kClear = 2
  };

  BankEditPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image, const char* caption,
                    LibrarianViewControl* view);

protected:
  void Build(IMenu& top) override;
  void Choose(IMenu* menu, int index) override;

private:
  LibrarianViewControl* mView;
};
