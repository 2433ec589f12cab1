#pragma once

#include "framework/controls/IControl.h"
#include "framework/graphics/IMenu.h"

#include <array>
#include <string>

class ILibrarianHost;

// The base of the librarian's popup-menu buttons. A press builds the menu afresh (the
// submenus it made last time are freed first), shows it below the button and hands the
// chosen item to the subclass; choosing nothing does nothing. The button draws its image and
// caption.
class LibrarianPopupMenu : public IControl
{
public:
  static constexpr int kMaxSubmenus = 16;

  LibrarianPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                     const char* caption);
  ~LibrarianPopupMenu() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  // Builds and shows the menu and acts on the choice; answers whether an item was chosen.
  bool Open();
  // Rebuilds the menu without showing it (what a press would show).
  void Rebuild();
  const IMenu& TopMenu() const { return mMenu; }
  int SubmenuCount() const;

protected:
  virtual void Build(IMenu& top) = 0;
  // index is the chosen item's position in the menu (the top menu or one of the submenus).
  virtual void Choose(IMenu* menu, int index) = 0;

  // A submenu owned by this button until the next rebuild; null when there is no room.
  IMenu* NewSubmenu(int prefixStyle = IMenu::kNoPrefix);
  // Which submenu (in the order they were made), or -1 for the top menu or a foreign one.
  int SubmenuIndex(const IMenu* menu) const;
  ILibrarianHost* Host() const;
  // Tells the user through the main class.
  void Status(const std::string& text) const;

private:
  void Release();

  IMenu mMenu;
  std::array<IMenu*, kMaxSubmenus> mSubmenus{};
  IBitmapStrip mStrip;
  std::string mCaption;
};
