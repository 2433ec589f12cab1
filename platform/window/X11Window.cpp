#include "platform/window/X11WindowState.h"

#include "platform/window/ProcessSpawn.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <poll.h>
#include <utility>
#include <vector>

namespace
{
// ---- Error trap (X11WindowState.h) ----
// Xlib has one error handler per process, and hosts open, idle and close the editors of several
// instances on different threads: the trap's state is shared by all of them, under one lock. It is
// never destroyed, so that an editor still closing while the process exits finds it.
struct OurDisplay
{
  Display* display;
  int lastError;
};

struct TrapState
{
  std::mutex lock;
  std::vector<OurDisplay> displays; // a display closed and another opened at its address meanwhile
                                    // may be listed twice for a moment: each removal takes one
  XErrorHandler previous = nullptr;
  int depth = 0;
};

TrapState& Trap()
{
  // In static storage rather than on the heap, so that unloading the plug-in leaves nothing behind.
  alignas(TrapState) static unsigned char storage[sizeof(TrapState)];
  static TrapState* const state = new (storage) TrapState;
  return *state;
}

int TrapHandler(Display* display, XErrorEvent* error)
{
  TrapState& t = Trap();
  XErrorHandler previous = nullptr;
  {
    std::lock_guard<std::mutex> lock(t.lock);
    for (OurDisplay& d : t.displays)
      if (d.display == display)
      {
        d.lastError = error->error_code;
        return 0;
      }
    previous = t.previous;
  }
  // Outside the lock: the handler before ours may call back into Xlib.
  if (previous && previous != TrapHandler) return previous(display, error);
  return 0;
}

void AddOurDisplay(Display* display)
{
  TrapState& t = Trap();
  std::lock_guard<std::mutex> lock(t.lock);
  t.displays.push_back({display, 0});
}

void RemoveOurDisplay(Display* display)
{
  TrapState& t = Trap();
  std::lock_guard<std::mutex> lock(t.lock);
  const auto it = std::find_if(t.displays.begin(), t.displays.end(),
                               [display](const OurDisplay& d) { return d.display == display; });
  if (it != t.displays.end()) t.displays.erase(it);
  // The list's memory goes with the last display, so that an unloaded plug-in keeps none.
  if (t.displays.empty()) std::vector<OurDisplay>().swap(t.displays);
}

// The last error the trap caught on one of our displays, then 0 again.
int TakeLastError(Display* display)
{
  TrapState& t = Trap();
  std::lock_guard<std::mutex> lock(t.lock);
  for (OurDisplay& d : t.displays)
    if (d.display == display) return std::exchange(d.lastError, 0);
  return 0;
}

uint32_t NowMs()
{
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

int MapKeySym(KeySym sym)
{
  if (sym >= XK_a && sym <= XK_z) return int(sym - XK_a) + 'A';
  if (sym >= XK_A && sym <= XK_Z) return int(sym - XK_A) + 'A';
  if (sym >= XK_0 && sym <= XK_9) return int(sym - XK_0) + '0';
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return int(sym - XK_KP_0) + kWindowKeyNumpad0;
  if (sym >= XK_F1 && sym <= XK_F12) return int(sym - XK_F1) + kWindowKeyF1;
  switch (sym)
  {
  case XK_space:
    return kWindowKeySpace;
  case XK_Up:
    return kWindowKeyUp;
  case XK_Down:
    return kWindowKeyDown;
  case XK_Left:
    return kWindowKeyLeft;
  case XK_Right:
    return kWindowKeyRight;
  case XK_Return:
  case XK_KP_Enter:
    return kWindowKeyReturn;
  case XK_Escape:
    return kWindowKeyEscape;
  case XK_BackSpace:
    return kWindowKeyBackSpace;
  case XK_Tab:
    return kWindowKeyTab;
  case XK_Delete:
    return kWindowKeyDelete;
  case XK_Insert:
    return kWindowKeyInsert;
  case XK_Home:
    return kWindowKeyHome;
  case XK_End:
    return kWindowKeyEnd;
  case XK_Page_Up:
    return kWindowKeyPageUp;
  case XK_Page_Down:
    return kWindowKeyPageDown;
  case XK_Shift_L:
  case XK_Shift_R:
    return kWindowKeyShift;
  case XK_Control_L:
  case XK_Control_R:
    return kWindowKeyControl;
  case XK_Alt_L:
  case XK_Alt_R:
    return kWindowKeyAlt;
  default:
    return kWindowKeyOther;
  }
}

int ShiftOf(unsigned long mask)
{
  int shift = 0;
  if (!mask) return 0;
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
  case Button1:
    return kWindowButtonLeft;
  case Button2:
    return kWindowButtonMiddle;
  case Button3:
    return kWindowButtonRight;
  default:
    return kWindowButtonNone;
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

X11ErrorTrap::X11ErrorTrap()
{
  TrapState& t = Trap();
  std::lock_guard<std::mutex> lock(t.lock);
  if (t.depth++ == 0) t.previous = XSetErrorHandler(TrapHandler);
}

X11ErrorTrap::~X11ErrorTrap()
{
  TrapState& t = Trap();
  std::lock_guard<std::mutex> lock(t.lock);
  if (--t.depth == 0) XSetErrorHandler(t.previous);
}

void X11WaitForEvents(Display* display, int milliseconds)
{
  pollfd pfd{ConnectionNumber(display), POLLIN, 0};
  poll(&pfd, 1, milliseconds);
}

void X11PutPixels(Display* display, Drawable target, GC gc, Visual* visual, int depth, const uint32_t* pixels,
                  int frameWidth, int frameHeight, int stride, int x, int y, int width, int height)
{
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, frameWidth), y1 = std::min(y + height, frameHeight);
  if (x1 <= x0 || y1 <= y0 || !pixels) return;
  const bool direct = depth == 24 && visual->c_class == TrueColor && visual->red_mask == 0xFF0000 &&
                      visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF &&
                      ImageByteOrder(display) == LSBFirst;
  if (direct)
  {
    XImage* image = XCreateImage(display, visual, unsigned(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<uint32_t*>(pixels)), unsigned(frameWidth),
                                 unsigned(frameHeight), 32, stride * 4);
    if (!image) return;
    XPutImage(display, target, gc, image, x0, y0, x0, y0, unsigned(x1 - x0), unsigned(y1 - y0));
    image->data = nullptr; // the pixels are the caller's
    XDestroyImage(image);
    return;
  }
  const int w = x1 - x0, h = y1 - y0;
  XImage* image =
      XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
  if (!image) return;
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

// Gathers the areas of one expose series and repaints them together.
void X11Window::State::GatherExpose(const XExposeEvent& ev)
{
  const int x0 = ev.x, y0 = ev.y;
  const int x1 = x0 + ev.width, y1 = y0 + ev.height;
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
  if (ev.count == 0)
  {
    exposePending = false;
    WindowEvent e;
    e.kind = kWindowEventExpose;
    e.x = exposeX0;
    e.y = exposeY0;
    e.width = exposeX1 - exposeX0;
    e.height = exposeY1 - exposeY0;
    Deliver(e);
  }
}

void X11Window::State::Translate(XEvent& ev)
{
  if (!window || ev.xany.window != window) return;
  WindowEvent e;
  switch (ev.type)
  {
  case Expose:
    GatherExpose(ev.xexpose);
    return;
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
    if (e.button == kWindowButtonNone) return;
    SetButtonHeld(e, e.button, true);
    e.kind = doubleClick.Press(e.button, e.x, e.y, e.time) ? kWindowEventDoubleClick : kWindowEventMouseDown;
    Deliver(e);
    return;
  }
  case ButtonRelease:
  {
    e.button = MapButton(ev.xbutton.button);
    if (e.button == kWindowButtonNone) return;
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
    if (n > 0) std::memcpy(e.text, text, size_t(n));
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
      if (gc) XFreeGC(display, gc);
      gc = nullptr;
      e.kind = kWindowEventClose;
      Deliver(e);
    }
    return;
  default:
    return;
  }
}

// ---- X11Window ----

X11Window::X11Window() : mState(std::make_unique<State>())
{
  X11ErrorTrap trap;
  mState->display = XOpenDisplay(nullptr);
  if (!mState->display) return;
  AddOurDisplay(mState->display);
  mState->screen = DefaultScreen(mState->display);
  mState->root = RootWindow(mState->display, mState->screen);
}

X11Window::~X11Window()
{
  if (!mState->display) return;
  Close();
  X11ErrorTrap trap;
  XCloseDisplay(mState->display);
  RemoveOurDisplay(mState->display);
  mState->display = nullptr;
}

bool X11Window::IsUsable() const
{
  return mState->display != nullptr;
}

bool X11Window::Open(uintptr_t parent, int width, int height, WindowListener* listener)
{
  State& s = *mState;
  if (!s.display || s.window || parent == 0 || width <= 0 || height <= 0) return false;
  X11ErrorTrap trap;
  TakeLastError(s.display);
  XWindowAttributes parentAttributes;
  if (!XGetWindowAttributes(s.display, Window(parent), &parentAttributes) || TakeLastError(s.display))
    return false;

  XSetWindowAttributes a{};
  a.background_pixmap = None; // no clearing before our frame is presented
  a.border_pixel = 0;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                 FocusChangeMask | StructureNotifyMask;
  Window w =
      XCreateWindow(s.display, Window(parent), 0, 0, unsigned(width), unsigned(height), 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWBackPixmap | CWBorderPixel | CWEventMask, &a);
  XSync(s.display, False);
  if (!w || TakeLastError(s.display))
  {
    if (w) XDestroyWindow(s.display, w);
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
  if (s.WindowViewable(w)) XSetInputFocus(s.display, w, RevertToParent, CurrentTime);
  if (s.timerPeriod > 0)
    s.nextTick = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.timerPeriod);
  XFlush(s.display);
  return true;
}

void X11Window::Close()
{
  State& s = *mState;
  if (!s.display) return;
  X11ErrorTrap trap;
  if (s.window)
  {
    if (s.cursorHidden) XUndefineCursor(s.display, s.window);
    if (s.gc) XFreeGC(s.display, s.gc);
    XDestroyWindow(s.display, s.window);
  }
  if (s.blankCursor) XFreeCursor(s.display, s.blankCursor);
  s.blankCursor = 0;
  s.cursorHidden = false;
  s.gc = nullptr;
  s.window = 0;
  s.listener = nullptr;
  s.deferred.clear();
  XSync(s.display, True); // drops what is left of the window's events
}

bool X11Window::IsOpen() const
{
  return mState->window != 0;
}
uintptr_t X11Window::Handle() const
{
  return uintptr_t(mState->window);
}

bool X11Window::Resize(int width, int height)
{
  State& s = *mState;
  if (!s.window || width <= 0 || height <= 0) return false;
  X11ErrorTrap trap;
  XResizeWindow(s.display, s.window, unsigned(width), unsigned(height));
  s.width = width;
  s.height = height;
  XFlush(s.display);
  return true;
}

void X11Window::Present(const PixelFrame& frame, int x, int y, int width, int height)
{
  State& s = *mState;
  if (!s.window || !frame.pixels) return;
  X11ErrorTrap trap;
  X11PutPixels(s.display, s.window, s.gc, s.visual, s.depth, frame.pixels, frame.width, frame.height,
               frame.stride, x, y, width, height);
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
  if (!s.display || !s.window) return;
  X11ErrorTrap trap;
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
      if (s.nextTick < now) s.nextTick = now + std::chrono::milliseconds(s.timerPeriod);
      WindowEvent e;
      e.kind = kWindowEventTimer;
      e.time = NowMs();
      s.Deliver(e);
    }
  }
  if (s.display) XFlush(s.display);
}

