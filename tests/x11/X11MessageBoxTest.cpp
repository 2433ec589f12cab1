// The X11 back end's message box on a real X server, answered by synthetic keys, a click and the
// window manager's close request.
#include "tests/x11/DisplayRequirement.h"

#include "platform/window/HostTopWindow.h"
#include "platform/window/MessageBoxLayout.h"
#include "platform/window/PlatformWindow.h"

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <unistd.h>

namespace
{
// Errors of the test's own connection (a window gone between two looks) are no failure.
int IgnoreErrors(Display*, XErrorEvent*)
{
  return 0;
}

// The top-level window of a title, or 0 (there is no window manager to reparent it).
Window FindByTitle(Display* d, const std::string& title)
{
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i)
  {
    char* name = nullptr;
    if (XFetchName(d, children[i], &name) && name)
    {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

struct BoxOnScreen
{
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

// Shows a box on the calling thread while a second one waits until the box is on the screen and
// then answers it with `answer` (again every half second, should the first be lost), until the box
// returns. Gives the box's answer and where it was.
int AnswerBox(PlatformWindow& window, Display* d, const std::string& text, int kind,
              const std::function<void(const BoxOnScreen&)>& answer, BoxOnScreen& seen)
{
  static int serial = 0;
  const std::string title = "velk box test " + std::to_string(getpid()) + " " + std::to_string(++serial);
  std::atomic<bool> returned{false};
  std::thread answerer(
      [&]
      {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!returned && std::chrono::steady_clock::now() < end)
        {
          XWindowAttributes a;
          const Window box = FindByTitle(d, title);
          if (box && XGetWindowAttributes(d, box, &a) && a.map_state == IsViewable)
          {
            seen = BoxOnScreen{box, a.x, a.y, a.width, a.height};
            answer(seen);
            XSync(d, False);
            for (int i = 0; i < 50 && !returned; ++i)
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      });
  const int result = window.ShowMessageBox(text, title, kind);
  returned = true;
  answerer.join();
  return result;
}
} // namespace

TEST(X11MessageBox, KeysAClickAndClosingAnswer)
{
  REQUIRE_DISPLAY();
  std::unique_ptr<PlatformWindow> window = CreateX11Window();
  std::unique_ptr<SyntheticInput> input = SyntheticInput::Create();
  Display* d = XOpenDisplay(nullptr);
  ASSERT_TRUE(window && input && d);
  // Installed before the box's own error trap, which passes other connections' errors on to it.
  XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
  const auto keyToBox = [&](const char* key)
  {
    return [&input, d, key](const BoxOnScreen& box)
    {
      // Keys go to the window under the pointer.
      input->MoveTo(box.x + 2, box.y + 2);
      XSetInputFocus(d, PointerRoot, RevertToPointerRoot, CurrentTime);
      XSync(d, False);
      input->Key(key);
    };
  };
  BoxOnScreen seen;
  EXPECT_EQ(AnswerBox(*window, d, "Replace the bank?", kMessageBoxYesNoCancel, keyToBox("Return"), seen),
            kMessageBoxAnswerYes);
  EXPECT_EQ(AnswerBox(*window, d, "Replace the bank?", kMessageBoxYesNoCancel, keyToBox("Escape"), seen),
            kMessageBoxAnswerCancel);

  // The box is as wide and high as its layout in the core font; a click on a button answers it.
  XFontStruct* font = XLoadQueryFont(d, "fixed");
  ASSERT_TRUE(font);
  const std::string text =
      "The bank could not be written: the synthesizer did not answer the request in time.\n"
      "Try again?";
  const MessageBoxLayout layout(text, kMessageBoxYesNoCancel, font->ascent + font->descent,
                                [font](const std::string& line)
                                { return XTextWidth(font, line.c_str(), int(line.size())); });
  XFreeFont(d, font);
  const MessageBoxButton no = layout.Buttons()[1];
  const auto clickNo = [&](const BoxOnScreen& box)
  {
    input->MoveTo(box.x + no.x + no.width / 2, box.y + no.y + no.height / 2);
    input->Button(1, true);
    input->Button(1, false);
  };
  EXPECT_EQ(AnswerBox(*window, d, text, kMessageBoxYesNoCancel, clickNo, seen), kMessageBoxAnswerNo);
  EXPECT_EQ(seen.width, layout.Width());
  EXPECT_EQ(seen.height, layout.Height());
  EXPECT_EQ(layout.Lines().size(), 3u);

  // The window manager's close request answers as Escape does; the box is gone afterwards.
  const auto close = [d](const BoxOnScreen& box)
  {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = box.window;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    XSendEvent(d, box.window, False, NoEventMask, &ev);
  };
  EXPECT_EQ(AnswerBox(*window, d, "Sure?", kMessageBoxOkCancel, close, seen), kMessageBoxAnswerCancel);
  XWindowAttributes a;
  EXPECT_FALSE(XGetWindowAttributes(d, seen.window, &a));

  XSetErrorHandler(previous);
  XCloseDisplay(d);
}
