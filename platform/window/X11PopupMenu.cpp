// The X11 back end's popup menus: override-redirect windows painted by the editor's painter, with
// pointer and keyboard grabs; PopupMenuNavigator decides what the events do.
#include "platform/window/PopupMenuNavigator.h"
#include "platform/window/X11WindowState.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <vector>

namespace
{
// The windows of the open panels, in the navigator's order.
class X11MenuPanels : public PopupMenuPanelHost
{
public:
  X11MenuPanels(Display* display, Window root, Visual* visual, int depth, const PopupMenuLayout& layout,
                PopupMenuPainter& painter)
      : mDisplay(display), mRoot(root), mVisual(visual), mDepth(depth), mLayout(layout), mPainter(painter)
  {
  }

  bool ShowPanel(const PopupMenuPanel& panel) override
  {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.save_under = True;
    a.background_pixmap = None;
    a.event_mask = ExposureMask;
    Surface s;
    s.window = XCreateWindow(mDisplay, mRoot, panel.x, panel.y, unsigned(panel.width), unsigned(panel.height),
                             0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWEventMask, &a);
    if (!s.window) return false;
    s.gc = XCreateGC(mDisplay, s.window, 0, nullptr);
    s.width = panel.width;
    s.height = panel.height;
    s.pixels.assign(size_t(panel.width) * size_t(panel.height), 0u);
    XMapRaised(mDisplay, s.window);
    mSurfaces.push_back(std::move(s));
    return true;
  }

  void HidePanel() override
  {
    Surface& s = mSurfaces.back();
    XFreeGC(mDisplay, s.gc);
    XDestroyWindow(mDisplay, s.window);
    mSurfaces.pop_back();
  }

  void PaintPanel(size_t index, const PopupMenuPanel& panel) override
  {
    Surface& s = mSurfaces[index];
    mPainter.PaintLevel(mLayout, panel.level, panel.highlighted, s.pixels.data(), s.width, s.height);
    Repaint(index);
  }

  // Copies a panel's pixels to its window again.
  void Repaint(size_t index)
  {
    const Surface& s = mSurfaces[index];
    X11PutPixels(mDisplay, s.window, s.gc, mVisual, mDepth, s.pixels.data(), s.width, s.height, s.width, 0, 0,
                 s.width, s.height);
  }

  // The panel a window shows, or -1.
  int IndexOf(Window window) const
  {
    for (size_t i = 0; i < mSurfaces.size(); ++i)
      if (mSurfaces[i].window == window) return int(i);
    return -1;
  }

  Window WindowAt(size_t index) const { return mSurfaces[index].window; }

private:
  struct Surface
  {
    Window window = 0;
    GC gc = nullptr;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };

  Display* mDisplay;
  Window mRoot;
  Visual* mVisual;
  int mDepth;
  const PopupMenuLayout& mLayout;
  PopupMenuPainter& mPainter;
  std::vector<Surface> mSurfaces;
};

// The pointer and keyboard grabs of an open menu: all pointer and key events come to it, so that a
// press outside every panel closes it.
class X11MenuGrab
{
public:
  X11MenuGrab(Display* display, Window window) : mDisplay(display), mWindow(window) {}

  // Takes what is not held yet; true when both are.
  bool Take()
  {
    if (!mPointer)
      mPointer =
          XGrabPointer(mDisplay, mWindow, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                       GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    if (!mKeyboard)
      mKeyboard =
          XGrabKeyboard(mDisplay, mWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    return Held();
  }

  bool Held() const { return mPointer && mKeyboard; }

  void Release()
  {
    if (mPointer) XUngrabPointer(mDisplay, CurrentTime);
    if (mKeyboard) XUngrabKeyboard(mDisplay, CurrentTime);
  }

private:
  Display* mDisplay;
  Window mWindow;
  bool mPointer = false, mKeyboard = false;
};

bool IsWheel(unsigned int button)
{
  return button == Button4 || button == Button5;
}

bool MenuKey(KeySym sym, PopupMenuKey& key)
{
  switch (sym)
  {
  case XK_Escape:
    key = PopupMenuKey::Escape;
    return true;
  case XK_Down:
    key = PopupMenuKey::Down;
    return true;
  case XK_Up:
    key = PopupMenuKey::Up;
    return true;
  case XK_Left:
    key = PopupMenuKey::Left;
    return true;
  case XK_Right:
    key = PopupMenuKey::Right;
    return true;
  case XK_Return:
  case XK_KP_Enter:
    key = PopupMenuKey::Return;
    return true;
  default:
    return false;
  }
}

// One event while the menu is up. Events of the editor's window wait for the editor; false when that
// window is gone, which ends the menu.
bool MenuEvent(XEvent& ev, PopupMenuNavigator& menu, X11MenuPanels& panels, X11Window::State& s)
{
  switch (ev.type)
  {
  case Expose:
  {
    const int panel = panels.IndexOf(ev.xany.window);
    if (panel >= 0)
    {
      if (ev.xexpose.count == 0) panels.Repaint(size_t(panel));
    }
    else if (ev.xany.window == s.window)
      s.deferred.push_back(ev);
    return true;
  }
  case MotionNotify:
    while (XCheckTypedEvent(s.display, MotionNotify, &ev))
    {
    }
    menu.PointerMoved(ev.xmotion.x_root, ev.xmotion.y_root);
    return true;
  case ButtonPress:
    if (!IsWheel(ev.xbutton.button)) menu.ButtonPressed(ev.xbutton.x_root, ev.xbutton.y_root);
    return true;
  case ButtonRelease:
    if (!IsWheel(ev.xbutton.button)) menu.ButtonReleased(ev.xbutton.x_root, ev.xbutton.y_root);
    return true;
  case KeyPress:
  {
    PopupMenuKey key;
    if (MenuKey(XLookupKeysym(&ev.xkey, 0), key)) menu.KeyPressed(key);
    return true;
  }
  default:
    if (ev.xany.window != s.window) return true;
    s.deferred.push_back(ev);
    return ev.type != DestroyNotify;
  }
}
} // namespace

int X11Window::TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter)
{
  State& s = *mState;
  if (!s.window || layout.levels.empty()) return -1;
  X11ErrorTrap trap;
  Display* d = s.display;
  X11MenuPanels panels(d, s.root, DefaultVisual(d, s.screen), DefaultDepth(d, s.screen), layout, painter);
  PopupMenuNavigator menu(layout, painter, panels, DisplayWidth(d, s.screen), DisplayHeight(d, s.screen));

  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(d, s.window, s.root, x, y, &rootX, &rootY, &child);
  if (!menu.Open(rootX, rootY)) return -1;
  XSync(d, False);

  X11MenuGrab grab(d, panels.WindowAt(0));
  for (int attempt = 0; attempt < 20 && !grab.Take(); ++attempt)
    X11WaitForEvents(d, 10);

  bool editorWindowThere = true;
  while (editorWindowThere && !menu.Done() && s.window)
  {
    if (!XPending(d))
    {
      // Another client held a grab when the menu opened: keep asking, or the menu would
      // never see a key or a press outside it and could not be closed.
      const bool grabbed = grab.Held() || grab.Take();
      X11WaitForEvents(d, grabbed ? 50 : 10);
      continue;
    }
    XEvent ev;
    XNextEvent(d, &ev);
    editorWindowThere = MenuEvent(ev, menu, panels, s);
  }
  grab.Release();
  menu.Close();
  XFlush(d);
  return menu.Result();
}
