#include "platform/window/HostTopWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>

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
      if (ev.type == ClientMessage && Atom(ev.xclient.data.l[0]) == mDelete)
        mOpen = false;
    }
    return mOpen;
  }

  bool Capture(std::vector<uint32_t>& pixels, int& width, int& height) override
  {
    XWindowAttributes a;
    if (!XGetWindowAttributes(mDisplay, mWindow, &a) || a.map_state != IsViewable)
      return false;
    XImage* image = XGetImage(mDisplay, mWindow, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image)
      return false;
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
    if (!XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count))
      return -1;
    if (children)
      XFree(children);
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
    if (!code)
      return;
    XTestFakeKeyEvent(mDisplay, code, True, CurrentTime);
    XTestFakeKeyEvent(mDisplay, code, False, CurrentTime);
    XSync(mDisplay, False);
  }
  bool WindowOrigin(uintptr_t window, int& x, int& y) override
  {
    Window child;
    return XTranslateCoordinates(mDisplay, Window(window), DefaultRootWindow(mDisplay), 0, 0, &x, &y, &child);
  }

private:
  Display* mDisplay;
};

// ---- PNG: stored (uncompressed) deflate blocks need no compression library ----
uint32_t Crc(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu)
{
  static uint32_t table[256];
  static bool ready = false;
  if (!ready)
  {
    for (uint32_t i = 0; i < 256; ++i)
    {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  for (size_t i = 0; i < n; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
  Put32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc(&out[start], out.size() - start) ^ 0xFFFFFFFFu);
}
} // namespace

std::unique_ptr<HostTopWindow> HostTopWindow::Create(int width, int height, const char* title)
{
  if (width <= 0 || height <= 0)
    return nullptr;
  Display* d = XOpenDisplay(nullptr);
  if (!d)
    return nullptr;
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
    if (ev.type == MapNotify && ev.xmap.window == w)
      break;
  }
  return std::make_unique<X11HostTopWindow>(d, w, deleteAtom);
}

std::unique_ptr<SyntheticInput> SyntheticInput::Create()
{
  Display* d = XOpenDisplay(nullptr);
  if (!d)
    return nullptr;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(d, &event, &error, &major, &minor))
  {
    XCloseDisplay(d);
    return nullptr;
  }
  return std::make_unique<XTestInput>(d);
}

bool WritePngFile(const char* path, const std::vector<uint32_t>& pixels, int width, int height)
{
  if (!path || width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height))
    return false;
  // Raw scanlines: a filter byte, then R, G, B per pixel.
  std::vector<uint8_t> raw;
  raw.reserve(size_t(height) * (size_t(width) * 3 + 1));
  for (int y = 0; y < height; ++y)
  {
    raw.push_back(0);
    for (int x = 0; x < width; ++x)
    {
      const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
      raw.push_back(uint8_t(p >> 16));
      raw.push_back(uint8_t(p >> 8));
      raw.push_back(uint8_t(p));
    }
  }
  std::vector<uint8_t> z = {0x78, 0x01};
  for (size_t pos = 0; pos < raw.size() || pos == 0;)
  {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    const bool last = pos + n >= raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(uint8_t(n));
    z.push_back(uint8_t(n >> 8));
    z.push_back(uint8_t(~n));
    z.push_back(uint8_t(~n >> 8));
    z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
    pos += n;
    if (last)
      break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw)
  {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, uint32_t(width));
  Put32(header, uint32_t(height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  FILE* f = std::fopen(path, "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}
