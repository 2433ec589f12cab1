#include "platform/window/X11Window.h"

#include "platform/window/ProcessSpawn.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <vector>

namespace
{
// ---- Error trap ----
// Xlib's default error handler ends the process, and a host may destroy its
// window (and with it ours) before it tells us. Every call into our own
// connection runs with this handler installed; errors of other connections go
// on to the handler that was there before.
std::vector<Display*> gOurDisplays;
XErrorHandler gPreviousHandler = nullptr;
int gTrapDepth = 0;
int gLastError = 0;

int TrapHandler(Display* display, XErrorEvent* error)
{
  if (std::find(gOurDisplays.begin(), gOurDisplays.end(), display) != gOurDisplays.end())
  {
    gLastError = error->error_code;
    return 0;
  }
  if (gPreviousHandler && gPreviousHandler != TrapHandler)
    return gPreviousHandler(display, error);
  return 0;
}

class ErrorTrap
{
public:
  ErrorTrap()
  {
    if (gTrapDepth++ == 0)
      gPreviousHandler = XSetErrorHandler(TrapHandler);
  }
  ~ErrorTrap()
  {
    if (--gTrapDepth == 0)
      XSetErrorHandler(gPreviousHandler);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
};

uint32_t NowMs()
{
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

int MapKeySym(KeySym sym)
{
  if (sym >= XK_a && sym <= XK_z)
    return int(sym - XK_a) + 'A';
  if (sym >= XK_A && sym <= XK_Z)
    return int(sym - XK_A) + 'A';
  if (sym >= XK_0 && sym <= XK_9)
    return int(sym - XK_0) + '0';
  if (sym >= XK_KP_0 && sym <= XK_KP_9)
    return int(sym - XK_KP_0) + kWindowKeyNumpad0;
  if (sym >= XK_F1 && sym <= XK_F12)
    return int(sym - XK_F1) + kWindowKeyF1;
  switch (sym)
  {
  case XK_space: return kWindowKeySpace;
  case XK_Up: return kWindowKeyUp;
  case XK_Down: return kWindowKeyDown;
  case XK_Left: return kWindowKeyLeft;
  case XK_Right: return kWindowKeyRight;
  case XK_Return:
  case XK_KP_Enter: return kWindowKeyReturn;
  case XK_Escape: return kWindowKeyEscape;
  case XK_BackSpace: return kWindowKeyBackSpace;
  case XK_Tab: return kWindowKeyTab;
  case XK_Delete: return kWindowKeyDelete;
  case XK_Insert: return kWindowKeyInsert;
  case XK_Home: return kWindowKeyHome;
  case XK_End: return kWindowKeyEnd;
  case XK_Page_Up: return kWindowKeyPageUp;
  case XK_Page_Down: return kWindowKeyPageDown;
  case XK_Shift_L:
  case XK_Shift_R: return kWindowKeyShift;
  case XK_Control_L:
  case XK_Control_R: return kWindowKeyControl;
  case XK_Alt_L:
  case XK_Alt_R: return kWindowKeyAlt;
  default: return kWindowKeyOther;
  }
}

int ShiftOf(unsigned long mask)
{
  int shift = 0;
  if (!mask)
    return 0;
  while (!(mask & 1))
  {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int BitsOf(unsigned long mask)
{
  int bits = 0;
  for (; mask; mask >>= 1)
    bits += int(mask & 1);
  return bits;
}

// Copies an area of a pixel buffer to a drawable. The common 24-bit visual
// takes the bytes as they are; any other visual gets them converted.
void PutPixels(Display* display, Drawable target, GC gc, Visual* visual, int depth, const uint32_t* pixels,
               int frameWidth, int frameHeight, int stride, int x, int y, int width, int height)
{
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, frameWidth), y1 = std::min(y + height, frameHeight);
  if (x1 <= x0 || y1 <= y0 || !pixels)
    return;
  const bool direct = depth == 24 && visual->c_class == TrueColor && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF &&
                      ImageByteOrder(display) == LSBFirst;
  if (direct)
  {
    XImage* image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<uint32_t*>(pixels)), unsigned(frameWidth),
                                 unsigned(frameHeight), 32, stride * 4);
    if (!image)
      return;
    XPutImage(display, target, gc, image, x0, y0, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0));
    image->data = nullptr; // the pixels are the caller's
    XDestroyImage(image);
    return;
  }
  const int w = x1 - x0, h = y1 - y0;
  XImage* image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
  if (!image)
    return;
  std::vector<char> data(size_t(image->bytes_per_line) * size_t(h));
  image->data = data.data();
  const int rs = ShiftOf(visual->red_mask), gs = ShiftOf(visual->green_mask), bs = ShiftOf(visual->blue_mask);
  const int rb = BitsOf(visual->red_mask), gb = BitsOf(visual->green_mask), bb = BitsOf(visual->blue_mask);
  const unsigned long alphaBits =
      depth == 32 ? ~(visual->red_mask | visual->green_mask | visual->blue_mask) & 0xFFFFFFFFul : 0;
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col)
    {
      const uint32_t p = pixels[size_t(y0 + row) * size_t(stride) + size_t(x0 + col)];
      const unsigned long r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      unsigned long v = ((r >> (8 - std::min(rb, 8))) << rs) | ((g >> (8 - std::min(gb, 8))) << gs) |
                        ((b >> (8 - std::min(bb, 8))) << bs);
      XPutPixel(image, col, row, v | alphaBits); // the window is opaque whatever the frame's alpha
    }
  XPutImage(display, target, gc, image, 0, 0, x0, y0, unsigned(w), unsigned(h));
  image->data = nullptr;
  XDestroyImage(image);
}

