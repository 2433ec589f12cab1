#pragma once

// What the files of the X11 back end share: the window's Xlib state, the error trap and the copy of
// pixels to a drawable. X11 sources only.

#include "platform/window/X11Window.h"

#include <X11/Xlib.h>

#include <chrono>
#include <deque>

// Xlib's default error handler ends the process, and a host may destroy its window (and with it
// ours) before it tells us. Every call into our own connection runs with this handler installed;
// errors of other connections go on to the handler that was there before.
class X11ErrorTrap
{
public:
  X11ErrorTrap();
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
};

// Copies an area of a pixel buffer to a drawable. The common 24-bit visual takes the bytes as they
// are; any other visual gets them converted.
void X11PutPixels(Display* display, Drawable target, GC gc, Visual* visual, int depth, const uint32_t* pixels,
                  int frameWidth, int frameHeight, int stride, int x, int y, int width, int height);

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
    if (!XGetWindowAttributes(display, w, &a)) return false;
    return a.map_state == IsViewable;
  }

  Window FindTopLevel(Window w)
  {
    Window current = w;
    for (int guard = 0; current && guard < 64; ++guard)
    {
      Window rootReturn = 0, parentReturn = 0, *children = nullptr;
      unsigned int count = 0;
      if (!XQueryTree(display, current, &rootReturn, &parentReturn, &children, &count)) return 0;
      if (children) XFree(children);
      if (parentReturn == rootReturn || parentReturn == 0) return current;
      current = parentReturn;
    }
    return 0;
  }

  void Deliver(const WindowEvent& e)
  {
    if (listener) listener->OnWindowEvent(e);
  }

  void Translate(XEvent& ev);
  void GatherExpose(const XExposeEvent& ev);
};

// Waits up to a time for events on the connection.
void X11WaitForEvents(Display* display, int milliseconds);