void X11Window::TakeFocus()
{
  State& s = *mState;
  if (!s.window) return;
  X11ErrorTrap trap;
  if (s.WindowViewable(s.window)) XSetInputFocus(s.display, s.window, RevertToParent, CurrentTime);
  XFlush(s.display);
}

void X11Window::CaptureMouse()
{
  State& s = *mState;
  if (!s.window) return;
  X11ErrorTrap trap;
  XGrabPointer(s.display, s.window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
               GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  XFlush(s.display);
}

void X11Window::ReleaseMouse()
{
  State& s = *mState;
  if (!s.display) return;
  X11ErrorTrap trap;
  XUngrabPointer(s.display, CurrentTime);
  XFlush(s.display);
}

bool X11Window::PointerPosition(int& x, int& y)
{
  State& s = *mState;
  if (!s.window) return false;
  X11ErrorTrap trap;
  Window rootReturn, childReturn;
  int rx, ry, wx, wy;
  unsigned int mask;
  if (!XQueryPointer(s.display, s.window, &rootReturn, &childReturn, &rx, &ry, &wx, &wy, &mask)) return false;
  x = wx;
  y = wy;
  return true;
}

void X11Window::WarpPointer(int x, int y)
{
  State& s = *mState;
  if (!s.window) return;
  X11ErrorTrap trap;
  XWarpPointer(s.display, None, s.window, 0, 0, 0, 0, x, y);
  XFlush(s.display);
}

void X11Window::SetCursorVisible(bool visible)
{
  State& s = *mState;
  if (!s.window || visible == !s.cursorHidden) return;
  X11ErrorTrap trap;
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
  if (!s.window || !s.haveLastKey || !s.topLevel) return;
  X11ErrorTrap trap;
  XKeyEvent key = s.lastKey;
  key.window = s.topLevel;
  key.subwindow = None;
  XEvent ev{};
  ev.xkey = key;
  XSendEvent(s.display, s.topLevel, True, KeyPressMask, &ev);
  XFlush(s.display);
}

// ---- Dialog programs ----

DialogStatus X11Window::PromptForFile(bool save, const std::string& folder, const std::string& file,
                                      const std::vector<std::string>& extensions, std::string& path)
{
  if (!mState->window || !ProgramAvailable("zenity")) return kDialogUnavailable;
  const ProgramResult r = RunProgram(FilePromptArguments(save, folder, file, extensions), true);
  if (!r.started) return kDialogUnavailable;
  const std::string chosen = FirstLine(r.output);
  if (r.exitCode != 0 || chosen.empty()) return kDialogCancelled;
  path = chosen;
  return kDialogChosen;
}

DialogStatus X11Window::PromptForColour(const std::string& title, uint8_t rgb[3])
{
  if (!mState->window || !ProgramAvailable("zenity")) return kDialogUnavailable;
  const ProgramResult r = RunProgram(ColourPromptArguments(title, rgb), true);
  if (!r.started) return kDialogUnavailable;
  if (r.exitCode != 0 || !ParseColourAnswer(r.output, rgb)) return kDialogCancelled;
  return kDialogChosen;
}

bool X11Window::OpenWithShell(const std::string& target)
{
  return OpenWithDesktop(target);
}

std::unique_ptr<PlatformWindow> CreateX11Window()
{
  auto window = std::make_unique<X11Window>();
  if (!window->IsUsable()) return nullptr;
  return window;
}

std::unique_ptr<PlatformWindow> CreateSystemWindow()
{
  return CreateX11Window();
}