void FillModifiers(WindowEvent& e, unsigned int state)
{
  e.shift = (state & ShiftMask) != 0;
  e.control = (state & ControlMask) != 0;
  e.alt = (state & Mod1Mask) != 0;
  e.left = (state & Button1Mask) != 0;
  e.middle = (state & Button2Mask) != 0;
  e.right = (state & Button3Mask) != 0;
}

int MapButton(unsigned int button)
{
  switch (button)
  {
  case Button1: return kWindowButtonLeft;
  case Button2: return kWindowButtonMiddle;
  case Button3: return kWindowButtonRight;
  default: return kWindowButtonNone;
  }
}

void SetButtonHeld(WindowEvent& e, int button, bool held)
{
  if (button == kWindowButtonLeft)
    e.left = held;
  else if (button == kWindowButtonMiddle)
    e.middle = held;
  else if (button == kWindowButtonRight)
    e.right = held;
}
} // namespace

struct X11Window::State
{
  Display* display = nullptr;
  int screen = 0;
  Window root = 0;
  Window window = 0;
  Window parent = 0;
  Window topLevel = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  Cursor blankCursor = 0;
  bool cursorHidden = false;
  WindowListener* listener = nullptr;
  int width = 0, height = 0;
  int timerPeriod = 0;
  std::chrono::steady_clock::time_point nextTick;
  DoubleClickDetector doubleClick;
  XKeyEvent lastKey{};
  bool haveLastKey = false;
  std::deque<XEvent> deferred; // events of the editor window that arrived during a modal loop
  bool exposePending = false;
  int exposeX0 = 0, exposeY0 = 0, exposeX1 = 0, exposeY1 = 0;

  bool WindowViewable(Window w)
  {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, w, &a))
      return false;
    return a.map_state == IsViewable;
  }

  Window FindTopLevel(Window w)
  {
    Window current = w;
    for (int guard = 0; current && guard < 64; ++guard)
    {
      Window rootReturn = 0, parentReturn = 0, *children = nullptr;
      unsigned int count = 0;
      if (!XQueryTree(display, current, &rootReturn, &parentReturn, &children, &count))
        return 0;
      if (children)
        XFree(children);
      if (parentReturn == rootReturn || parentReturn == 0)
        return current;
      current = parentReturn;
    }
    return 0;
  }

  void Deliver(const WindowEvent& e)
  {
    if (listener)
      listener->OnWindowEvent(e);
  }

  void Translate(XEvent& ev);
};

