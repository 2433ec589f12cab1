#include "framework/graphics/IMenu.h"

IMenu::~IMenu()
{
  Clear();
  mItems.Release();
}

IMenuItem* IMenu::Add(IMenuItem* item)
{
  if (!mItems.Append(item))
  {
    // An item the menu does not hold would belong to nobody.
    delete item;
    return nullptr;
  }
  return item;
}

IMenuItem* IMenu::AddItem(const char* text)
{
  return Add(new IMenuItem(text));
}

IMenuItem* IMenu::AddSubmenuItem(const char* text, IMenu* submenu)
{
  return Add(new IMenuItem(text, submenu));
}

IMenuItem* IMenu::AddSeparator()
{
  return Add(new IMenuItem("", nullptr, IMenuItem::kSeparator));
}

void IMenu::CheckOnlyItem(int index)
{
  const int n = mItems.Count();
  for (int i = 0; i < n; ++i)
    mItems.Get(i)->SetFlag(IMenuItem::kChecked, i == index);
}

void IMenu::Clear()
{
  mItems.DeleteAll();
}

void DeleteSubmenus(IMenu** menus, int count)
{
  if (!menus) return;
  for (int i = 0; i < count; ++i)
  {
    delete menus[i];
    menus[i] = nullptr;
  }
}
