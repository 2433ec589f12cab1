#pragma once

#include "librarian/LibrarianPopupMenu.h"

class LibrarianViewControl;
class PatchLibrarian;

// The menu of a librarian pane, for the kind of bank the librarian shows: receive a bank from
// the synthesizer (left pane only, which received dumps fill), store the pane's bank into the
// synthesizer's memory, and send the pane's selected slot. The left pane's menu also sends the
// editor's whole performance (global settings and part programs first) and the global settings.
class PatchPanePopupMenu : public LibrarianPopupMenu
{
public:
  PatchPanePopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                     const char* caption, PatchLibrarian* librarian, LibrarianViewControl* view, int side);

  // Banks of the synthesizer's memory for a kind of bank: 8 of programs, 4 of performances, one
  // set of patterns.
  static int BankCount(int mode);

protected:
  void Build(IMenu& top) override;
  void Choose(IMenu* menu, int index) override;

private:
  PatchLibrarian* mLibrarian;
  LibrarianViewControl* mView;
  int mSide;
  int mMode = 0; // the kind the menu was built for
  IMenu* mReceive = nullptr;
  IMenu* mStore = nullptr;
  int mSendItem = -1;
  int mSendPerformanceItem = -1;
  int mSendGlobalsItem = -1;
};

class LeftPatchPopupMenu : public PatchPanePopupMenu
{
public:
  LeftPatchPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                     const char* caption, PatchLibrarian* librarian, LibrarianViewControl* view)
      : PatchPanePopupMenu(plug, rect, image, caption, librarian, view, 0)
  {
  }
};

class RightPatchPopupMenu : public PatchPanePopupMenu
{
public:
  RightPatchPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                      const char* caption, PatchLibrarian* librarian, LibrarianViewControl* view)
      : PatchPanePopupMenu(plug, rect, image, caption, librarian, view, 1)
  {
  }
};
