#include "librarian/LibrarianPopupMenu.h"

#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_SysBitmap.h"
#include "librarian/ILibrarianHost.h"

LibrarianPopupMenu::LibrarianPopupMenu(IEffectBase* plug, const IRectangle& rect, const IBitmapStrip& image,
                                       const char* caption)
    : IControl(plug, rect), mStrip(image), mCaption(caption ? caption : "")
{
  mTextStyle.hAlign = ITextStyle::kAlignCentre;
}

LibrarianPopupMenu::~LibrarianPopupMenu()
{
  Release();
}

void LibrarianPopupMenu::Release()
{
  // The items point at the submenus: clear them first.
  mMenu.Clear();
  DeleteSubmenus(mSubmenus.data(), kMaxSubmenus);
}

IMenu* LibrarianPopupMenu::NewSubmenu(int prefixStyle)
{
  for (IMenu*& slot : mSubmenus)
    if (!slot)
    {
      slot = new IMenu(prefixStyle);
      return slot;
    }
  return nullptr;
}

int LibrarianPopupMenu::SubmenuIndex(const IMenu* menu) const
{
  for (int i = 0; i < kMaxSubmenus; ++i)
    if (menu && mSubmenus[size_t(i)] == menu) return i;
  return -1;
}

int LibrarianPopupMenu::SubmenuCount() const
{
  int n = 0;
  for (IMenu* m : mSubmenus)
    n += m != nullptr;
  return n;
}

ILibrarianHost* LibrarianPopupMenu::Host() const
{
  return dynamic_cast<ILibrarianHost*>(Plug());
}

void LibrarianPopupMenu::Status(const std::string& text) const
{
  if (ILibrarianHost* host = Host()) host->LibrarianStatus(text);
}

void LibrarianPopupMenu::Rebuild()
{
  Release();
  mMenu.SetChosenIndex(-1);
  Build(mMenu);
}

bool LibrarianPopupMenu::Open()
{
  IGraphics* graphics = Graphics();
  if (!graphics) return false;
  Rebuild();
  IMenu* chosen = graphics->ShowPopupMenu(&mMenu, &mRect);
  if (!chosen) return false;
  const int index = chosen->ChosenIndex();
  if (index < 0 || index >= chosen->Count()) return false;
  Choose(chosen, index);
  return true;
}

void LibrarianPopupMenu::OnMouseDown(int, int, const IMouseMod&)
{
  if (IsGreyed()) return;
  Open();
}

bool LibrarianPopupMenu::Draw(IGraphics* graphics)
{
  if (!graphics) return false;
  const IBlend blend = Blend();
  if (mStrip.bitmap)
    graphics->DrawBitmapFrame(&mStrip, &mRect, 1, &blend);
  else if (graphics->DrawBitmapSurface())
  {
    // Without an image the button is a plain dark plate, so that its caption reads on any page.
    const IRectangle clip = mRect.Intersect(graphics->DrawRect());
    if (clip.W() > 0 && clip.H() > 0)
      Gfx_FillArea(graphics->DrawBitmapSurface(), clip.L, clip.T, clip.W(), clip.H(), 0xFF2B3138, blend.alpha,
                   BlendSourceAlpha);
  }
  IRectangle r = mRect;
  return graphics->DrawTextInRect(&mTextStyle, mCaption.c_str(), &r);
}
