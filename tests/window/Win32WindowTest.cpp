// The Win32 back end of the editor window, under Windows (or Wine): a host window, the editor's child in
// it, frames presented and read back from the screen, input turned into window events.

#include "platform/window/HostTopWindow.h"
#include "platform/window/Win32Window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
class Recorder : public WindowListener
{
public:
  void OnWindowEvent(const WindowEvent& event) override
  {
    events.push_back(event);
    if (during) during(event);
  }
  // The events of a kind, in order.
  std::vector<WindowEvent> Of(WindowEventKind kind) const
  {
    std::vector<WindowEvent> out;
    for (const WindowEvent& e : events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  std::vector<WindowEvent> events;
  std::function<void(const WindowEvent&)> during;
};

void PumpThread()
{
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
  {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps until the condition holds or 10 s have passed (a loaded machine may be slow; nothing here races).
bool PumpUntil(const std::function<bool()>& done)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done())
  {
    if (std::chrono::steady_clock::now() > deadline) return false;
    PumpThread();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

bool ClassRegistered()
{
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&Win32Window::LiveWindows), &module);
  return GetClassInfoExW(module, L"IEffectWndClass", &wc) != FALSE;
}

// A root window that records the keys handed to it, and may hand them back to the editor as some hosts do.
struct KeyRoot
{
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
  {
    auto* self = reinterpret_cast<KeyRoot*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_KEYDOWN && self)
    {
      self->keys.push_back(int(wParam));
      if (self->handBack && self->child) SendMessageW(self->child, WM_KEYDOWN, wParam, lParam);
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

  KeyRoot()
  {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelkKeyRootTest";
    RegisterClassExW(&wc);
    hwnd = CreateWindowExW(0, L"VelkKeyRootTest", L"keys", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~KeyRoot()
  {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }

  HWND hwnd = nullptr;
  HWND child = nullptr;
  bool handBack = false;
  std::vector<int> keys;
};

struct PixelProbe
{
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFFu; }
};
} // namespace

TEST(Win32Window, ChildOfTheHostWindowWithItsClassCountedAndGoneWithTheHost)
{
  auto host = HostTopWindow::Create(320, 200, "win32 window test");
  ASSERT_TRUE(host);
  const int before = Win32Window::LiveWindows();
  Recorder recorder;
  Win32Window first, second;
  EXPECT_FALSE(first.Open(0, 100, 100, &recorder)); // no parent
  EXPECT_FALSE(first.Open(host->Handle(), 0, 100, &recorder));
  EXPECT_EQ(Win32Window::LiveWindows(), before);

  ASSERT_TRUE(first.Open(host->Handle(), 200, 120, &recorder));
  ASSERT_TRUE(second.Open(host->Handle(), 50, 40, &recorder));
  EXPECT_FALSE(first.Open(host->Handle(), 200, 120, &recorder)); // one window per object
  EXPECT_EQ(Win32Window::LiveWindows(), before + 2);
  EXPECT_TRUE(ClassRegistered());
  EXPECT_EQ(host->ChildCount(), 2);

  HWND child = reinterpret_cast<HWND>(first.Handle());
  wchar_t text[64] = {};
  GetClassNameW(child, text, 64);
  EXPECT_STREQ(text, L"IEffectWndClass");
  GetWindowTextW(child, text, 64);
  EXPECT_STREQ(text, L"IEffect");
  EXPECT_EQ(GetParent(child), reinterpret_cast<HWND>(host->Handle()));
  EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(GetClassLongPtrW(child, GCL_STYLE) & CS_DBLCLKS);
  RECT r{};
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 200);
  EXPECT_EQ(r.bottom, 120);
  EXPECT_TRUE(first.Resize(210, 130));
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 210);

  second.Close();
  EXPECT_EQ(Win32Window::LiveWindows(), before + 1);
  EXPECT_TRUE(ClassRegistered());

  // The host destroys its window first: the editor hears of it once, and nothing touches the dead window.
  recorder.events.clear();
  host.reset();
  PumpThread();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(recorder.Of(kWindowEventClose).size(), 1u);
  first.Present(PixelFrame{}, 0, 0, 10, 10);
  first.ReleaseMouse();
  int x = 0, y = 0;
  EXPECT_FALSE(first.PointerPosition(x, y));
  first.Close();
  EXPECT_EQ(recorder.Of(kWindowEventClose).size(), 1u); // our own closing is not news
  EXPECT_EQ(Win32Window::LiveWindows(), before);
  if (before == 0)
  {
    EXPECT_FALSE(ClassRegistered());
  }
}

TEST(Win32Window, PresentedFramesReachTheScreenAndSurviveARepaint)
{
  auto host = HostTopWindow::Create(240, 160, "win32 frame test");
  ASSERT_TRUE(host);
  Recorder recorder;
  Win32Window window;
  ASSERT_TRUE(window.Open(host->Handle(), 240, 160, &recorder));

  // Left half red, right half blue (0xAARRGGBB); the alpha does not matter.
  std::vector<uint32_t> frame(240 * 160);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 240; ++x)
      frame[size_t(y) * 240 + size_t(x)] = x < 120 ? 0x00FF0000u : 0x800000FFu;
  PixelFrame pf{frame.data(), 240, 160, 240};
  window.Present(pf, 0, 0, 240, 160);
  // A part of a frame changes only that part.
  std::vector<uint32_t> green(240 * 160, 0xFF00FF00u);
  window.Present(PixelFrame{green.data(), 240, 160, 240}, 200, 120, 100, 100); // clipped to the window

