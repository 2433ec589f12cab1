#include "framework/graphics/IGraphicsWin.h"

#include "framework/graphics/IMenu.h"
#include "framework/graphics/PanelPaint.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_IBitmap.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

// Popup menus: IMenu trees numbered into the layout the window back end tracks, and the painting of
// their panels.

namespace
{
// Menus deeper than this are refused: a menu that holds itself would never end.
constexpr int kMaxMenuDepth = 16;

// Menu look.
constexpr int kMenuBorder = 1;
constexpr int kMenuCheckColumn = 18;
constexpr int kMenuArrowColumn = 16;
constexpr int kMenuTextPad = 4;
constexpr int kMenuSeparatorHeight = 7;
constexpr uint32_t kMenuBackground = 0xFFF2F2F2;
constexpr uint32_t kMenuFrame = 0xFF808080;
constexpr uint32_t kMenuHighlight = 0xFF3465A4;
constexpr uint32_t kMenuText = 0xFF000000;
constexpr uint32_t kMenuTextHighlighted = 0xFFFFFFFF;
constexpr uint32_t kMenuTextGreyed = 0xFF9A9A9A;

// A pixel buffer seen as a bitmap, so the text code can draw into menu panels.
class BufferBitmap : public Gfx_IBitmap
{
public:
  BufferBitmap(uint32_t* pixels, int width, int height) : mPixels(pixels), mWidth(width), mHeight(height) {}
  uint32_t* PixelData() const override { return mPixels; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override { return mWidth; }
  bool SetSize(int, int) override { return false; }

private:
  uint32_t* mPixels;
  int mWidth, mHeight;
};

IMenu* FindById(IMenu* menu, int id, int& counter, int depth)
{
  if (!menu || depth > kMaxMenuDepth) return nullptr;
  const int first = counter;
  const int count = menu->Count();
  counter += count;
  if (id >= first && id < first + count)
  {
    menu->SetChosenIndex(id - first);
    return menu;
  }
  for (int i = 0; i < count; ++i)
  {
    IMenuItem* item = menu->Item(i);
    if (item && item->Submenu() && !item->Has(IMenuItem::kSeparator))
      if (IMenu* found = FindById(item->Submenu(), id, counter, depth + 1)) return found;
  }
  return nullptr;
}

int Build(IMenu* menu, int& counter, PopupMenuLayout& layout, int depth)
{
  if (!menu || depth > kMaxMenuDepth) return -1;
  const int level = int(layout.levels.size());
  layout.levels.emplace_back();
  const int first = counter;
  const int count = menu->Count();
  counter += count;
  for (int i = 0; i < count; ++i)
  {
    IMenuItem* source = menu->Item(i);
    PopupMenuItem item;
    if (!source)
    {
      item.flags = kPopupItemDisabled;
      layout.levels[size_t(level)].items.push_back(item);
      continue;
    }
    item.text = IGraphicsWin::MenuItemLabel(menu, i);
    if (source->Has(IMenuItem::kSeparator))
    {
      item.text.clear();
      item.flags = kPopupItemSeparator;
    }
    else if (source->Submenu())
    {
      item.flags = source->Flags() & (kPopupItemGreyed | kPopupItemDisabled);
      // The submenu is built now, so it takes the next block of ids.
      item.submenu = Build(source->Submenu(), counter, layout, depth + 1);
      if (item.submenu < 0) item.flags |= kPopupItemDisabled;
    }
    else
    {
      item.id = first + i;
      item.flags = source->Flags() & (kPopupItemGreyed | kPopupItemDisabled | kPopupItemChecked);
    }
    layout.levels[size_t(level)].items.push_back(std::move(item));
  }
  return level;
}
} // namespace

std::string IGraphicsWin::MenuItemLabel(const IMenu* menu, int index)
{
  if (!menu || !menu->Item(index)) return std::string();
  const char* text = menu->Item(index)->Text();
  const char* format = nullptr;
  switch (menu->PrefixStyle())
  {
  case IMenu::kPrefix1:
    format = "%1d: %s";
    break;
  case IMenu::kPrefix2:
    format = "%02d: %s";
    break;
  case IMenu::kPrefix3:
    format = "%03d: %s";
    break;
  default:
    return text;
  }
  const int n = std::snprintf(nullptr, 0, format, index + 1, text);
  if (n < 0) return text;
  std::string label(size_t(n) + 1, '\0');
  std::snprintf(label.data(), label.size(), format, index + 1, text);
  label.resize(size_t(n));
  return label;
}

int IGraphicsWin::BuildMenu(IMenu* menu, int& counter, PopupMenuLayout& layout)
{
  return Build(menu, counter, layout, 0);
}

IMenu* IGraphicsWin::FindMenuItemById(IMenu* menu, int id)
{
  if (id < 0) return nullptr;
  int counter = 0;
  return FindById(menu, id, counter, 0);
}

IMenu* IGraphicsWin::ShowPopupMenu(IMenu* menu, const IRectangle* rect)
{
  ReleaseMouseCapture();
  if (mMouseCaptured && mPlatform)
  {
    mPlatform->ReleaseMouse();
    mMouseCaptured = false;
  }
  if (!menu || !rect || !mWindowOpen || !mPlatform) return nullptr;
  PopupMenuLayout layout;
  int counter = 0;
  if (BuildMenu(menu, counter, layout) < 0) return nullptr;
  const int id = mPlatform->TrackPopupMenu(layout, rect->L, rect->B, *this);
  return id >= 0 ? FindMenuItemById(menu, id) : nullptr;
}

void IGraphicsWin::MeasureLevel(const PopupMenuLayout& layout, int level, int& width, int& height)
{
  width = height = 0;
  if (level < 0 || level >= int(layout.levels.size())) return;
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const int rowHeight = std::max(font ? font->LineHeight() : 0, 14) + 6;
  int textWidth = 40;
  height = 2 * kMenuBorder;
  for (const PopupMenuItem& item : layout.levels[size_t(level)].items)
  {
    if (item.flags & kPopupItemSeparator)
    {
      height += kMenuSeparatorHeight;
      continue;
    }
    height += rowHeight;
    textWidth = std::max(textWidth, font ? PanelPaint::TextWidth(font, item.text.c_str(), -1)
                                         : int(item.text.size()) * 7);
  }
  if (layout.levels[size_t(level)].items.empty()) height += rowHeight; // an empty menu still shows as a box
  width = 2 * kMenuBorder + kMenuCheckColumn + textWidth + 2 * kMenuTextPad + kMenuArrowColumn;
}

void IGraphicsWin::ItemRow(const PopupMenuLayout& layout, int level, int item, int& top, int& bottom)
{
  top = bottom = 0;
  if (level < 0 || level >= int(layout.levels.size())) return;
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const int rowHeight = std::max(font ? font->LineHeight() : 0, 14) + 6;
  int y = kMenuBorder;
  const std::vector<PopupMenuItem>& items = layout.levels[size_t(level)].items;
  for (int i = 0; i < int(items.size()); ++i)
  {
    const int h = (items[size_t(i)].flags & kPopupItemSeparator) ? kMenuSeparatorHeight : rowHeight;
    if (i == item)
    {
      top = y;
      bottom = y + h;
      return;
    }
    y += h;
  }
}

int IGraphicsWin::ItemAt(const PopupMenuLayout& layout, int level, int x, int y)
{
  if (level < 0 || level >= int(layout.levels.size()) || x < 0) return -1;
  int width = 0, height = 0;
  MeasureLevel(layout, level, width, height);
  if (x >= width) return -1;
  const int count = int(layout.levels[size_t(level)].items.size());
  for (int i = 0; i < count; ++i)
  {
    int top = 0, bottom = 0;
    ItemRow(layout, level, i, top, bottom);
    if (y >= top && y < bottom)
      return (layout.levels[size_t(level)].items[size_t(i)].flags & kPopupItemSeparator) ? -1 : i;
  }
  return -1;
}

void IGraphicsWin::PaintLevel(const PopupMenuLayout& layout, int level, int highlighted, uint32_t* pixels,
                              int width, int height)
{
  if (!pixels || width <= 0 || height <= 0 || level < 0 || level >= int(layout.levels.size())) return;
  BufferBitmap panel(pixels, width, height);
  PanelPaint::FillRect(&panel, 0, 0, width, height, kMenuBackground);
  PanelPaint::FrameRect(&panel, 0, 0, width, height, kMenuFrame);
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const std::vector<PopupMenuItem>& items = layout.levels[size_t(level)].items;
  for (int i = 0; i < int(items.size()); ++i)
  {
    const PopupMenuItem& item = items[size_t(i)];
    int top = 0, bottom = 0;
    ItemRow(layout, level, i, top, bottom);
    if (item.flags & kPopupItemSeparator)
    {
      const int mid = (top + bottom) / 2;
      PanelPaint::FillRect(&panel, kMenuBorder + 4, mid, width - kMenuBorder - 4, mid + 1, kMenuFrame);
      continue;
    }
    const bool greyed = (item.flags & (kPopupItemGreyed | kPopupItemDisabled)) != 0;
    const bool lit = i == highlighted && !greyed;
    if (lit) PanelPaint::FillRect(&panel, kMenuBorder, top, width - kMenuBorder, bottom, kMenuHighlight);
    const uint32_t ink = greyed ? kMenuTextGreyed : (lit ? kMenuTextHighlighted : kMenuText);
    if (item.flags & kPopupItemChecked)
    {
      // A small tick in the check column.
      const int cx = kMenuBorder + 5, cy = (top + bottom) / 2;
      for (int k = 0; k < 3; ++k)
        PanelPaint::FillRect(&panel, cx + k, cy + k - 1, cx + k + 2, cy + k + 1, ink);
      for (int k = 0; k < 6; ++k)
        PanelPaint::FillRect(&panel, cx + 3 + k, cy + 1 - k, cx + 5 + k, cy + 3 - k, ink);
    }
    if (item.submenu >= 0)
    {
      // A right-pointing triangle in the arrow column.
      const int ax = width - kMenuBorder - kMenuArrowColumn + 5, cy = (top + bottom) / 2;
      for (int k = 0; k < 4; ++k)
        PanelPaint::FillRect(&panel, ax + k, cy - 3 + k, ax + k + 1, cy + 4 - k, ink);
    }
    if (font && !item.text.empty())
    {
      DrawFontString(font, ink, &panel, item.text.c_str(), kMenuBorder + kMenuCheckColumn + kMenuTextPad, top,
                     width - kMenuBorder - kMenuArrowColumn, bottom, DT_VCENTER | DT_SINGLELINE);
    }
  }
}