void X11Window::State::Translate(XEvent& ev)
{
  if (!window || ev.xany.window != window)
    return;
  WindowEvent e;
  switch (ev.type)
  {
  case Expose:
  {
    // Gather the areas of one expose series and repaint them together.
    const int x0 = ev.xexpose.x, y0 = ev.xexpose.y;
    const int x1 = x0 + ev.xexpose.width, y1 = y0 + ev.xexpose.height;
    if (!exposePending)
    {
      exposeX0 = x0;
      exposeY0 = y0;
      exposeX1 = x1;
      exposeY1 = y1;
      exposePending = true;
    }
    else
    {
      exposeX0 = std::min(exposeX0, x0);
      exposeY0 = std::min(exposeY0, y0);
      exposeX1 = std::max(exposeX1, x1);
      exposeY1 = std::max(exposeY1, y1);
    }
    if (ev.xexpose.count == 0)
    {
      exposePending = false;
      e.kind = kWindowEventExpose;
      e.x = exposeX0;
      e.y = exposeY0;
      e.width = exposeX1 - exposeX0;
      e.height = exposeY1 - exposeY0;
      Deliver(e);
    }
    return;
  }
  case ButtonPress:
  {
    const unsigned int b = ev.xbutton.button;
    e.x = ev.xbutton.x;
    e.y = ev.xbutton.y;
    e.time = uint32_t(ev.xbutton.time);
    FillModifiers(e, ev.xbutton.state);
    if (b == Button4 || b == Button5)
    {
      e.kind = kWindowEventWheel;
      e.wheel = b == Button4 ? 120 : -120;
      Deliver(e);
      return;
    }
    e.button = MapButton(b);
    if (e.button == kWindowButtonNone)
      return;
    SetButtonHeld(e, e.button, true);
    e.kind = doubleClick.Press(e.button, e.x, e.y, e.time) ? kWindowEventDoubleClick : kWindowEventMouseDown;
    Deliver(e);
    return;
  }
  case ButtonRelease:
  {
    e.button = MapButton(ev.xbutton.button);
    if (e.button == kWindowButtonNone)
      return;
    e.kind = kWindowEventMouseUp;
    e.x = ev.xbutton.x;
    e.y = ev.xbutton.y;
    e.time = uint32_t(ev.xbutton.time);
    FillModifiers(e, ev.xbutton.state);
    SetButtonHeld(e, e.button, false);
    Deliver(e);
    return;
  }
  case MotionNotify:
  {
    // Only the latest position of a burst of moves matters.
    while (XCheckTypedWindowEvent(display, window, MotionNotify, &ev))
    {
    }
    e.kind = kWindowEventMouseMove;
    e.x = ev.xmotion.x;
    e.y = ev.xmotion.y;
    e.time = uint32_t(ev.xmotion.time);
    FillModifiers(e, ev.xmotion.state);
    Deliver(e);
    return;
  }
  case KeyPress:
  {
    char text[8] = {};
    KeySym sym = NoSymbol;
    const int n = XLookupString(&ev.xkey, text, sizeof text - 1, &sym, nullptr);
    lastKey = ev.xkey;
    haveLastKey = true;
    e.kind = kWindowEventKeyDown;
    e.key = MapKeySym(sym);
    e.x = ev.xkey.x;
    e.y = ev.xkey.y;
    e.time = uint32_t(ev.xkey.time);
    FillModifiers(e, ev.xkey.state);
    if (n > 0)
      std::memcpy(e.text, text, size_t(n));
    Deliver(e);
    return;
  }
  case FocusIn:
  case FocusOut:
    // Grabs (our own menus among them) and pointer focus are not real focus changes.
    if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab || ev.xfocus.detail == NotifyPointer ||
        ev.xfocus.detail == NotifyInferior)
      return;
    e.kind = ev.type == FocusIn ? kWindowEventFocusIn : kWindowEventFocusOut;
    Deliver(e);
    return;
  case ConfigureNotify:
    width = ev.xconfigure.width;
    height = ev.xconfigure.height;
    return;
  case DestroyNotify:
    if (ev.xdestroywindow.window == window)
    {
      // The host destroyed its window and ours with it.
      window = 0;
      if (gc)
        XFreeGC(display, gc);
      gc = nullptr;
      e.kind = kWindowEventClose;
      Deliver(e);
    }
    return;
  default: return;
  }
}

// ---- X11Window ----

X11Window::X11Window() : mState(std::make_unique<State>())
{
  ErrorTrap trap;
  mState->display = XOpenDisplay(nullptr);
  if (!mState->display)
    return;
  gOurDisplays.push_back(mState->display);
  mState->screen = DefaultScreen(mState->display);
  mState->root = RootWindow(mState->display, mState->screen);
}

X11Window::~X11Window()
{
  if (!mState->display)
    return;
  Close();
  ErrorTrap trap;
  XCloseDisplay(mState->display);
  gOurDisplays.erase(std::remove(gOurDisplays.begin(), gOurDisplays.end(), mState->display), gOurDisplays.end());
  mState->display = nullptr;
}

bool X11Window::IsUsable() const { return mState->display != nullptr; }

bool X11Window::Open(uintptr_t parent, int width, int height, WindowListener* listener)
{
  State& s = *mState;
  if (!s.display || s.window || parent == 0 || width <= 0 || height <= 0)
    return false;
  ErrorTrap trap;
  gLastError = 0;
  XWindowAttributes parentAttributes;
  if (!XGetWindowAttributes(s.display, Window(parent), &parentAttributes) || gLastError)
    return false;

  XSetWindowAttributes a{};
  a.background_pixmap = None; // no clearing before our frame is presented
  a.border_pixel = 0;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                 FocusChangeMask | StructureNotifyMask;
  Window w = XCreateWindow(s.display, Window(parent), 0, 0, unsigned(width), unsigned(height), 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixmap | CWBorderPixel | CWEventMask, &a);
  XSync(s.display, False);
  if (!w || gLastError)
  {
    if (w)
      XDestroyWindow(s.display, w);
    XSync(s.display, False);
    return false;
  }
  XStoreName(s.display, w, "IEffect");
  s.window = w;
  s.parent = Window(parent);
  s.visual = parentAttributes.visual;
  s.depth = parentAttributes.depth;
  s.gc = XCreateGC(s.display, w, 0, nullptr);
  s.width = width;
  s.height = height;
  s.listener = listener;
  s.deferred.clear();
  s.exposePending = false;
  s.haveLastKey = false;
  s.doubleClick.Reset();
  s.topLevel = s.FindTopLevel(s.parent);
  XMapWindow(s.display, w);
  XSync(s.display, False);
  if (s.WindowViewable(w))
    XSetInputFocus(s.display, w, RevertToParent, CurrentTime);
  if (s.timerPeriod > 0)
    s.nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.timerPeriod);
  XFlush(s.display);
  return true;
}