  // The system may show a window's drawing a little later (Wine flushes it from time to time).
  PixelProbe shot;
  ASSERT_TRUE(PumpUntil(
      [&]
      {
        return host->Capture(shot.pixels, shot.width, shot.height) && shot.width == 240 &&
               shot.At(10, 10) == 0xFF0000u && shot.At(239, 159) == 0x00FF00u;
      }));
  EXPECT_EQ(shot.height, 160);
  EXPECT_EQ(shot.At(10, 10), 0xFF0000u);
  EXPECT_EQ(shot.At(130, 10), 0x0000FFu);
  EXPECT_EQ(shot.At(239, 159), 0x00FF00u);
  EXPECT_EQ(shot.At(199, 159), 0x0000FFu);

  // Something else drew over the window and the system asks for a repaint: what was presented comes back
  // without the editor.
  recorder.events.clear();
  HWND child = reinterpret_cast<HWND>(window.Handle());
  if (HDC dc = GetDC(child))
  {
    RECT all{0, 0, 240, 160};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(child, dc);
  }
  ASSERT_TRUE(PumpUntil(
      [&] { return host->Capture(shot.pixels, shot.width, shot.height) && shot.At(10, 10) == 0xFFFFFFu; }));
  RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  PumpUntil([&]
            { return host->Capture(shot.pixels, shot.width, shot.height) && shot.At(130, 10) == 0x0000FFu; });
  EXPECT_EQ(shot.At(10, 10), 0xFF0000u);
  EXPECT_EQ(shot.At(130, 10), 0x0000FFu);
  EXPECT_TRUE(recorder.Of(kWindowEventExpose).empty());

  // A larger window keeps what it showed.
  ASSERT_TRUE(window.Resize(260, 170));
  host->Resize(260, 170);
  PumpUntil(
      [&]
      {
        return host->Capture(shot.pixels, shot.width, shot.height) && shot.width == 260 &&
               shot.At(10, 10) == 0xFF0000u;
      });
  ASSERT_EQ(shot.width, 260);
  EXPECT_EQ(shot.At(10, 10), 0xFF0000u);
}

