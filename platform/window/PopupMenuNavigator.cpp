#include "platform/window/PopupMenuNavigator.h"

#include <algorithm>
#include <cstdlib>

namespace
{
bool Choosable(const PopupMenuItem& item)
{
  return item.id >= 0 && item.submenu < 0 &&
         !(item.flags & (kPopupItemGreyed | kPopupItemDisabled | kPopupItemSeparator));
}
} // namespace

PopupMenuNavigator::PopupMenuNavigator(const PopupMenuLayout& layout, PopupMenuPainter& painter,
                                       PopupMenuPanelHost& host, int screenWidth, int screenHeight)
    : mLayout(layout), mPainter(painter), mHost(host), mScreenWidth(screenWidth), mScreenHeight(screenHeight)
{
}

PopupMenuNavigator::~PopupMenuNavigator() = default;

bool PopupMenuNavigator::Open(int x, int y)
{
  return OpenLevel(0, x, y, -1);
}

void PopupMenuNavigator::Close()
{
  CloseFrom(0);
}

const std::vector<PopupMenuItem>& PopupMenuNavigator::ItemsOf(const PopupMenuPanel& panel) const
{
  return mLayout.levels[size_t(panel.level)].items;
}

void PopupMenuNavigator::Paint(size_t panel)
{
  mHost.PaintPanel(panel, mPanels[panel]);
}

bool PopupMenuNavigator::OpenLevel(int level, int x, int y, int leftEdge)
{
  if (level < 0 || level >= int(mLayout.levels.size())) return false;
  PopupMenuPanel p;
  p.level = level;
  mPainter.MeasureLevel(mLayout, level, p.width, p.height);
  if (p.width <= 0 || p.height <= 0) return false;
  // Keep the panel on the screen: flip a submenu to the left, move a panel up.
  if (x + p.width > mScreenWidth)
    x = leftEdge >= 0 ? std::max(0, leftEdge - p.width) : std::max(0, mScreenWidth - p.width);
  if (y + p.height > mScreenHeight) y = std::max(0, mScreenHeight - p.height);
  p.x = x;
  p.y = y;
  if (!mHost.ShowPanel(p)) return false;
  mPanels.push_back(p);
  Paint(mPanels.size() - 1);
  return true;
}

void PopupMenuNavigator::CloseFrom(size_t first)
{
  while (mPanels.size() > first)
  {
    mHost.HidePanel();
    mPanels.pop_back();
  }
}

int PopupMenuNavigator::PanelAt(int x, int y) const
{
  for (int i = int(mPanels.size()) - 1; i >= 0; --i)
  {
    const PopupMenuPanel& p = mPanels[size_t(i)];
    if (x >= p.x && x < p.x + p.width && y >= p.y && y < p.y + p.height) return i;
  }
  return -1;
}

void PopupMenuNavigator::Highlight(size_t panel, int item)
{
  if (mPanels[panel].highlighted == item) return;
  CloseFrom(panel + 1);
  mPanels[panel].highlighted = item;
  Paint(panel);
  const PopupMenuPanel p = mPanels[panel];
  const std::vector<PopupMenuItem>& items = ItemsOf(p);
  if (item >= 0 && item < int(items.size()) && items[size_t(item)].submenu >= 0 &&
      !(items[size_t(item)].flags & (kPopupItemGreyed | kPopupItemDisabled)))
  {
    int top = 0, bottom = 0;
    mPainter.ItemRow(mLayout, p.level, item, top, bottom);
    OpenLevel(items[size_t(item)].submenu, p.x + p.width - 2, p.y + top, p.x + 2);
  }
}

void PopupMenuNavigator::MoveHighlight(int step)
{
  PopupMenuPanel& p = mPanels.back();
  const std::vector<PopupMenuItem>& items = ItemsOf(p);
  const int n = int(items.size());
  int i = p.highlighted;
  for (int tries = 0; tries < n; ++tries)
  {
    i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
    if (!(items[size_t(i)].flags & kPopupItemSeparator))
    {
      // Moving by keys does not open a submenu; Right does.
      p.highlighted = i;
      Paint(mPanels.size() - 1);
      return;
    }
  }
}

void PopupMenuNavigator::Choose(const PopupMenuItem& item)
{
  mResult = item.id;
  mDone = true;
}

void PopupMenuNavigator::PointerMoved(int x, int y)
{
  if (!mStartKnown)
  {
    mStartKnown = true;
    mStartX = x;
    mStartY = y;
  }
  else if (std::abs(x - mStartX) > 3 || std::abs(y - mStartY) > 3)
    mArmed = true;
  const int i = PanelAt(x, y);
  if (i < 0) return;
  const PopupMenuPanel& p = mPanels[size_t(i)];
  const int item = mPainter.ItemAt(mLayout, p.level, x - p.x, y - p.y);
  // Leaving a submenu's parent row for the submenu keeps it open.
  if (item >= 0 || size_t(i) + 1 == mPanels.size()) Highlight(size_t(i), item);
}

void PopupMenuNavigator::ButtonPressed(int x, int y)
{
  if (PanelAt(x, y) < 0)
    mDone = true;
  else
    mArmed = true;
}

void PopupMenuNavigator::ButtonReleased(int x, int y)
{
  if (!mArmed) return;
  const int i = PanelAt(x, y);
  if (i < 0) return;
  const PopupMenuPanel& p = mPanels[size_t(i)];
  const int item = mPainter.ItemAt(mLayout, p.level, x - p.x, y - p.y);
  const std::vector<PopupMenuItem>& items = ItemsOf(p);
  if (item >= 0 && item < int(items.size()) && Choosable(items[size_t(item)])) Choose(items[size_t(item)]);
}

void PopupMenuNavigator::KeyPressed(PopupMenuKey key)
{
  if (mPanels.empty()) return;
  PopupMenuPanel& p = mPanels.back();
  const std::vector<PopupMenuItem>& items = ItemsOf(p);
  if (key == PopupMenuKey::Escape)
    mDone = true;
  else if (key == PopupMenuKey::Down)
    MoveHighlight(1);
  else if (key == PopupMenuKey::Up)
    MoveHighlight(-1);
  else if (key == PopupMenuKey::Left && mPanels.size() > 1)
    CloseFrom(mPanels.size() - 1);
  else if ((key == PopupMenuKey::Right || key == PopupMenuKey::Return) && p.highlighted >= 0 &&
           p.highlighted < int(items.size()))
  {
    const PopupMenuItem& item = items[size_t(p.highlighted)];
    if (item.submenu >= 0)
    {
      // Highlighted by keys, its submenu is not open yet: highlighting it afresh opens it.
      const int keep = p.highlighted;
      p.highlighted = -1;
      Highlight(mPanels.size() - 1, keep);
    }
    else if (key == PopupMenuKey::Return && Choosable(item))
      Choose(item);
  }
}