void X11Window::Close()
{
  State& s = *mState;
  if (!s.display)
    return;
  ErrorTrap trap;
  if (s.window)
  {
    if (s.cursorHidden)
      XUndefineCursor(s.display, s.window);
    if (s.gc)
      XFreeGC(s.display, s.gc);
    XDestroyWindow(s.display, s.window);
  }
  if (s.blankCursor)
    XFreeCursor(s.display, s.blankCursor);
  s.blankCursor = 0;
  s.cursorHidden = false;
  s.gc = nullptr;
  s.window = 0;
  s.listener = nullptr;
  s.deferred.clear();
  XSync(s.display, True); // drops what is left of the window's events
}

bool X11Window::IsOpen() const { return mState->window != 0; }
uintptr_t X11Window::Handle() const { return uintptr_t(mState->window); }

bool X11Window::Resize(int width, int height)
{
  State& s = *mState;
  if (!s.window || width <= 0 || height <= 0)
    return false;
  ErrorTrap trap;
  XResizeWindow(s.display, s.window, unsigned(width), unsigned(height));
  s.width = width;
  s.height = height;
  XFlush(s.display);
  return true;
}

void X11Window::Present(const PixelFrame& frame, int x, int y, int width, int height)
{
  State& s = *mState;
  if (!s.window || !frame.pixels)
    return;
  ErrorTrap trap;
  PutPixels(s.display, s.window, s.gc, s.visual, s.depth, frame.pixels, frame.width, frame.height, frame.stride, x, y,
            width, height);
  XFlush(s.display);
}

void X11Window::SetTimerPeriod(int milliseconds)
{
  mState->timerPeriod = std::max(0, milliseconds);
  mState->nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(mState->timerPeriod);
}

void X11Window::Pump()
{
  State& s = *mState;
  if (!s.display || !s.window)
    return;
  ErrorTrap trap;
  while (!s.deferred.empty() && s.window)
  {
    XEvent ev = s.deferred.front();
    s.deferred.pop_front();
    s.Translate(ev);
  }
  while (s.window && XPending(s.display))
  {
    XEvent ev;
    XNextEvent(s.display, &ev);
    s.Translate(ev);
  }
  if (s.window && s.timerPeriod > 0)
  {
    const auto now = std::chrono::steady_clock::now();
    if (now >= s.nextTick)
    {
      // A late host does not get a burst of ticks.
      s.nextTick += std::chrono::milliseconds(s.timerPeriod);
      if (s.nextTick < now)
        s.nextTick = now + std::chrono::milliseconds(s.timerPeriod);
      WindowEvent e;
      e.kind = kWindowEventTimer;
      e.time = NowMs();
      s.Deliver(e);
    }
  }
  if (s.display)
    XFlush(s.display);
}

void X11Window::TakeFocus()
{
  State& s = *mState;
  if (!s.window)
    return;
  ErrorTrap trap;
  if (s.WindowViewable(s.window))
    XSetInputFocus(s.display, s.window, RevertToParent, CurrentTime);
  XFlush(s.display);
}

void X11Window::CaptureMouse()
{
  State& s = *mState;
  if (!s.window)
    return;
  ErrorTrap trap;
  XGrabPointer(s.display, s.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, None, CurrentTime);
  XFlush(s.display);
}

void X11Window::ReleaseMouse()
{
  State& s = *mState;
  if (!s.display)
    return;
  ErrorTrap trap;
  XUngrabPointer(s.display, CurrentTime);
  XFlush(s.display);
}

bool X11Window::PointerPosition(int& x, int& y)
{
  State& s = *mState;
  if (!s.window)
    return false;
  ErrorTrap trap;
  Window rootReturn, childReturn;
  int rx, ry, wx, wy;
  unsigned int mask;
  if (!XQueryPointer(s.display, s.window, &rootReturn, &childReturn, &rx, &ry, &wx, &wy, &mask))
    return false;
  x = wx;
  y = wy;
  return true;
}

void X11Window::WarpPointer(int x, int y)
{
  State& s = *mState;
  if (!s.window)
    return;
  ErrorTrap trap;
  XWarpPointer(s.display, None, s.window, 0, 0, 0, 0, x, y);
  XFlush(s.display);
}

