#include "framework/graphics/IMenu.h"
#include "framework/support/IRectangle.h"

#include <gtest/gtest.h>

TEST(IMenu, ItemsSeparatorsAndChecks)
{
  IMenu sub;
  sub.AddItem("inner");

  IMenu menu(IMenu::kPrefix2);
  EXPECT_EQ(menu.ChosenIndex(), -1);
  for (const char* text : {"a", "b", "c", "d"})
    ASSERT_NE(menu.AddItem(text), nullptr);
  IMenuItem* separator = menu.AddSeparator();
  ASSERT_NE(separator, nullptr);
  EXPECT_EQ(separator->Flags(), IMenuItem::kSeparator);
  EXPECT_STREQ(separator->Text(), "");
  IMenuItem* withSub = menu.AddSubmenuItem("more", &sub);
  EXPECT_EQ(withSub->Submenu(), &sub);
  EXPECT_EQ(withSub->Flags(), 0);
  ASSERT_EQ(menu.Count(), 6);
  EXPECT_STREQ(menu.Item(2)->Text(), "c");

  menu.Item(0)->SetFlag(IMenuItem::kChecked, true);
  menu.Item(0)->SetFlag(IMenuItem::kGreyed, true);
  menu.CheckOnlyItem(2);
  for (int i = 0; i < menu.Count(); ++i)
    EXPECT_EQ(menu.Item(i)->Has(IMenuItem::kChecked), i == 2) << i;
  EXPECT_TRUE(menu.Item(0)->Has(IMenuItem::kGreyed)); // other flags kept
  EXPECT_TRUE(menu.Item(4)->Has(IMenuItem::kSeparator));

  menu.CheckOnlyItem(17);
  for (int i = 0; i < menu.Count(); ++i)
    EXPECT_FALSE(menu.Item(i)->Has(IMenuItem::kChecked));

  menu.Clear();
  EXPECT_EQ(menu.Count(), 0);
  EXPECT_EQ(sub.Count(), 1); // submenus belong to their builder
}

TEST(IMenu, DeleteSubmenusFreesAndForgets)
{
  IMenu* subs[3] = {new IMenu, nullptr, new IMenu};
  subs[0]->AddItem("x");
  IMenu parent;
  parent.AddSubmenuItem("first", subs[0]);
  parent.AddSubmenuItem("third", subs[2]);
  DeleteSubmenus(subs, 3);
  EXPECT_EQ(subs[0], nullptr);
  EXPECT_EQ(subs[2], nullptr);
  parent.Clear(); // items only pointed at the menus: nothing freed twice
}

TEST(IRectangle, IntersectAndContains)
{
  const IRectangle a(0, 0, 100, 50);
  EXPECT_EQ(a.W(), 100);
  EXPECT_EQ(a.H(), 50);
  EXPECT_EQ(a.Intersect(IRectangle(50, 10, 200, 20)), IRectangle(50, 10, 100, 20));
  EXPECT_EQ(a.Intersect(IRectangle(150, 10, 200, 20)), IRectangle());
  EXPECT_EQ(a.Intersect(IRectangle()), IRectangle());
  EXPECT_EQ(IRectangle().Intersect(a), IRectangle());
  // Touching this rectangle's right edge counts as meeting, its left edge not.
  EXPECT_EQ(a.Intersect(IRectangle(100, 0, 120, 50)), IRectangle(100, 0, 100, 50));
  EXPECT_EQ(IRectangle(100, 0, 120, 50).Intersect(a), IRectangle());

  EXPECT_TRUE(a.Contains(0, 0));
  EXPECT_TRUE(a.Contains(99, 49));
  EXPECT_FALSE(a.Contains(100, 10));
  EXPECT_FALSE(a.Contains(10, 50));
  EXPECT_FALSE(IRectangle().Contains(0, 0));
}