TEST(Win32Window, MouseWheelKeysAndTimerBecomeWindowEvents)
{
  auto host = HostTopWindow::Create(200, 150, "win32 input test");
  ASSERT_TRUE(host);
  Recorder recorder;
  Win32Window window;
  window.SetTimerPeriod(20); // before the window exists, as the editor sets it
  ASSERT_TRUE(window.Open(host->Handle(), 200, 150, &recorder));
  HWND child = reinterpret_cast<HWND>(window.Handle());

  PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 20));
  PostMessageW(child, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(11, 21));
  PostMessageW(child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(12, 22));
  PostMessageW(child, WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(13, 23));
  PostMessageW(child, WM_MOUSEMOVE, MK_RBUTTON | MK_CONTROL, MAKELPARAM(-5, 30)); // signed halves
  ASSERT_TRUE(PumpUntil([&] { return recorder.Of(kWindowEventMouseMove).size() >= 1; }));

  const auto downs = recorder.Of(kWindowEventMouseDown);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[0].button, kWindowButtonLeft);
  EXPECT_EQ(downs[0].x, 10);
  EXPECT_EQ(downs[0].y, 20);
  EXPECT_TRUE(downs[0].left);
  EXPECT_TRUE(downs[0].shift);
  EXPECT_EQ(downs[1].button, kWindowButtonRight); // a right double click stays a press
  EXPECT_TRUE(downs[1].right);
  const auto ups = recorder.Of(kWindowEventMouseUp);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_FALSE(ups[0].left);
  EXPECT_EQ(ups[0].x, 11);
  const auto doubles = recorder.Of(kWindowEventDoubleClick);
  ASSERT_EQ(doubles.size(), 1u);
  EXPECT_EQ(doubles[0].button, kWindowButtonLeft);
  EXPECT_EQ(doubles[0].y, 22);
  const auto moves = recorder.Of(kWindowEventMouseMove);
  EXPECT_EQ(moves[0].x, -5);
  EXPECT_TRUE(moves[0].right);
  EXPECT_TRUE(moves[0].control);

  // The wheel's position comes in screen coordinates and its distance keeps its sign.
  POINT screen{40, 50};
  ClientToScreen(child, &screen);
  PostMessageW(child, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-240)), MAKELPARAM(screen.x, screen.y));
  ASSERT_TRUE(PumpUntil([&] { return !recorder.Of(kWindowEventWheel).empty(); }));
  EXPECT_EQ(recorder.Of(kWindowEventWheel)[0].wheel, -240);
  EXPECT_EQ(recorder.Of(kWindowEventWheel)[0].x, 40);
  EXPECT_EQ(recorder.Of(kWindowEventWheel)[0].y, 50);

  // Keys carry their code and the character the host's translation queued behind them.
  PostMessageW(child, WM_KEYDOWN, 'Q', 0x00100001);
  PostMessageW(child, WM_KEYDOWN, VK_F5, 0x003F0001);
  PostMessageW(child, WM_KEYDOWN, VK_NUMPAD3, 0x00510001);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Of(kWindowEventKeyDown).size() >= 3; }));
  auto keys = recorder.Of(kWindowEventKeyDown);
  EXPECT_EQ(keys[0].key, 'Q');
  EXPECT_STREQ(keys[0].text, "q");
  EXPECT_EQ(keys[1].key, kWindowKeyF1 + 4);
  EXPECT_STREQ(keys[1].text, "");
  EXPECT_EQ(keys[2].key, kWindowKeyNumpad0 + 3);
  // A host that does not translate: the character is worked out from the key.
  SendMessageW(child, WM_KEYDOWN, '7', 0x00080001);
  keys = recorder.Of(kWindowEventKeyDown);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[3].key, '7');
  EXPECT_STREQ(keys[3].text, "7");

  // The frame timer ticks from the period set before the window existed.
  ASSERT_TRUE(PumpUntil([&] { return recorder.Of(kWindowEventTimer).size() >= 2; }));
  window.SetTimerPeriod(0);
  PumpThread();
  const size_t ticks = recorder.Of(kWindowEventTimer).size();
  Sleep(60);
  PumpThread();
  EXPECT_EQ(recorder.Of(kWindowEventTimer).size(), ticks);
}

