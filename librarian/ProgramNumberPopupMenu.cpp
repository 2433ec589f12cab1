#include "librarian/ProgramNumberPopupMenu.h"

#include "librarian/ILibrarianHost.h"

#include <cstdio>

void ProgramNumberPopupMenu::Build(IMenu& top)
{
  ILibrarianHost* host = Host();
  const int current = host ? host->LibrarianPartProgram() : -1;
  char text[16];
  for (int s = 0; s < 128 / kPerSubmenu; ++s)
  {
    IMenu* sub = NewSubmenu();
    if (!sub) break;
    for (int i = 0; i < kPerSubmenu; ++i)
    {
      std::snprintf(text, sizeof text, "%03d", s * kPerSubmenu + i + 1);
      sub->AddItem(text);
    }
    if (current / kPerSubmenu == s) sub->CheckOnlyItem(current % kPerSubmenu);
    std::snprintf(text, sizeof text, "%03d-%03d", s * kPerSubmenu + 1, (s + 1) * kPerSubmenu);
    top.AddSubmenuItem(text, sub);
  }
}

void ProgramNumberPopupMenu::Choose(IMenu* menu, int index)
{
  const int s = SubmenuIndex(menu);
  ILibrarianHost* host = Host();
  if (s < 0 || !host) return;
  host->LibrarianSelectProgram(host->LibrarianPartBank(), s * kPerSubmenu + index);
}

void BankNumberPopupMenu::Build(IMenu& top)
{
  char text[] = "Bank A";
  for (int b = 0; b < kBanks; ++b)
  {
    text[5] = char('A' + b);
    top.AddItem(text);
  }
  if (ILibrarianHost* host = Host()) top.CheckOnlyItem(host->LibrarianPartBank());
}

void BankNumberPopupMenu::Choose(IMenu* menu, int index)
{
  ILibrarianHost* host = Host();
  if (menu != &TopMenu() || !host) return;
  host->LibrarianSelectProgram(index, host->LibrarianPartProgram());
}
