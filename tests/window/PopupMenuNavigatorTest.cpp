#include "platform/window/PopupMenuNavigator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Panels 100 pixels wide with rows of 10; separators are no item under the pointer.
class RowPainter : public PopupMenuPainter
{
public:
  void MeasureLevel(const PopupMenuLayout& layout, int level, int& width, int& height) override
  {
    width = 100;
    height = 10 * int(layout.levels[size_t(level)].items.size());
  }
  int ItemAt(const PopupMenuLayout& layout, int level, int x, int y) override
  {
    const std::vector<PopupMenuItem>& items = layout.levels[size_t(level)].items;
    const int row = y / 10;
    if (x < 0 || x >= 100 || y < 0 || row >= int(items.size()) ||
        (items[size_t(row)].flags & kPopupItemSeparator))
      return -1;
    return row;
  }
  void ItemRow(const PopupMenuLayout&, int, int item, int& top, int& bottom) override
  {
    top = 10 * item;
    bottom = top + 10;
  }
  void PaintLevel(const PopupMenuLayout&, int, int, uint32_t*, int, int) override {}
};

// Records what the navigator asks for.
class PanelLog : public PopupMenuPanelHost
{
public:
  bool ShowPanel(const PopupMenuPanel& p) override
  {
    if (refuse) return false;
    log.push_back("show " + std::to_string(p.level) + " at " + std::to_string(p.x) + "," +
                  std::to_string(p.y));
    ++shown;
    return true;
  }
  void HidePanel() override
  {
    log.push_back("hide");
    --shown;
  }
  void PaintPanel(size_t index, const PopupMenuPanel& p) override
  {
    log.push_back("paint " + std::to_string(index) + " " + std::to_string(p.highlighted));
  }
  std::vector<std::string> Take()
  {
    std::vector<std::string> out;
    out.swap(log);
    return out;
  }

  std::vector<std::string> log;
  int shown = 0;
  bool refuse = false;
};

PopupMenuItem Item(const char* text, int id, int flags = 0, int submenu = -1)
{
  PopupMenuItem item;
  item.text = text;
  item.id = id;
  item.flags = flags;
  item.submenu = submenu;
  return item;
}

// Level 0: A, Sub (level 1), a separator, B greyed, C. Level 1: X, Y, Z disabled.
PopupMenuLayout Layout()
{
  PopupMenuLayout layout;
  layout.levels.resize(2);
  layout.levels[0].items = {Item("A", 0), Item("Sub", -1, 0, 1), Item("", -1, kPopupItemSeparator),
                            Item("B", 2, kPopupItemGreyed), Item("C", 3)};
  layout.levels[1].items = {Item("X", 4), Item("Y", 5), Item("Z", 6, kPopupItemDisabled)};
  return layout;
}

using Log = std::vector<std::string>;
} // namespace

TEST(PopupMenuNavigator, PointerOpensSubmenusAndChoosesOnARelease)
{
  const PopupMenuLayout layout = Layout();
  RowPainter painter;
  PanelLog host;
  PopupMenuNavigator menu(layout, painter, host, 1000, 1000);
  ASSERT_TRUE(menu.Open(50, 60));
  EXPECT_EQ(host.Take(), (Log{"show 0 at 50,60", "paint 0 -1"}));

  // The release of the press that opened the menu chooses nothing, nor does a move of three pixels.
  menu.PointerMoved(55, 62);
  menu.PointerMoved(58, 65);
  EXPECT_EQ(host.Take(), (Log{"paint 0 0"}));
  menu.ButtonReleased(58, 65);
  EXPECT_FALSE(menu.Done());

  // Further on, the submenu entry opens its level beside its row; leaving that row for the submenu
  // keeps it open.
  menu.PointerMoved(55, 75);
  EXPECT_EQ(host.Take(), (Log{"paint 0 1", "show 1 at 148,70", "paint 1 -1"}));
  menu.PointerMoved(55, 85); // the separator of the parent level
  EXPECT_TRUE(host.Take().empty());
  menu.PointerMoved(150, 95);
  EXPECT_EQ(host.Take(), (Log{"paint 1 2"}));
  EXPECT_EQ(menu.PanelAt(150, 95), 1);
  EXPECT_EQ(menu.PanelAt(60, 95), 0);
  EXPECT_EQ(menu.PanelAt(10, 10), -1);

  // A disabled item is not chosen; another item of the parent closes the submenu.
  menu.ButtonReleased(150, 95);
  EXPECT_FALSE(menu.Done());
  menu.PointerMoved(55, 105);
  EXPECT_EQ(host.Take(), (Log{"hide", "paint 0 4"}));
  ASSERT_EQ(menu.Panels().size(), 1u);

  // A greyed item is not chosen either; a choosable one is.
  menu.PointerMoved(55, 95);
  menu.ButtonReleased(55, 95);
  EXPECT_FALSE(menu.Done());
  menu.PointerMoved(55, 75);
  menu.PointerMoved(160, 85);
  menu.ButtonReleased(160, 85);
  EXPECT_TRUE(menu.Done());
  EXPECT_EQ(menu.Result(), 5);
  menu.Close();
  EXPECT_EQ(host.shown, 0);
}