void X11Window::SetCursorVisible(bool visible)
{
  State& s = *mState;
  if (!s.window || visible == !s.cursorHidden)
    return;
  ErrorTrap trap;
  if (visible)
  {
    XUndefineCursor(s.display, s.window);
    s.cursorHidden = false;
  }
  else
  {
    if (!s.blankCursor)
    {
      static const char empty[1] = {0};
      Pixmap bitmap = XCreateBitmapFromData(s.display, s.window, empty, 1, 1);
      XColor black{};
      s.blankCursor = XCreatePixmapCursor(s.display, bitmap, bitmap, &black, &black, 0, 0);
      XFreePixmap(s.display, bitmap);
    }
    XDefineCursor(s.display, s.window, s.blankCursor);
    s.cursorHidden = true;
  }
  XFlush(s.display);
}

void X11Window::ForwardKeyToHost(const WindowEvent&)
{
  State& s = *mState;
  if (!s.window || !s.haveLastKey || !s.topLevel)
    return;
  ErrorTrap trap;
  XKeyEvent key = s.lastKey;
  key.window = s.topLevel;
  key.subwindow = None;
  XEvent ev{};
  ev.xkey = key;
  XSendEvent(s.display, s.topLevel, True, KeyPressMask, &ev);
  XFlush(s.display);
}

// ---- Popup menus ----

namespace
{
struct MenuPanel
{
  int level = 0;
  Window window = 0;
  GC gc = nullptr;
  int x = 0, y = 0, width = 0, height = 0; // root coordinates
  int highlighted = -1;
  std::vector<uint32_t> pixels;
};

bool Choosable(const PopupMenuItem& item)
{
  return item.id >= 0 && item.submenu < 0 &&
         !(item.flags & (kPopupItemGreyed | kPopupItemDisabled | kPopupItemSeparator));
}
} // namespace