TEST(Win32Window, EventsDuringAnEventWaitTheirTurnAndKeysGoToTheHostOnce)
{
  KeyRoot root;
  ASSERT_TRUE(root.hwnd);
  Recorder recorder;
  Win32Window window;
  ASSERT_TRUE(window.Open(reinterpret_cast<uintptr_t>(root.hwnd), 100, 80, &recorder));
  HWND child = reinterpret_cast<HWND>(window.Handle());
  root.child = child;

  // A release that arrives while the press is being handled follows it, not inside it.
  std::vector<std::string> order;
  recorder.during = [&](const WindowEvent& e)
  {
    if (e.kind == kWindowEventMouseDown)
    {
      order.push_back("down begins");
      SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
      order.push_back("down ends");
    }
    else if (e.kind == kWindowEventMouseUp)
      order.push_back("up");
  };
  SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  EXPECT_EQ(order, (std::vector<std::string>{"down begins", "down ends", "up"}));
  // An editor that throws while handling one event still hears the next.
  recorder.during = [](const WindowEvent& e)
  {
    if (e.kind == kWindowEventMouseDown) throw std::runtime_error("editor fault");
  };
  SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  recorder.during = nullptr;
  const size_t before = recorder.Of(kWindowEventMouseUp).size();
  SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(recorder.Of(kWindowEventMouseUp).size(), before + 1);

  // A key the editor does not use goes to the host's root window as the same key.
  SendMessageW(child, WM_KEYDOWN, VK_F7, 0x00410001);
  ASSERT_FALSE(recorder.Of(kWindowEventKeyDown).empty());
  window.ForwardKeyToHost(recorder.Of(kWindowEventKeyDown).back());
  ASSERT_EQ(root.keys.size(), 1u);
  EXPECT_EQ(root.keys[0], VK_F7);
  // A host that hands it straight back does not start a loop.
  root.handBack = true;
  const size_t keyEvents = recorder.Of(kWindowEventKeyDown).size();
  window.ForwardKeyToHost(recorder.Of(kWindowEventKeyDown).back());
  EXPECT_EQ(root.keys.size(), 2u);
  EXPECT_EQ(recorder.Of(kWindowEventKeyDown).size(), keyEvents);
  window.Close();
}

TEST(Win32Window, NativeMenusNumberItemsAndShowTheirStates)
{
  PopupMenuLayout layout;
  layout.levels.resize(3);
  layout.levels[0].items = {{"Load & Save", 0, kPopupItemChecked, -1},
                            {"More", -1, 0, 1},
                            {"", -1, kPopupItemSeparator, -1},
                            {"Gone", 2, kPopupItemGreyed, -1}};
  layout.levels[1].items = {{"Sub A", 3, 0, -1}, {"Sub B", 4, kPopupItemDisabled, -1}, {"Loop", -1, 0, 1}};
  HMENU menu = static_cast<HMENU>(Win32Window::BuildNativeMenu(layout, 0));
  ASSERT_TRUE(menu);
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  // Ids move up by one: the system answers 0 for "nothing chosen".
  EXPECT_EQ(GetMenuItemID(menu, 0), 1u);
  EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_CHECKED);
  wchar_t text[64] = {};
  GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Load && Save"); // shown as "Load & Save", no mnemonic
  EXPECT_TRUE(GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_TRUE(GetMenuState(menu, 3, MF_BYPOSITION) & MF_GRAYED);
  HMENU sub = GetSubMenu(menu, 1);
  ASSERT_TRUE(sub);
  ASSERT_EQ(GetMenuItemCount(sub), 3);
  EXPECT_EQ(GetMenuItemID(sub, 1), 5u);
  EXPECT_TRUE(GetMenuState(sub, 1, MF_BYPOSITION) & MF_DISABLED);
  // A submenu that contains itself is not followed: its entry stays, greyed.
  EXPECT_EQ(GetSubMenu(sub, 2), nullptr);
  EXPECT_TRUE(GetMenuState(sub, 2, MF_BYPOSITION) & MF_GRAYED);
  DestroyMenu(menu);
  EXPECT_EQ(Win32Window::BuildNativeMenu(layout, 7), nullptr);
}

