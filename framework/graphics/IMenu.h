#pragma once

#include "framework/support/HeapString.h"
#include "framework/support/PointerList.h"

#include <cstdint>

class IMenu;

// One entry of a popup menu. The submenu is not owned by the item.
class IMenuItem
{
public:
  enum Flags : int32_t
  {
    kGreyed = 1,
    kDisabled = 2,
    kChecked = 4,
    kSeparator = 8,
  };

  IMenuItem(const char* text, IMenu* submenu = nullptr, int32_t flags = 0)
      : mText(text), mSubmenu(submenu), mFlags(flags)
  {
  }

  const char* Text() const { return mText.Get(); }
  HeapString& TextString() { return mText; }
  IMenu* Submenu() const { return mSubmenu; }
  int32_t Flags() const { return mFlags; }
  void SetFlags(int32_t flags) { mFlags = flags; }
  bool Has(int32_t flag) const { return (mFlags & flag) != 0; }
  void SetFlag(int32_t flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

private:
  HeapString mText;
  IMenu* mSubmenu;
  int32_t mFlags;
};

// A popup menu: items in display order, owned by the menu. Submenus are owned
// by whoever built them and freed with DeleteSubmenus.
class IMenu
{
public:
  // Numbering shown before each item's text: none, "%1d: ", "%02d: ", "%03d: ".
  enum PrefixStyle : int32_t
  {
    kNoPrefix = 0,
    kPrefix1 = 1,
    kPrefix2 = 2,
    kPrefix3 = 3,
  };

  explicit IMenu(int32_t prefixStyle = kNoPrefix) : mPrefixStyle(prefixStyle) {}
  ~IMenu();

  IMenu(const IMenu&) = delete;
  IMenu& operator=(const IMenu&) = delete;

  // Each answers the new item, or null when it could not be appended.
  IMenuItem* AddItem(const char* text);
  IMenuItem* AddSubmenuItem(const char* text, IMenu* submenu);
  IMenuItem* AddSeparator();

  // Checks item index and unchecks every other (an index outside the list
  // unchecks all).
  void CheckOnlyItem(int index);

  // Frees every item, last to first; submenus are left alone.
  void Clear();

  int Count() const { return mItems.Count(); }
  IMenuItem* Item(int index) const { return mItems.Get(index); }

  int32_t PrefixStyle() const { return mPrefixStyle; }
  void SetPrefixStyle(int32_t style) { mPrefixStyle = style; }
  int32_t ChosenIndex() const { return mChosenIndex; }
  void SetChosenIndex(int32_t index) { mChosenIndex = index; }

private:
  IMenuItem* Add(IMenuItem* item);

  PointerList<IMenuItem> mItems;
  int32_t mPrefixStyle;
  int32_t mChosenIndex = -1;
};

// Frees each non-null menu of the range and sets its pointer to null.
void DeleteSubmenus(IMenu** menus, int count);