int X11Window::TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter)
{
  State& s = *mState;
  if (!s.window || layout.levels.empty())
    return -1;
  ErrorTrap trap;
  Display* d = s.display;
  Visual* visual = DefaultVisual(d, s.screen);
  const int depth = DefaultDepth(d, s.screen);
  const int screenW = DisplayWidth(d, s.screen), screenH = DisplayHeight(d, s.screen);
  std::vector<MenuPanel> panels;

  auto paint = [&](MenuPanel& p) {
    painter.PaintLevel(layout, p.level, p.highlighted, p.pixels.data(), p.width, p.height);
    PutPixels(d, p.window, p.gc, visual, depth, p.pixels.data(), p.width, p.height, p.width, 0, 0, p.width, p.height);
  };
  auto closeFrom = [&](size_t first) {
    while (panels.size() > first)
    {
      MenuPanel& p = panels.back();
      XFreeGC(d, p.gc);
      XDestroyWindow(d, p.window);
      panels.pop_back();
    }
  };
  auto open = [&](int level, int rx, int ry, int leftEdge) -> bool {
    if (level < 0 || level >= int(layout.levels.size()))
      return false;
    MenuPanel p;
    p.level = level;
    painter.MeasureLevel(layout, level, p.width, p.height);
    if (p.width <= 0 || p.height <= 0)
      return false;
    // Keep the panel on the screen: flip a submenu to the left, move a panel up.
    if (rx + p.width > screenW)
      rx = leftEdge >= 0 ? std::max(0, leftEdge - p.width) : std::max(0, screenW - p.width);
    if (ry + p.height > screenH)
      ry = std::max(0, screenH - p.height);
    p.x = rx;
    p.y = ry;
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.save_under = True;
    a.background_pixmap = None;
    a.event_mask = ExposureMask;
    p.window = XCreateWindow(d, s.root, rx, ry, unsigned(p.width), unsigned(p.height), 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWEventMask,
                             &a);
    if (!p.window)
      return false;
    p.gc = XCreateGC(d, p.window, 0, nullptr);
    p.pixels.assign(size_t(p.width) * size_t(p.height), 0u);
    XMapRaised(d, p.window);
    panels.push_back(std::move(p));
    paint(panels.back());
    return true;
  };

  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(d, s.window, s.root, x, y, &rootX, &rootY, &child);
  if (!open(0, rootX, rootY, -1))
    return -1;
  XSync(d, False);

  // All pointer and key events come to us while the menu is up; a press
  // outside every panel closes it.
  const Window grabWindow = panels[0].window;
  bool pointerGrabbed = false, keyboardGrabbed = false;
  auto grab = [&] {
    if (!pointerGrabbed)
      pointerGrabbed = XGrabPointer(d, grabWindow, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    if (!keyboardGrabbed)
      keyboardGrabbed = XGrabKeyboard(d, grabWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    return pointerGrabbed && keyboardGrabbed;
  };
  for (int attempt = 0; attempt < 20 && !grab(); ++attempt)
  {
    pollfd pfd{ConnectionNumber(d), POLLIN, 0};
    poll(&pfd, 1, 10);
  }

  auto panelAt = [&](int rx, int ry) -> int {
    for (int i = int(panels.size()) - 1; i >= 0; --i)
    {
      const MenuPanel& p = panels[size_t(i)];
      if (rx >= p.x && rx < p.x + p.width && ry >= p.y && ry < p.y + p.height)
        return i;
    }
    return -1;
  };
  auto highlight = [&](size_t panel, int item) {
    MenuPanel& p = panels[panel];
    if (p.highlighted == item)
      return;
    closeFrom(panel + 1);
    p.highlighted = item;
    paint(p);
    const std::vector<PopupMenuItem>& items = layout.levels[size_t(p.level)].items;
    if (item >= 0 && item < int(items.size()) && items[size_t(item)].submenu >= 0 &&
        !(items[size_t(item)].flags & (kPopupItemGreyed | kPopupItemDisabled)))
    {
      int top = 0, bottom = 0;
      painter.ItemRow(layout, p.level, item, top, bottom);
      const int px = p.x, pw = p.width, py = p.y;
      open(items[size_t(item)].submenu, px + pw - 2, py + top, px + 2);
    }
  };
  auto moveHighlight = [&](int step) {
    MenuPanel& p = panels.back();
    const std::vector<PopupMenuItem>& items = layout.levels[size_t(p.level)].items;
    const int n = int(items.size());
    int i = p.highlighted;
    for (int tries = 0; tries < n; ++tries)
    {
      i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
      if (!(items[size_t(i)].flags & kPopupItemSeparator))
      {
        // Moving by keys does not open a submenu; Right does.
        p.highlighted = i;
        closeFrom(panels.size());
        paint(p);
        return;
      }
    }
  };

  int result = -1;
  bool done = false;
  bool armed = false; // the release of the press that opened the menu chooses nothing
  bool startKnown = false;
  int startX = 0, startY = 0;
  while (!done && s.window)
  {
    if (!XPending(d))
    {
      // Another client held a grab when the menu opened: keep asking, or the menu would
      // never see a key or a press outside it and could not be closed.
      const bool grabbed = (pointerGrabbed && keyboardGrabbed) || grab();
      pollfd pfd{ConnectionNumber(d), POLLIN, 0};
      poll(&pfd, 1, grabbed ? 50 : 10);
      continue;
    }
    XEvent ev;
    XNextEvent(d, &ev);
    int panelIndex = -1;
    for (size_t i = 0; i < panels.size(); ++i)
      if (panels[i].window == ev.xany.window)
        panelIndex = int(i);
    switch (ev.type)
    {
    case Expose:
      if (panelIndex >= 0)
      {
        if (ev.xexpose.count == 0)
        {
          MenuPanel& p = panels[size_t(panelIndex)];
          PutPixels(d, p.window, p.gc, visual, depth, p.pixels.data(), p.width, p.height, p.width, 0, 0, p.width,
                    p.height);
        }
      }
      else if (ev.xany.window == s.window)
        s.deferred.push_back(ev);
      break;
    case MotionNotify:
    {
      while (XCheckTypedEvent(d, MotionNotify, &ev))
      {
      }
      const int rx = ev.xmotion.x_root, ry = ev.xmotion.y_root;
      if (!startKnown)
      {
        startKnown = true;
        startX = rx;
        startY = ry;
      }
      else if (std::abs(rx - startX) > 3 || std::abs(ry - startY) > 3)
        armed = true;
      const int i = panelAt(rx, ry);
      if (i >= 0)
      {
        const MenuPanel& p = panels[size_t(i)];
        const int item = painter.ItemAt(layout, p.level, rx - p.x, ry - p.y);
        // Leaving a submenu's parent row for the submenu keeps it open.
        if (item >= 0 || size_t(i) + 1 == panels.size())
          highlight(size_t(i), item);
      }
      break;
    }
    case ButtonPress:
    {
      if (ev.xbutton.button == Button4 || ev.xbutton.button == Button5)
        break;
      const int i = panelAt(ev.xbutton.x_root, ev.xbutton.y_root);
      if (i < 0)
        done = true;
      else
        armed = true;
      break;
    }
    case ButtonRelease:
    {
      if (ev.xbutton.button == Button4 || ev.xbutton.button == Button5 || !armed)
        break;
      const int i = panelAt(ev.xbutton.x_root, ev.xbutton.y_root);
      if (i < 0)
        break;
      const MenuPanel& p = panels[size_t(i)];
      const int item = painter.ItemAt(layout, p.level, ev.xbutton.x_root - p.x, ev.xbutton.y_root - p.y);
      const std::vector<PopupMenuItem>& items = layout.levels[size_t(p.level)].items;
      if (item >= 0 && item < int(items.size()) && Choosable(items[size_t(item)]))
      {
        result = items[size_t(item)].id;
        done = true;
      }
      break;
    }
    case KeyPress:
    {
      KeySym sym = XLookupKeysym(&ev.xkey, 0);
      MenuPanel& p = panels.back();
      const std::vector<PopupMenuItem>& items = layout.levels[size_t(p.level)].items;
      if (sym == XK_Escape)
        done = true;
      else if (sym == XK_Down)
        moveHighlight(1);
      else if (sym == XK_Up)
        moveHighlight(-1);
      else if (sym == XK_Left && panels.size() > 1)
        closeFrom(panels.size() - 1);
      else if ((sym == XK_Right || sym == XK_Return || sym == XK_KP_Enter) && p.highlighted >= 0 &&
               p.highlighted < int(items.size()))
      {
        const PopupMenuItem& item = items[size_t(p.highlighted)];
        if (item.submenu >= 0)
        {
          const int keep = p.highlighted;
          p.highlighted = -1;
          highlight(panels.size() - 1, keep);
        }
        else if ((sym == XK_Return || sym == XK_KP_Enter) && Choosable(item))
        {
          result = item.id;
          done = true;
        }
      }
      break;
    }
    default:
      if (ev.xany.window == s.window)
      {
        s.deferred.push_back(ev);
        if (ev.type == DestroyNotify)
          done = true;
      }
      break;
    }
  }
  if (pointerGrabbed)
    XUngrabPointer(d, CurrentTime);
  if (keyboardGrabbed)
    XUngrabKeyboard(d, CurrentTime);
  closeFrom(0);
  XFlush(d);
  return result;
}

// ---- Message box ----

int X11Window::ShowMessageBox(const std::string& text, const std::string& caption, int kind)
{
  State& s = *mState;
  if (!s.display)
    return kMessageBoxAnswerNone;
  ErrorTrap trap;
  Display* d = s.display;
  XFontStruct* font = XLoadQueryFont(d, "fixed");
  if (!font)
    return kMessageBoxAnswerNone;

  std::vector<std::pair<std::string, int>> buttons;
  switch (kind)
  {
  case kMessageBoxOkCancel: buttons = {{"OK", kMessageBoxAnswerOk}, {"Cancel", kMessageBoxAnswerCancel}}; break;
  case kMessageBoxYesNo: buttons = {{"Yes", kMessageBoxAnswerYes}, {"No", kMessageBoxAnswerNo}}; break;
  case kMessageBoxYesNoCancel:
    buttons = {{"Yes", kMessageBoxAnswerYes}, {"No", kMessageBoxAnswerNo}, {"Cancel", kMessageBoxAnswerCancel}};
    break;
  default: buttons = {{"OK", kMessageBoxAnswerOk}}; break;
  }

  // Lines of the text, wrapped at 72 characters.
  std::vector<std::string> lines;
  {
    size_t start = 0;
    while (start <= text.size())
    {
      size_t end = text.find('\n', start);
      if (end == std::string::npos)
        end = text.size();
      std::string line = text.substr(start, end - start);
      while (line.size() > 72)
      {
        size_t cut = line.rfind(' ', 72);
        if (cut == std::string::npos || cut == 0)
          cut = 72;
        lines.push_back(line.substr(0, cut));
        line = line.substr(cut == 72 ? cut : cut + 1);
      }
      lines.push_back(line);
      start = end + 1;
    }
  }
  const int lineHeight = font->ascent + font->descent;
  int textWidth = 0;
  for (const std::string& line : lines)
    textWidth = std::max(textWidth, XTextWidth(font, line.c_str(), int(line.size())));
  const int buttonW = 80, buttonH = lineHeight + 12, gap = 10, margin = 16;
  const int buttonsWidth = int(buttons.size()) * buttonW + int(buttons.size() - 1) * gap;
  const int width = std::max(textWidth, buttonsWidth) + 2 * margin;
  const int height = margin + int(lines.size()) * lineHeight + margin + buttonH + margin;

  const int screenW = DisplayWidth(d, s.screen), screenH = DisplayHeight(d, s.screen);
  int x = (screenW - width) / 2, y = (screenH - height) / 2;
  XSetWindowAttributes a{};
  a.background_pixel = 0xE0E0E0;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
  Window box = XCreateWindow(d, s.root, x, y, unsigned(width), unsigned(height), 1, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &a);
  if (!box)
  {
    XFreeFont(d, font);
    return kMessageBoxAnswerNone;
  }
  XStoreName(d, box, caption.c_str());
  if (s.topLevel)
    XSetTransientForHint(d, box, s.topLevel);
  Atom wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, box, &wmDelete, 1);
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize | PPosition;
  hints.x = x;
  hints.y = y;
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  XSetWMNormalHints(d, box, &hints);
  GC gc = XCreateGC(d, box, 0, nullptr);
  XSetFont(d, gc, font->fid);
  XMapRaised(d, box);

  const int buttonsTop = height - margin - buttonH;
  const int buttonsLeft = (width - buttonsWidth) / 2;
  auto draw = [&]() {
    XSetForeground(d, gc, 0x000000);
    for (size_t i = 0; i < lines.size(); ++i)
      XDrawString(d, box, gc, margin, margin + int(i) * lineHeight + font->ascent, lines[i].c_str(),
                  int(lines[i].size()));
    for (size_t i = 0; i < buttons.size(); ++i)
    {
      const int bx = buttonsLeft + int(i) * (buttonW + gap);
      XSetForeground(d, gc, 0xF8F8F8);
      XFillRectangle(d, box, gc, bx, buttonsTop, unsigned(buttonW), unsigned(buttonH));
      XSetForeground(d, gc, 0x606060);
      XDrawRectangle(d, box, gc, bx, buttonsTop, unsigned(buttonW - 1), unsigned(buttonH - 1));
      XSetForeground(d, gc, 0x000000);
      const std::string& label = buttons[i].first;
      const int lw = XTextWidth(font, label.c_str(), int(label.size()));
      XDrawString(d, box, gc, bx + (buttonW - lw) / 2, buttonsTop + 6 + font->ascent, label.c_str(), int(label.size()));
    }
  };

  int answer = kMessageBoxAnswerNone;
  const int escapeAnswer = buttons.back().second;
  bool done = false;
  bool boxGone = false;
  while (!done)
  {
    if (!XPending(d))
    {
      pollfd pfd{ConnectionNumber(d), POLLIN, 0};
      poll(&pfd, 1, 50);
      continue;
    }
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.xany.window != box)
    {
      if (s.window && ev.xany.window == s.window)
        s.deferred.push_back(ev);
      continue;
    }
    switch (ev.type)
    {
    case Expose:
      if (ev.xexpose.count == 0)
        draw();
      break;
    case ButtonRelease:
      for (size_t i = 0; i < buttons.size(); ++i)
      {
        const int bx = buttonsLeft + int(i) * (buttonW + gap);
        if (ev.xbutton.x >= bx && ev.xbutton.x < bx + buttonW && ev.xbutton.y >= buttonsTop &&
            ev.xbutton.y < buttonsTop + buttonH)
        {
          answer = buttons[i].second;
          done = true;
        }
      }
      break;
    case KeyPress:
    {
      const KeySym sym = XLookupKeysym(&ev.xkey, 0);
      if (sym == XK_Return || sym == XK_KP_Enter)
      {
        answer = buttons.front().second;
        done = true;
      }
      else if (sym == XK_Escape)
      {
        answer = escapeAnswer;
        done = true;
      }
      break;
    }
    case ClientMessage:
      if (Atom(ev.xclient.data.l[0]) == wmDelete)
      {
        answer = escapeAnswer;
        done = true;
      }
      break;
    case DestroyNotify:
      boxGone = true;
      answer = escapeAnswer;
      done = true;
      break;
    default: break;
    }
  }
  XFreeGC(d, gc);
  if (!boxGone)
    XDestroyWindow(d, box);
  XFreeFont(d, font);
  XFlush(d);
  return answer;
}

