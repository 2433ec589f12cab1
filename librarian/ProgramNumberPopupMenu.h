#pragma once

#include "librarian/LibrarianPopupMenu.h"

// Chooses the selected part's program: 128 numbers in eight submenus of 16, the current one
// checked.
class ProgramNumberPopupMenu : public LibrarianPopupMenu
{
public:
  static constexpr int kPerSubmenu = 16;
  using LibrarianPopupMenu::LibrarianPopupMenu;

protected:
  void Build(IMenu& top) override;
  void Choose(IMenu* menu, int index) override;
};

// Chooses the selected part's bank, A to H, the current one checked.
class BankNumberPopupMenu : public LibrarianPopupMenu
{
public:
  static constexpr int kBanks = 8;
  using LibrarianPopupMenu::LibrarianPopupMenu;

protected:
  void Build(IMenu& top) override;
  void Choose(IMenu* menu, int index) override;
};