TEST(Win32Window, SyntheticClickReachesTheEditor)
{
  auto host = HostTopWindow::Create(200, 150, "win32 click test");
  ASSERT_TRUE(host);
  auto input = SyntheticInput::Create();
  ASSERT_TRUE(input);
  Recorder recorder;
  Win32Window window;
  ASSERT_TRUE(window.Open(host->Handle(), 200, 150, &recorder));
  host->Pump();
  int ox = 0, oy = 0;
  ASSERT_TRUE(input->WindowOrigin(window.Handle(), ox, oy));
  input->MoveTo(ox + 30, oy + 40);
  input->Button(1, true);
  input->Button(1, false);
  ASSERT_TRUE(PumpUntil([&] { return !recorder.Of(kWindowEventMouseUp).empty(); }));
  const auto downs = recorder.Of(kWindowEventMouseDown);
  ASSERT_FALSE(downs.empty());
  EXPECT_NEAR(downs[0].x, 30, 1);
  EXPECT_NEAR(downs[0].y, 40, 1);
  EXPECT_FALSE(input->PointerGrabbedElsewhere());
}

TEST(Win32Window, TextEntryIsAnEditControlThatFiltersCommitsAndCancels)
{
  auto host = HostTopWindow::Create(200, 100, "win32 entry test");
  ASSERT_TRUE(host);
  Recorder recorder;
  Win32Window window;
  ASSERT_TRUE(window.Open(host->Handle(), 200, 100, &recorder));
  HWND child = reinterpret_cast<HWND>(window.Handle());
  std::string text;
  EXPECT_FALSE(window.TextEntryText(text));

  NativeTextEntry request;
  request.x = 20;
  request.y = 30;
  request.width = 80;
  request.height = 20;
  request.text = "12";
  request.face = "Consolas";
  request.size = 14;
  request.filter = 1;
  request.limit = 4;
  request.backColour = 0xFF102030u;
  request.textColour = 0xFFFFFFFFu;
  ASSERT_TRUE(window.OpenTextEntry(request));
  EXPECT_FALSE(window.OpenTextEntry(request)); // one at a time
  HWND edit = GetDlgItem(child, 99);
  ASSERT_TRUE(edit);
  wchar_t name[16] = {};
  GetClassNameW(edit, name, 16);
  EXPECT_EQ(lstrcmpiW(name, L"Edit"), 0);
  EXPECT_EQ(GetFocus(), edit);
  POINT corner{0, 0};
  MapWindowPoints(edit, child, &corner, 1);
  EXPECT_EQ(corner.x, 20);
  EXPECT_EQ(corner.y, 30);
  DWORD from = 9, to = 9;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u); // selected whole
  EXPECT_EQ(to, 2u);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 4);
  // The focus went to the window's own entry: no news for the editor.
  EXPECT_TRUE(recorder.Of(kWindowEventFocusOut).empty());
  // Drawn in the colours asked for.
  PixelProbe shot;
  EXPECT_TRUE(PumpUntil(
      [&] {
        return host->Capture(shot.pixels, shot.width, shot.height) && shot.At(20 + 78, 30 + 1) == 0x102030u;
      }));

  // An integer entry refuses letters and the point; a character replaces the selection.
  SendMessageW(edit, WM_CHAR, 'a', 0);
  SendMessageW(edit, WM_CHAR, '.', 0);
  ASSERT_TRUE(window.TextEntryText(text));
  EXPECT_EQ(text, "12");
  SendMessageW(edit, WM_CHAR, '7', 0);
  SendMessageW(edit, WM_CHAR, '-', 0);
  SendMessageW(edit, WM_CHAR, '\b', 0);
  SendMessageW(edit, WM_CHAR, '5', 0);
  window.TextEntryText(text);
  EXPECT_EQ(text, "75");

  // Return commits, Escape cancels; neither types anything.
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(edit, WM_CHAR, '\r', 0);
  EXPECT_EQ(recorder.Of(kWindowEventEntryCommit).size(), 1u);
  SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(recorder.Of(kWindowEventEntryCancel).size(), 1u);
  window.TextEntryText(text);
  EXPECT_EQ(text, "75");
  // The focus leaving for the host cancels it.
  SetFocus(reinterpret_cast<HWND>(host->Handle()));
  EXPECT_EQ(recorder.Of(kWindowEventEntryCancel).size(), 2u);
  window.CloseTextEntry();
  EXPECT_EQ(GetDlgItem(child, 99), nullptr);
  EXPECT_FALSE(window.TextEntryText(text));

  // A decimal entry takes the point; closing it gives the focus back to the window.
  request.filter = 2;
  request.text = "";
  ASSERT_TRUE(window.OpenTextEntry(request));
  SendMessageW(GetDlgItem(child, 99), WM_CHAR, '.', 0);
  window.TextEntryText(text);
  EXPECT_EQ(text, ".");
  window.CloseTextEntry();
  EXPECT_EQ(GetFocus(), child);

  // The host destroys everything while an entry is open: nothing is left to touch.
  ASSERT_TRUE(window.OpenTextEntry(request));
  host.reset();
  PumpThread();
  EXPECT_FALSE(window.TextEntryText(text));
  window.CloseTextEntry();
  window.Close();
}

