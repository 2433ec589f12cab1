#pragma once

#include "platform/window/PlatformWindow.h"

#include <cstddef>
#include <vector>

// One open panel of a popup menu: a level of the layout at a place of the screen.
struct PopupMenuPanel
{
  int level = 0;
  int x = 0, y = 0, width = 0, height = 0; // screen coordinates
  int highlighted = -1;
};

// What the navigator asks of a back end that shows its own menu panels: panels form a stack, the
// top level first, each submenu above its parent.
class PopupMenuPanelHost
{
public:
  virtual ~PopupMenuPanelHost() = default;
  // Shows a panel on top of the stack; false when it cannot be shown.
  virtual bool ShowPanel(const PopupMenuPanel& panel) = 0;
  // Removes the panel on top of the stack.
  virtual void HidePanel() = 0;
  // Draws a panel of the stack with its highlight.
  virtual void PaintPanel(size_t index, const PopupMenuPanel& panel) = 0;
};

// Keys a popup menu answers.
enum class PopupMenuKey
{
  Escape,
  Up,
  Down,
  Left,
  Right,
  Return,
};

// The behaviour of a popup menu that a back end draws itself, apart from any window system: which
// item is highlighted, which submenus are open, what the pointer and the keys do, and what is
// chosen. The pointer moves in screen coordinates. The back end feeds it events until Done.
class PopupMenuNavigator
{
public:
  PopupMenuNavigator(const PopupMenuLayout& layout, PopupMenuPainter& painter, PopupMenuPanelHost& host,
                     int screenWidth, int screenHeight);
  ~PopupMenuNavigator();
  PopupMenuNavigator(const PopupMenuNavigator&) = delete;
  PopupMenuNavigator& operator=(const PopupMenuNavigator&) = delete;

  // Opens the top level with its top-left corner at (x, y), kept on the screen; false when it
  // cannot be shown.
  bool Open(int x, int y);
  // Closes every panel; nothing is chosen unless it was already.
  void Close();

  void PointerMoved(int x, int y);
  // The wheel is no button here: the back end leaves it out.
  void ButtonPressed(int x, int y);
  void ButtonReleased(int x, int y);
  void KeyPressed(PopupMenuKey key);

  bool Done() const { return mDone; }
  // The command id chosen, or -1.
  int Result() const { return mResult; }
  const std::vector<PopupMenuPanel>& Panels() const { return mPanels; }
  // The topmost panel under a point, or -1.
  int PanelAt(int x, int y) const;

private:
  bool OpenLevel(int level, int x, int y, int leftEdge);
  void CloseFrom(size_t first);
  void Highlight(size_t panel, int item);
  void MoveHighlight(int step);
  void Paint(size_t panel);
  const std::vector<PopupMenuItem>& ItemsOf(const PopupMenuPanel& panel) const;
  void Choose(const PopupMenuItem& item);

  const PopupMenuLayout& mLayout;
  PopupMenuPainter& mPainter;
  PopupMenuPanelHost& mHost;
  int mScreenWidth, mScreenHeight;
  std::vector<PopupMenuPanel> mPanels;
  int mResult = -1;
  bool mDone = false;
  bool mArmed = false; // the release of the press that opened the menu chooses nothing
  bool mStartKnown = false;
  int mStartX = 0, mStartY = 0;
};
