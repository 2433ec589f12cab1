// The X11 back end's message box: a small Xlib window in the core "fixed" font, laid out by
// MessageBoxLayout.
#include "platform/window/MessageBoxLayout.h"
#include "platform/window/X11WindowState.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace
{
// The box's window, centred on the screen, a transient of the host's top-level window.
Window CreateBoxWindow(X11Window::State& s, const MessageBoxLayout& layout, const std::string& caption,
                       Atom wmDelete)
{
  Display* d = s.display;
  const int width = layout.Width(), height = layout.Height();
  const int x = (DisplayWidth(d, s.screen) - width) / 2, y = (DisplayHeight(d, s.screen) - height) / 2;
  XSetWindowAttributes a{};
  a.background_pixel = 0xE0E0E0;
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
  Window box = XCreateWindow(d, s.root, x, y, unsigned(width), unsigned(height), 1, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &a);
  if (!box) return 0;
  XStoreName(d, box, caption.c_str());
  if (s.topLevel) XSetTransientForHint(d, box, s.topLevel);
  XSetWMProtocols(d, box, &wmDelete, 1);
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize | PPosition;
  hints.x = x;
  hints.y = y;
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  XSetWMNormalHints(d, box, &hints);
  return box;
}

void DrawBox(Display* d, Window box, GC gc, XFontStruct* font, const MessageBoxLayout& layout)
{
  XSetForeground(d, gc, 0x000000);
  const std::vector<std::string>& lines = layout.Lines();
  for (size_t i = 0; i < lines.size(); ++i)
    XDrawString(d, box, gc, MessageBoxLayout::kMargin, layout.LineTop(i) + font->ascent, lines[i].c_str(),
                int(lines[i].size()));
  for (const MessageBoxButton& b : layout.Buttons())
  {
    XSetForeground(d, gc, 0xF8F8F8);
    XFillRectangle(d, box, gc, b.x, b.y, unsigned(b.width), unsigned(b.height));
    XSetForeground(d, gc, 0x606060);
    XDrawRectangle(d, box, gc, b.x, b.y, unsigned(b.width - 1), unsigned(b.height - 1));
    XSetForeground(d, gc, 0x000000);
    XDrawString(d, box, gc, b.labelX, b.labelTop + font->ascent, b.label.c_str(), int(b.label.size()));
  }
}

// The answer an event of the box gives, or kMessageBoxAnswerNone while it stays open.
int BoxEvent(XEvent& ev, const MessageBoxLayout& layout, Atom wmDelete, bool& boxGone)
{
  switch (ev.type)
  {
  case ButtonRelease:
    return layout.AnswerAt(ev.xbutton.x, ev.xbutton.y);
  case KeyPress:
  {
    const KeySym sym = XLookupKeysym(&ev.xkey, 0);
    if (sym == XK_Return || sym == XK_KP_Enter) return layout.ReturnAnswer();
    return sym == XK_Escape ? layout.EscapeAnswer() : kMessageBoxAnswerNone;
  }
  case ClientMessage:
    return Atom(ev.xclient.data.l[0]) == wmDelete ? layout.EscapeAnswer() : kMessageBoxAnswerNone;
  case DestroyNotify:
    boxGone = true;
    return layout.EscapeAnswer();
  default:
    return kMessageBoxAnswerNone;
  }
}
} // namespace

int X11Window::ShowMessageBox(const std::string& text, const std::string& caption, int kind)
{
  State& s = *mState;
  if (!s.display) return kMessageBoxAnswerNone;
  X11ErrorTrap trap;
  Display* d = s.display;
  XFontStruct* font = XLoadQueryFont(d, "fixed");
  if (!font) return kMessageBoxAnswerNone;
  const MessageBoxLayout layout(text, kind, font->ascent + font->descent,
                                [font](const std::string& line)
                                { return XTextWidth(font, line.c_str(), int(line.size())); });
  const Atom wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  const Window box = CreateBoxWindow(s, layout, caption, wmDelete);
  if (!box)
  {
    XFreeFont(d, font);
    return kMessageBoxAnswerNone;
  }
  GC gc = XCreateGC(d, box, 0, nullptr);
  XSetFont(d, gc, font->fid);
  XMapRaised(d, box);

  int answer = kMessageBoxAnswerNone;
  bool boxGone = false;
  while (answer == kMessageBoxAnswerNone)
  {
    if (!XPending(d))
    {
      X11WaitForEvents(d, 50);
      continue;
    }
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.xany.window != box)
    {
      if (s.window && ev.xany.window == s.window) s.deferred.push_back(ev);
      continue;
    }
    if (ev.type == Expose && ev.xexpose.count == 0) DrawBox(d, box, gc, font, layout);
    answer = BoxEvent(ev, layout, wmDelete, boxGone);
  }
  XFreeGC(d, gc);
  if (!boxGone) XDestroyWindow(d, box);
  XFreeFont(d, font);
  // Sync, not flush: when the answer comes back the box is gone from the server too, for any
  // connection that looks next (a picture taken, a test's look at the screen).
  XSync(d, False);
  return answer;
}