namespace
{
// Answers the next dialog of this thread from inside its modal loop: finds it by its title and presses a
// button.
struct DialogAnswer
{
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
  {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL
        {
          wchar_t title[128] = {};
          GetWindowTextW(w, title, 128);
          if (!IsWindowVisible(w) || sTitle != title) return TRUE;
          sFound = true;
          PostMessageW(w, WM_COMMAND, MAKEWPARAM(sButton, BN_CLICKED),
                       reinterpret_cast<LPARAM>(GetDlgItem(w, sButton)));
          return FALSE;
        },
        0);
  }
  DialogAnswer(const std::wstring& title, int button)
  {
    sTitle = title;
    sButton = button;
    sFound = false;
    timer = SetTimer(nullptr, 0, 50, Tick);
  }
  ~DialogAnswer() { KillTimer(nullptr, timer); }
  UINT_PTR timer = 0;
  static inline std::wstring sTitle;
  static inline int sButton = 0;
  static inline bool sFound = false;
};
} // namespace

TEST(Win32Window, DialogsAnswerWhatTheUserChose)
{
  auto host = HostTopWindow::Create(200, 100, "win32 dialog test");
  ASSERT_TRUE(host);
  Recorder recorder;
  Win32Window window;
  uint8_t rgb[3] = {10, 20, 30};
  EXPECT_EQ(window.PromptForColour("Pick", rgb), kDialogUnavailable); // no window yet
  std::string path = "unchanged";
  EXPECT_EQ(window.PromptForFile(false, "", "", {}, path), kDialogUnavailable);
  window.SetTimerPeriod(20);
  ASSERT_TRUE(window.Open(host->Handle(), 200, 100, &recorder));

  {
    // The title reaches the colour dialog; OK gives the colour it started at.
    DialogAnswer answer(L"Part colour", IDOK);
    EXPECT_EQ(window.PromptForColour("Part colour", rgb), kDialogChosen);
    EXPECT_TRUE(DialogAnswer::sFound);
    EXPECT_EQ(rgb[0], 10);
    EXPECT_EQ(rgb[1], 20);
    EXPECT_EQ(rgb[2], 30);
  }
  {
    DialogAnswer answer(L"Part colour", IDCANCEL);
    EXPECT_EQ(window.PromptForColour("Part colour", rgb), kDialogCancelled);
  }
  {
    DialogAnswer answer(L"Sure?", IDNO);
    EXPECT_EQ(window.ShowMessageBox("Replace the bank?", "Sure?", kMessageBoxYesNoCancel),
              kMessageBoxAnswerNo);
    EXPECT_TRUE(DialogAnswer::sFound);
  }
  {
    DialogAnswer answer(L"Open", IDCANCEL);
    EXPECT_EQ(window.PromptForFile(false, "C:/", "bank.syx", {"syx", "mid"}, path), kDialogCancelled);
    EXPECT_TRUE(DialogAnswer::sFound);
    EXPECT_EQ(path, "unchanged");
  }
  // The frame timer ticked on inside the dialogs' loops: the editor, waiting for the answer, heard none of
  // it.
  EXPECT_TRUE(recorder.Of(kWindowEventTimer).empty());
  window.Close();
}