// ---- Dialog programs ----

DialogStatus X11Window::PromptForFile(bool save, const std::string& folder, const std::string& file,
                                      const std::vector<std::string>& extensions, std::string& path)
{
  if (!mState->window || !ProgramAvailable("zenity"))
    return kDialogUnavailable;
  const ProgramResult r = RunProgram(FilePromptArguments(save, folder, file, extensions), true);
  if (!r.started)
    return kDialogUnavailable;
  const std::string chosen = FirstLine(r.output);
  if (r.exitCode != 0 || chosen.empty())
    return kDialogCancelled;
  path = chosen;
  return kDialogChosen;
}

DialogStatus X11Window::PromptForColour(const std::string& title, uint8_t rgb[3])
{
  if (!mState->window || !ProgramAvailable("zenity"))
    return kDialogUnavailable;
  const ProgramResult r = RunProgram(ColourPromptArguments(title, rgb), true);
  if (!r.started)
    return kDialogUnavailable;
  if (r.exitCode != 0 || !ParseColourAnswer(r.output, rgb))
    return kDialogCancelled;
  return kDialogChosen;
}

bool X11Window::OpenWithShell(const std::string& target)
{
  return OpenWithDesktop(target);
}

std::unique_ptr<PlatformWindow> CreateX11Window()
{
  auto window = std::make_unique<X11Window>();
  if (!window->IsUsable())
    return nullptr;
  return window;
}

std::unique_ptr<PlatformWindow> CreateSystemWindow()
{
  return CreateX11Window();
}
