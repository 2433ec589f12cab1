#include "platform/window/HostTopWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace
{
class X11HostTopWindow : public HostTopWindow
{
public:
  X11HostTopWindow(Display* display, Window window, Atom deleteAtom)
      : mDisplay(display), mWindow(window), mDelete(deleteAtom)
  {
  }
  ~X11HostTopWindow() override
  {
    XDestroyWindow(mDisplay, mWindow);
    XCloseDisplay(mDisplay);
  }

  uintptr_t Handle() const override { return uintptr_t(mWindow); }

  void Resize(int width, int height) override
  {
    if (width > 0 && height > 0)
    {
      XResizeWindow(mDisplay, mWindow, unsigned(width), unsigned(height));
      XSync(mDisplay, False);
    }
  }

  bool Pump() override
  {
    while (XPending(mDisplay))
    {
      XEvent ev;
      XNextEvent(mDisplay, &ev);
      if (ev.type == ClientMessage && Atom(ev.xclient.data.l[0]) == mDelete) mOpen = false;
    }
    return mOpen;
  }

  bool Capture(std::vector<uint32_t>& pixels, int& width, int& height) override
  {
    XWindowAttributes a;
    if (!XGetWindowAttributes(mDisplay, mWindow, &a) || a.map_state != IsViewable) return false;
    XImage* image =
        XGetImage(mDisplay, mWindow, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return false;
    width = a.width;
    height = a.height;
    pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
      {
        const unsigned long p = XGetPixel(image, x, y);
        // The default 24-bit visual: red, green, blue in the low three bytes.
        pixels[size_t(y) * size_t(width) + size_t(x)] = 0xFF000000u | uint32_t(p & 0xFFFFFFu);
      }
    XDestroyImage(image);
    return true;
  }

  int ChildCount() override
  {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) return -1;
    if (children) XFree(children);
    return int(count);
  }

  bool Origin(int& x, int& y) override
  {
    Window child;
    return XTranslateCoordinates(mDisplay, mWindow, DefaultRootWindow(mDisplay), 0, 0, &x, &y, &child);
  }

private:
  Display* mDisplay;
  Window mWindow;
  Atom mDelete;
  bool mOpen = true;
};

class XTestInput : public SyntheticInput
{
public:
  explicit XTestInput(Display* display) : mDisplay(display) {}
  ~XTestInput() override { XCloseDisplay(mDisplay); }
  void MoveTo(int x, int y) override
  {
    XTestFakeMotionEvent(mDisplay, DefaultScreen(mDisplay), x, y, CurrentTime);
    XSync(mDisplay, False);
  }
  void Button(int button, bool down) override
  {
    XTestFakeButtonEvent(mDisplay, unsigned(button), down ? True : False, CurrentTime);
    XSync(mDisplay, False);
  }
  void Key(const char* name) override
  {
    const KeySym sym = XStringToKeysym(name);
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(mDisplay, sym);
    if (!code) return;
    XTestFakeKeyEvent(mDisplay, code, True, CurrentTime);
    XTestFakeKeyEvent(mDisplay, code, False, CurrentTime);
    XSync(mDisplay, False);
  }
  bool WindowOrigin(uintptr_t window, int& x, int& y) override
  {
    Window child;
    return XTranslateCoordinates(mDisplay, Window(window), DefaultRootWindow(mDisplay), 0, 0, &x, &y, &child);
  }
  bool PointerGrabbedElsewhere() override
  {
    const int answer = XGrabPointer(mDisplay, DefaultRootWindow(mDisplay), False, ButtonPressMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (answer == GrabSuccess) XUngrabPointer(mDisplay, CurrentTime);
    XSync(mDisplay, False);
    return answer == AlreadyGrabbed;
  }
  bool KeyboardGrabbedElsewhere() override
  {
    const int answer = XGrabKeyboard(mDisplay, DefaultRootWindow(mDisplay), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    if (answer == GrabSuccess) XUngrabKeyboard(mDisplay, CurrentTime);
    XSync(mDisplay, False);
    return answer == AlreadyGrabbed;
  }
  bool HoldKeyboard(bool hold) override
  {
    bool held = true;
    if (hold)
      held = XGrabKeyboard(mDisplay, DefaultRootWindow(mDisplay), False, GrabModeAsync, GrabModeAsync,
                           CurrentTime) == GrabSuccess;
    else
      XUngrabKeyboard(mDisplay, CurrentTime);
    XSync(mDisplay, False);
    return held;
  }

private:
  Display* mDisplay;
};

} // namespace

std::unique_ptr<HostTopWindow> HostTopWindow::Create(int width, int height, const char* title)
{
  if (width <= 0 || height <= 0) return nullptr;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  const int screen = DefaultScreen(d);
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, unsigned(width), unsigned(height), 0,
                                 BlackPixel(d, screen), BlackPixel(d, screen));
  XStoreName(d, w, title ? title : "vsthost");
  Atom deleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &deleteAtom, 1);
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  // Wait until it is shown, so that the editor inside it can be shown too.
  for (;;)
  {
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.type == MapNotify && ev.xmap.window == w) break;
  }
  return std::make_unique<X11HostTopWindow>(d, w, deleteAtom);
}

std::unique_ptr<SyntheticInput> SyntheticInput::Create()
{
  Display* d = XOpenDisplay(nullptr);
  if (!d) return nullptr;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor))
  {
    XCloseDisplay(d);
    return nullptr;
  }
  return std::make_unique<XTestInput>(d);
}