namespace
{
// Keys for the next popup menu of this thread, queued from inside its modal loop once the menu is shown
// (posted: they wait in order until the menu's loop reads them).
struct MenuKeys
{
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
  {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu || !IsWindowVisible(menu)) return; // not shown yet
    KillTimer(nullptr, id);
    if (auto input = SyntheticInput::Create()) sKeyboardHeld = input->KeyboardGrabbedElsewhere();
    for (WORD key : sKeys)
    {
      PostMessageW(menu, WM_KEYDOWN, key, 1);
      PostMessageW(menu, WM_KEYUP, key, 0xC0000001);
    }
  }
  explicit MenuKeys(std::vector<WORD> keys)
  {
    sKeys = std::move(keys);
    SetTimer(nullptr, 0, 50, Tick);
  }
  static inline std::vector<WORD> sKeys;
  static inline bool sKeyboardHeld = false;
};
} // namespace

TEST(Win32Window, PopupMenuAnswersTheChosenCommand)
{
  auto host = HostTopWindow::Create(200, 100, "win32 menu test");
  ASSERT_TRUE(host);
  Recorder recorder;
  Win32Window window;
  ASSERT_TRUE(window.Open(host->Handle(), 200, 100, &recorder));
  SetForegroundWindow(reinterpret_cast<HWND>(host->Handle()));
  // The pointer away from where the menu shows, or the item under it would be highlighted first.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  PumpThread();
  PopupMenuLayout layout;
  layout.levels.resize(1);
  layout.levels[0].items = {{"Zero", 0, 0, -1}, {"One", 1, 0, -1}, {"Two", 2, 0, -1}};
  struct NoPainter : PopupMenuPainter
  {
    void MeasureLevel(const PopupMenuLayout&, int, int&, int&) override {}
    int ItemAt(const PopupMenuLayout&, int, int, int) override { return -1; }
    void ItemRow(const PopupMenuLayout&, int, int, int&, int&) override {}
    void PaintLevel(const PopupMenuLayout&, int, int, uint32_t*, int, int) override {}
  } painter;
  {
    // Id 0 is an item like any other (the system's own answer 0 means "nothing").
    MenuKeys keys({VK_DOWN, VK_RETURN});
    EXPECT_EQ(window.TrackPopupMenu(layout, 10, 10, painter), 0);
    EXPECT_TRUE(MenuKeys::sKeyboardHeld); // the open menu held the keyboard
  }
  auto input = SyntheticInput::Create();
  ASSERT_TRUE(input);
  EXPECT_FALSE(input->KeyboardGrabbedElsewhere());
  {
    MenuKeys keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(window.TrackPopupMenu(layout, 10, 10, painter), 2);
  }
  {
    MenuKeys keys({VK_ESCAPE});
    EXPECT_EQ(window.TrackPopupMenu(layout, 10, 10, painter), -1);
  }
}
