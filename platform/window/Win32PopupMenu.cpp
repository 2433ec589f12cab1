// The Win32 back end's popup menus: the system's own, built from the layout's levels.
#include "platform/window/Win32WindowState.h"

#include "platform/win32/Win32Strings.h"

#include <set>

namespace
{
// A menu's text shows '&' literally: alone it would mark a mnemonic.
std::wstring MenuText(const std::string& text)
{
  std::wstring out;
  for (wchar_t c : Widen(text))
  {
    out += c;
    if (c == L'&') out += L'&';
  }
  return out;
}

HMENU BuildLevel(const PopupMenuLayout& layout, int level, std::set<int>& open)
{
  if (level < 0 || level >= int(layout.levels.size()) || open.count(level))
    return nullptr; // no such level, or a submenu that contains itself
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  open.insert(level);
  for (const PopupMenuItem& item : layout.levels[size_t(level)].items)
  {
    if (item.flags & kPopupItemSeparator)
    {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item.flags & kPopupItemGreyed) flags |= MF_GRAYED;
    if (item.flags & kPopupItemDisabled) flags |= MF_DISABLED;
    if (item.flags & kPopupItemChecked) flags |= MF_CHECKED;
    const std::wstring text = MenuText(item.text);
    if (item.submenu >= 0)
    {
      HMENU sub = BuildLevel(layout, item.submenu, open);
      if (sub)
      {
        AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
        continue;
      }
      flags |= MF_GRAYED; // a submenu that cannot be shown: its entry stays, greyed
      AppendMenuW(menu, flags, 0, text.c_str());
      continue;
    }
    // Ids move up by one: 0 is the menu's answer for "nothing chosen".
    const UINT_PTR id = item.id >= 0 ? UINT_PTR(item.id) + 1 : 0;
    if (id == 0) flags |= MF_GRAYED;
    AppendMenuW(menu, flags, id, text.c_str());
  }
  open.erase(level);
  return menu;
}
} // namespace

void* Win32Window::BuildNativeMenu(const PopupMenuLayout& layout, int level)
{
  std::set<int> open;
  return BuildLevel(layout, level, open);
}

int Win32Window::TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter&)
{
  State& s = *mState;
  if (!s.hwnd || layout.levels.empty()) return -1;
  HMENU menu = static_cast<HMENU>(BuildNativeMenu(layout, 0));
  if (!menu) return -1;
  POINT p{x, y};
  ClientToScreen(s.hwnd, &p);
  ++s.modal;
  const BOOL chosen =
      TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                       p.x, p.y, s.hwnd, nullptr);
  --s.modal;
  DestroyMenu(menu);
  return chosen > 0 ? int(chosen) - 1 : -1;
}