TEST(PopupMenuNavigator, KeysMoveOverSeparatorsAndOpenAndCloseSubmenus)
{
  const PopupMenuLayout layout = Layout();
  RowPainter painter;
  PanelLog host;
  PopupMenuNavigator menu(layout, painter, host, 1000, 1000);
  ASSERT_TRUE(menu.Open(0, 0));
  host.Take();

  // Up from nothing goes to the last item; moves wrap and skip separators, not greyed items; they
  // open no submenu.
  menu.KeyPressed(PopupMenuKey::Up);
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Up);
  menu.KeyPressed(PopupMenuKey::Up);
  EXPECT_EQ(host.Take(), (Log{"paint 0 4", "paint 0 0", "paint 0 1", "paint 0 0", "paint 0 4"}));
  menu.KeyPressed(PopupMenuKey::Up);
  menu.KeyPressed(PopupMenuKey::Return); // B is greyed
  EXPECT_FALSE(menu.Done());
  menu.KeyPressed(PopupMenuKey::Up);
  EXPECT_EQ(host.Take(), (Log{"paint 0 3", "paint 0 1"}));

  // Left on the top level does nothing; Right (or Return) on the submenu entry opens it, Left
  // closes it again.
  menu.KeyPressed(PopupMenuKey::Left);
  menu.KeyPressed(PopupMenuKey::Right);
  EXPECT_EQ(host.Take(), (Log{"paint 0 1", "show 1 at 98,10", "paint 1 -1"}));
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Left);
  EXPECT_EQ(host.Take(), (Log{"paint 1 0", "hide"}));
  menu.KeyPressed(PopupMenuKey::Return);
  ASSERT_EQ(menu.Panels().size(), 2u);
  EXPECT_EQ(menu.Panels()[0].highlighted, 1);

  // Right on an item without a submenu does not choose it; Return does.
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Right);
  EXPECT_FALSE(menu.Done());
  menu.KeyPressed(PopupMenuKey::Return);
  EXPECT_TRUE(menu.Done());
  EXPECT_EQ(menu.Result(), 5);

  // Escape closes with nothing chosen.
  PopupMenuNavigator other(layout, painter, host, 1000, 1000);
  ASSERT_TRUE(other.Open(0, 0));
  other.KeyPressed(PopupMenuKey::Down);
  other.KeyPressed(PopupMenuKey::Escape);
  EXPECT_TRUE(other.Done());
  EXPECT_EQ(other.Result(), -1);
}

TEST(PopupMenuNavigator, PanelsStayOnTheScreenAndPressesOutsideClose)
{
  PopupMenuLayout layout = Layout();
  RowPainter painter;
  PanelLog host;

  // Near the corner the top level moves in; its submenu flips to the left of it. Right on an item
  // without a submenu does nothing.
  PopupMenuNavigator menu(layout, painter, host, 300, 200);
  ASSERT_TRUE(menu.Open(250, 180));
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Right);
  EXPECT_EQ(host.Take(), (Log{"show 0 at 200,150", "paint 0 -1", "paint 0 0"}));
  menu.KeyPressed(PopupMenuKey::Down);
  menu.KeyPressed(PopupMenuKey::Right);
  EXPECT_EQ(host.Take(), (Log{"paint 0 1", "paint 0 1", "show 1 at 102,160", "paint 1 -1"}));

  // A press inside arms the release at once; a press outside every panel ends the menu.
  menu.ButtonPressed(110, 165);
  menu.ButtonReleased(110, 165);
  EXPECT_TRUE(menu.Done());
  EXPECT_EQ(menu.Result(), 4);
  PopupMenuNavigator outside(layout, painter, host, 300, 200);
  ASSERT_TRUE(outside.Open(0, 0));
  outside.ButtonPressed(299, 199);
  EXPECT_TRUE(outside.Done());
  EXPECT_EQ(outside.Result(), -1);

  // A greyed submenu entry stays closed; a level that cannot be shown is no panel.
  layout.levels[0].items[1].flags = kPopupItemGreyed;
  PopupMenuNavigator greyed(layout, painter, host, 300, 200);
  ASSERT_TRUE(greyed.Open(0, 0));
  greyed.KeyPressed(PopupMenuKey::Down);
  greyed.KeyPressed(PopupMenuKey::Down);
  greyed.KeyPressed(PopupMenuKey::Right);
  EXPECT_EQ(greyed.Panels().size(), 1u);
  host.refuse = true;
  PopupMenuNavigator refused(layout, painter, host, 300, 200);
  EXPECT_FALSE(refused.Open(0, 0));
  EXPECT_TRUE(refused.Panels().empty());
}
