#include "WindowTestSupport.h"

#include "framework/graphics/IMenu.h"

#include <gtest/gtest.h>

TEST(EditorWindowMenus, TopMenuAndSubmenuNumbering)
{
  // Three top items, the second holding a two-item submenu: ids 0..2 for the
  // top items, 3 and 4 for the submenu's.
  IMenu top, sub;
  sub.AddItem("Sub one");
  sub.AddItem("Sub two");
  top.AddItem("One");
  top.AddSubmenuItem("Two", &sub);
  top.AddItem("Three");

  PopupMenuLayout layout;
  int counter = 0;
  ASSERT_EQ(IGraphicsWin::BuildMenu(&top, counter, layout), 0);
  EXPECT_EQ(counter, 5);
  ASSERT_EQ(layout.levels.size(), 2u);
  EXPECT_EQ(layout.levels[0].items[0].id, 0);
  EXPECT_EQ(layout.levels[0].items[1].id, -1); // a submenu entry is not chosen itself
  EXPECT_EQ(layout.levels[0].items[1].submenu, 1);
  EXPECT_EQ(layout.levels[0].items[2].id, 2);
  EXPECT_EQ(layout.levels[1].items[0].id, 3);
  EXPECT_EQ(layout.levels[1].items[1].id, 4);

  EXPECT_EQ(IGraphicsWin::FindMenuItemById(&top, 4), &sub);
  EXPECT_EQ(sub.ChosenIndex(), 1);
  EXPECT_EQ(IGraphicsWin::FindMenuItemById(&top, 2), &top);
  EXPECT_EQ(top.ChosenIndex(), 2);
  EXPECT_EQ(IGraphicsWin::FindMenuItemById(&top, 5), nullptr);

  // Shown in the editor: the answer comes back as the submenu with its chosen index.
  HeadlessEditor e;
  top.SetChosenIndex(-1);
  sub.SetChosenIndex(-1);
  e.window->QueueMenuAnswer(4);
  IRectangle rect(30, 10, 80, 25);
  EXPECT_EQ(e.graphics->ShowPopupMenu(&top, &rect), &sub);
  EXPECT_EQ(sub.ChosenIndex(), 1);
  EXPECT_EQ(top.ChosenIndex(), -1);
  EXPECT_EQ(e.window->LastMenuX(), 30); // at the rectangle's left-bottom corner
  EXPECT_EQ(e.window->LastMenuY(), 25);
  EXPECT_GT(e.window->LastMenuWidth(), 0); // the painter drew the top level
  EXPECT_GT(e.window->LastMenuHeight(), 0);

  // Closed without a choice: null, and no chosen index moves.
  EXPECT_EQ(e.graphics->ShowPopupMenu(&top, &rect), nullptr);
  EXPECT_EQ(sub.ChosenIndex(), 1);
  EXPECT_EQ(top.ChosenIndex(), -1);
}

TEST(EditorWindowMenus, LabelsFlagsSeparatorsAndCycles)
{
  IMenu menu(IMenu::kPrefix2);
  menu.AddItem("Init");
  menu.AddSeparator();
  menu.AddItem("Bank")->SetFlag(IMenuItem::kChecked, true);
  menu.AddItem("Greyed")->SetFlag(IMenuItem::kGreyed, true);
  EXPECT_EQ(IGraphicsWin::MenuItemLabel(&menu, 0), "01: Init");
  EXPECT_EQ(IGraphicsWin::MenuItemLabel(&menu, 2), "03: Bank"); // separators count
  menu.SetPrefixStyle(IMenu::kPrefix3);
  EXPECT_EQ(IGraphicsWin::MenuItemLabel(&menu, 0), "001: Init");
  menu.SetPrefixStyle(IMenu::kPrefix1);
  EXPECT_EQ(IGraphicsWin::MenuItemLabel(&menu, 3), "4: Greyed");
  menu.SetPrefixStyle(IMenu::kNoPrefix);
  EXPECT_EQ(IGraphicsWin::MenuItemLabel(&menu, 3), "Greyed");

  PopupMenuLayout layout;
  int counter = 0;
  IGraphicsWin::BuildMenu(&menu, counter, layout);
  EXPECT_EQ(layout.levels[0].items[1].flags, kPopupItemSeparator);
  EXPECT_EQ(layout.levels[0].items[2].id, 2); // the separator took id 1
  EXPECT_TRUE(layout.levels[0].items[2].flags & kPopupItemChecked);
  EXPECT_TRUE(layout.levels[0].items[3].flags & kPopupItemGreyed);

  // A greyed item cannot be chosen.
  HeadlessEditor e;
  IRectangle rect(0, 0, 10, 10);
  e.window->QueueMenuAnswer(3);
  EXPECT_EQ(e.graphics->ShowPopupMenu(&menu, &rect), nullptr);
  EXPECT_EQ(menu.ChosenIndex(), -1);

  // A menu that holds itself is built to a bounded depth instead of forever.
  IMenu loop;
  loop.AddItem("x");
  loop.AddSubmenuItem("again", &loop);
  PopupMenuLayout deep;
  counter = 0;
  EXPECT_EQ(IGraphicsWin::BuildMenu(&loop, counter, deep), 0);
  EXPECT_LT(deep.levels.size(), 40u);
  e.window->QueueMenuAnswer(0);
  EXPECT_EQ(e.graphics->ShowPopupMenu(&loop, &rect), &loop);
  EXPECT_EQ(loop.ChosenIndex(), 0);
}

TEST(EditorWindowMenus, RightClickOnAnEnumeratedControlSetsItsValue)
{
  HeadlessEditor e;
  IParameter* p = e.plug.ParameterAt(7);
  p->SetupEnumerated("Wave", 0, 3, "");
  p->AddValueText(0, "Saw");
  p->AddValueText(1, "Square");
  p->AddValueText(2, "Sine");
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), 7);
  knob->SetNoPrompt(false);
  e.window->QueueMenuAnswer(2);
  e.window->InjectPress(20, 20, kWindowButtonRight, 100);
  e.window->Pump();
  ASSERT_EQ(e.window->MenusShown(), 1);
  ASSERT_EQ(e.window->LastMenu().levels.size(), 1u);
  EXPECT_EQ(e.window->LastMenu().levels[0].items[0].text, "Saw");
  EXPECT_TRUE(e.window->LastMenu().levels[0].items[0].flags & kPopupItemChecked);
  EXPECT_DOUBLE_EQ(knob->Value(), 1.0);
  EXPECT_FALSE(e.window->Captured()); // the menu took the mouse over
}
