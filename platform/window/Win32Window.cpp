#include "platform/window/Win32Window.h"

#include "platform/win32/Win32Module.h"
#include "platform/win32/Win32Strings.h"
#include "platform/window/ProcessSpawn.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>

namespace
{
const wchar_t kClassName[] = L"IEffectWndClass";
constexpr UINT_PTR kFrameTimerId = 2;
constexpr size_t kFileBufferLength = 4096;
constexpr int kEntryId = 99;

int gClassUsers = 0; // live windows (and windows being made) of the class; user-interface thread only

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool AcquireClass()
{
  if (gClassUsers == 0)
  {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    // Already registered (by an earlier window whose class could not be unregistered) is fine.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++gClassUsers;
  return true;
}

void ReleaseClass()
{
  if (gClassUsers > 0 && --gClassUsers == 0) UnregisterClassW(kClassName, ThisModule());
}

int MapVirtualKey(WPARAM vk)
{
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return int(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return kWindowKeyNumpad0 + int(vk - VK_NUMPAD0);
  if (vk >= VK_F1 && vk <= VK_F12) return kWindowKeyF1 + int(vk - VK_F1);
  switch (vk)
  {
  case VK_SPACE:
    return kWindowKeySpace;
  case VK_UP:
    return kWindowKeyUp;
  case VK_DOWN:
    return kWindowKeyDown;
  case VK_LEFT:
    return kWindowKeyLeft;
  case VK_RIGHT:
    return kWindowKeyRight;
  case VK_RETURN:
    return kWindowKeyReturn;
  case VK_ESCAPE:
    return kWindowKeyEscape;
  case VK_BACK:
    return kWindowKeyBackSpace;
  case VK_TAB:
    return kWindowKeyTab;
  case VK_DELETE:
    return kWindowKeyDelete;
  case VK_INSERT:
    return kWindowKeyInsert;
  case VK_HOME:
    return kWindowKeyHome;
  case VK_END:
    return kWindowKeyEnd;
  case VK_PRIOR:
    return kWindowKeyPageUp;
  case VK_NEXT:
    return kWindowKeyPageDown;
  case VK_SHIFT:
    return kWindowKeyShift;
  case VK_CONTROL:
    return kWindowKeyControl;
  case VK_MENU:
    return kWindowKeyAlt;
  default:
    return kWindowKeyOther;
  }
}

void FillKeyModifiers(WindowEvent& e)
{
  e.shift = GetKeyState(VK_SHIFT) < 0;
  e.control = GetKeyState(VK_CONTROL) < 0;
  e.alt = GetKeyState(VK_MENU) < 0;
}

void FillMouse(WindowEvent& e, WPARAM keys)
{
  e.left = (keys & MK_LBUTTON) != 0;
  e.right = (keys & MK_RBUTTON) != 0;
  e.middle = (keys & MK_MBUTTON) != 0;
  e.shift = (keys & MK_SHIFT) != 0;
  e.control = (keys & MK_CONTROL) != 0;
  e.alt = GetKeyState(VK_MENU) < 0;
}

// Appends a UTF-16 character (one unit or a surrogate pair) as UTF-8, if it fits.
void AppendUtf8(char (&text)[8], const wchar_t* units, int count)
{
  char bytes[8] = {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes - 1, nullptr, nullptr);
  const size_t used = std::strlen(text);
  if (n > 0 && used + size_t(n) < sizeof text) std::memcpy(text + used, bytes, size_t(n));
}

// A menu's text shows '&' literally: alone it would mark a mnemonic.
std::wstring MenuText(const std::string& text)
{
  std::wstring out;
  for (wchar_t c : Widen(text))
  {
    out += c;
    if (c == L'&') out += L'&';
  }
  return out;
}

HMENU BuildLevel(const PopupMenuLayout& layout, int level, std::set<int>& open)
{
  if (level < 0 || level >= int(layout.levels.size()) || open.count(level))
    return nullptr; // no such level, or a submenu that contains itself
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  open.insert(level);
  for (const PopupMenuItem& item : layout.levels[size_t(level)].items)
  {
    if (item.flags & kPopupItemSeparator)
    {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item.flags & kPopupItemGreyed) flags |= MF_GRAYED;
    if (item.flags & kPopupItemDisabled) flags |= MF_DISABLED;
    if (item.flags & kPopupItemChecked) flags |= MF_CHECKED;
    const std::wstring text = MenuText(item.text);
    if (item.submenu >= 0)
    {
      HMENU sub = BuildLevel(layout, item.submenu, open);
      if (sub)
      {
        AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
        continue;
      }
      flags |= MF_GRAYED; // a submenu that cannot be shown: its entry stays, greyed
      AppendMenuW(menu, flags, 0, text.c_str());
      continue;
    }
    // Ids move up by one: 0 is the menu's answer for "nothing chosen".
    const UINT_PTR id = item.id >= 0 ? UINT_PTR(item.id) + 1 : 0;
    if (id == 0) flags |= MF_GRAYED;
    AppendMenuW(menu, flags, id, text.c_str());
  }
  open.erase(level);
  return menu;
}

struct MouseMessage
{
  UINT message;
  WindowEventKind kind;
  int button;
};

const MouseMessage kMouseMessages[] = {
    {WM_LBUTTONDOWN, kWindowEventMouseDown, kWindowButtonLeft},
    {WM_RBUTTONDOWN, kWindowEventMouseDown, kWindowButtonRight},
    {WM_MBUTTONDOWN, kWindowEventMouseDown, kWindowButtonMiddle},
    {WM_LBUTTONDBLCLK, kWindowEventDoubleClick, kWindowButtonLeft},
    // Only the left button has double clicks: the others' second press stays a press.
    {WM_RBUTTONDBLCLK, kWindowEventMouseDown, kWindowButtonRight},
    {WM_MBUTTONDBLCLK, kWindowEventMouseDown, kWindowButtonMiddle},
    {WM_LBUTTONUP, kWindowEventMouseUp, kWindowButtonLeft},
    {WM_RBUTTONUP, kWindowEventMouseUp, kWindowButtonRight},
    {WM_MBUTTONUP, kWindowEventMouseUp, kWindowButtonMiddle},
    {WM_MOUSEMOVE, kWindowEventMouseMove, kWindowButtonNone},
};

UINT_PTR CALLBACK ColourDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
  if (message == WM_INITDIALOG)
  {
    const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (choose && choose->lCustData)
      SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
    return TRUE;
  }
  return 0;
}
} // namespace

struct Win32Window::State
{
  HWND hwnd = nullptr;
  HWND parent = nullptr;
  WindowListener* listener = nullptr;
  bool holdsClass = false;
  int width = 0, height = 0;
  int timerPeriod = 0;
  // The last frame presented, in a DIB section selected into a memory context.
  HDC memory = nullptr;
  HBITMAP dib = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  uint32_t* bits = nullptr;
  int dibWidth = 0, dibHeight = 0;
  bool cursorHidden = false;
  int modal = 0;      // our own modal loops running
  int delivering = 0; // listener calls running
  std::deque<WindowEvent> deferred;
  WPARAM lastKeyW = 0;
  LPARAM lastKeyL = 0;
  bool haveLastKey = false;
  bool forwardingKey = false;
  COLORREF customColours[16] = {};
  // The text entry: an EDIT child, subclassed.
  HWND entry = nullptr;
  WNDPROC entryPrevious = nullptr;
  HFONT entryFont = nullptr;
  COLORREF entryText = 0, entryBack = 0;
  int entryFilter = 0;

  bool Busy() const { return modal > 0 || delivering > 0; }

  void Deliver(const WindowEvent& e)
  {
    if (!listener) return;
    if (Busy())
    {
      // A tick missed while busy is not made up: the next one draws what is dirty.
      if (e.kind != kWindowEventTimer) deferred.push_back(e);
      return;
    }
    ++delivering;
    listener->OnWindowEvent(e);
    --delivering;
    Flush();
  }

  void Flush()
  {
    while (!Busy() && listener && !deferred.empty())
    {
      const WindowEvent e = deferred.front();
      deferred.pop_front();
      ++delivering;
      listener->OnWindowEvent(e);
      --delivering;
    }
  }

  bool MakeSurface(int width, int height)
  {
    if (width <= 0 || height <= 0) return false;
    if (!memory)
    {
      memory = CreateCompatibleDC(nullptr);
      if (!memory) return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows top-down, as the frames are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* newBits = nullptr;
    HBITMAP newDib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &newBits, nullptr, 0);
    if (!newDib || !newBits)
    {
      if (newDib) DeleteObject(newDib);
      return false;
    }
    GdiFlush();
    auto* pixels = static_cast<uint32_t*>(newBits);
    std::fill(pixels, pixels + size_t(width) * size_t(height), 0u);
    // What was shown stays where it was.
    if (bits)
      for (int y = 0; y < std::min(height, dibHeight); ++y)
        std::memcpy(pixels + size_t(y) * size_t(width), bits + size_t(y) * size_t(dibWidth),
                    size_t(std::min(width, dibWidth)) * 4);
    HGDIOBJ old = SelectObject(memory, newDib);
    if (dib)
      DeleteObject(dib);
    else
      previousBitmap = old;
    dib = newDib;
    bits = pixels;
    dibWidth = width;
    dibHeight = height;
    return true;
  }

  void FreeSurface()
  {
    if (memory)
    {
      if (previousBitmap) SelectObject(memory, previousBitmap);
      DeleteDC(memory);
    }
    if (dib) DeleteObject(dib);
    memory = nullptr;
    dib = nullptr;
    previousBitmap = nullptr;
    bits = nullptr;
    dibWidth = dibHeight = 0;
  }

  void Blit(HDC target, int x, int y, int width, int height)
  {
    if (memory && dib && width > 0 && height > 0) BitBlt(target, x, y, width, height, memory, x, y, SRCCOPY);
  }

  void StartTimer()
  {
    if (!hwnd) return;
    if (timerPeriod > 0)
      SetTimer(hwnd, kFrameTimerId, UINT(timerPeriod), nullptr);
    else
      KillTimer(hwnd, kFrameTimerId);
  }

  void OnKeyDown(WPARAM wParam, LPARAM lParam)
  {
    lastKeyW = wParam;
    lastKeyL = lParam;
    haveLastKey = true;
    WindowEvent e;
    e.kind = kWindowEventKeyDown;
    e.key = MapVirtualKey(wParam);
    e.time = uint32_t(GetMessageTime());
    FillKeyModifiers(e);
    POINT p{};
    if (GetCursorPos(&p) && ScreenToClient(hwnd, &p))
    {
      e.x = p.x;
      e.y = p.y;
    }
    // The character the key types: the host's TranslateMessage has queued it already; a host that
    // does not translate gets it worked out here.
    MSG ch;
    bool typed = false;
    while (PeekMessageW(&ch, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE))
    {
      typed = true;
      const wchar_t unit = wchar_t(ch.wParam);
      if (unit >= 0xD800 && unit <= 0xDBFF)
      {
        MSG low;
        if (PeekMessageW(&low, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE))
        {
          const wchar_t pair[2] = {unit, wchar_t(low.wParam)};
          AppendUtf8(e.text, pair, 2);
        }
      }
      else if (unit >= 0x20 && unit != 0x7F)
        AppendUtf8(e.text, &unit, 1);
    }
    if (!typed)
    {
      BYTE keys[256];
      wchar_t units[4] = {};
      // Flag 4: leaves the keyboard's dead-key state alone.
      if (GetKeyboardState(keys))
      {
        const int n = ToUnicode(UINT(wParam), UINT((lParam >> 16) & 0xFF), keys, units, 4, 4);
        if (n == 1 && units[0] >= 0x20 && units[0] != 0x7F)
          AppendUtf8(e.text, units, 1);
        else if (n == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF)
          AppendUtf8(e.text, units, 2);
      }
    }
    Deliver(e);
  }

  void OnButton(WindowEventKind kind, int button, WPARAM wParam, LPARAM lParam)
  {
    WindowEvent e;
    e.kind = kind;
    e.button = button;
    e.x = GET_X_LPARAM(lParam);
    e.y = GET_Y_LPARAM(lParam);
    e.time = uint32_t(GetMessageTime());
    FillMouse(e, wParam);
    Deliver(e);
  }

  void Notify(WindowEventKind kind)
  {
    WindowEvent e;
    e.kind = kind;
    e.time = uint32_t(GetMessageTime());
    Deliver(e);
  }

  bool EntryAccepts(wchar_t c) const
  {
    if (c == L'\b' || entryFilter == 0) return true;
    if ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-') return true;
    return entryFilter == 2 && c == L'.';
  }

  void DropEntry()
  {
    if (entry && IsWindow(entry))
    {
      const bool hadFocus = GetFocus() == entry;
      SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryPrevious));
      DestroyWindow(entry);
      if (hadFocus && hwnd) SetFocus(hwnd);
    }
    entry = nullptr;
    entryPrevious = nullptr;
    if (entryFont) DeleteObject(entryFont);
    entryFont = nullptr;
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
};

namespace
{
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_NCCREATE)
  {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* state = static_cast<Win32Window::State*>(create->lpCreateParams);
    if (state)
    {
      state->hwnd = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  auto* state = reinterpret_cast<Win32Window::State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!state || state->hwnd != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  try
  {
    return state->Handle(message, wParam, lParam);
  }
  catch (...)
  {
    // Nothing may unwind through the system's message dispatch.
    return 0;
  }
}
LRESULT CALLBACK EntryProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto* state = reinterpret_cast<Win32Window::State*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (!state || state->entry != edit || !state->entryPrevious)
    return DefWindowProcW(edit, message, wParam, lParam);
  const WNDPROC previous = state->entryPrevious;
  try
  {
    switch (message)
    {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE)
      {
        state->Notify(wParam == VK_RETURN ? kWindowEventEntryCommit : kWindowEventEntryCancel);
        return 0;
      }
      break;
    case WM_CHAR:
      // Return and Escape were answered with their key; a refused character goes no further.
      if (wParam == L'\r' || wParam == L'\n' || wParam == 0x1B || !state->EntryAccepts(wchar_t(wParam)))
        return 0;
      break;
    case WM_GETDLGCODE:
      return CallWindowProcW(previous, edit, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KILLFOCUS:
      // To the editor's own window it is a press there, which the editor answers itself.
      if (reinterpret_cast<HWND>(wParam) != state->hwnd) state->Notify(kWindowEventEntryCancel);
      break;
    default:
      break;
    }
  }
  catch (...)
  {
    return 0;
  }
  return CallWindowProcW(previous, edit, message, wParam, lParam);
}
} // namespace

LRESULT Win32Window::State::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
  WindowEvent e;
  for (const MouseMessage& mouse : kMouseMessages)
    if (mouse.message == message)
    {
      OnButton(mouse.kind, mouse.button, wParam, lParam);
      return 0;
    }
  switch (message)
  {
  case WM_CREATE:
    StartTimer();
    return 0;
  case WM_TIMER:
    if (wParam == kFrameTimerId)
    {
      e.kind = kWindowEventTimer;
      e.time = uint32_t(GetMessageTime());
      Deliver(e);
    }
    return 0;
  case WM_PAINT:
  {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc)
      Blit(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top);
    EndPaint(hwnd, &ps);
    return 0;
  }
  case WM_ERASEBKGND:
    return 1; // the frame covers everything
  case WM_MOUSEWHEEL:
  {
    // The position comes in screen coordinates.
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &p);
    e.kind = kWindowEventWheel;
    e.x = p.x;
    e.y = p.y;
    e.wheel = GET_WHEEL_DELTA_WPARAM(wParam);
    e.time = uint32_t(GetMessageTime());
    FillMouse(e, GET_KEYSTATE_WPARAM(wParam));
    Deliver(e);
    return 0;
  }
  case WM_KEYDOWN:
    if (forwardingKey) break; // a host that hands our own forwarded key back: it ends here
    OnKeyDown(wParam, lParam);
    return 0;
  case WM_CHAR:
    return 0; // typed characters travel with their key
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    // The focus moving between the window and its own entry is no news to the editor.
    if (entry && reinterpret_cast<HWND>(wParam) == entry) return 0;
    e.kind = message == WM_SETFOCUS ? kWindowEventFocusIn : kWindowEventFocusOut;
    Deliver(e);
    return 0;
  case WM_CTLCOLOREDIT:
    if (entry && reinterpret_cast<HWND>(lParam) == entry)
    {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, entryText);
      SetBkColor(dc, entryBack);
      SetBkMode(dc, OPAQUE);
      SetDCBrushColor(dc, entryBack);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    break;
  case WM_GETDLGCODE:
    return DLGC_WANTALLKEYS;
  case WM_SETCURSOR:
    if (cursorHidden && LOWORD(lParam) == HTCLIENT)
    {
      SetCursor(nullptr);
      return TRUE;
    }
    break;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    return 0;
  case WM_DESTROY:
    if (listener)
    {
      // Destroyed from outside (the host closed its window first): the editor lets go of it.
      e.kind = kWindowEventClose;
      Deliver(e);
    }
    return 0;
  case WM_NCDESTROY:
    // The entry went with its parent.
    entry = nullptr;
    entryPrevious = nullptr;
    if (entryFont) DeleteObject(entryFont);
    entryFont = nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    hwnd = nullptr;
    cursorHidden = false;
    return 0;
  default:
    break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Win32Window ----

Win32Window::Win32Window() : mState(std::make_unique<State>()) {}

Win32Window::~Win32Window()
{
  Close();
}

int Win32Window::LiveWindows()
{
  return gClassUsers;
}

bool Win32Window::Open(uintptr_t parent, int width, int height, WindowListener* listener)
{
  State& s = *mState;
  HWND parentWindow = reinterpret_cast<HWND>(parent);
  if (s.hwnd || !parentWindow || !IsWindow(parentWindow) || width <= 0 || height <= 0) return false;
  if (s.holdsClass)
  {
    // The last window was destroyed with the host's: its hold on the class ends now.
    s.holdsClass = false;
    ReleaseClass();
  }
  if (!AcquireClass()) return false;
  s.holdsClass = true;
  if (!s.MakeSurface(width, height))
  {
    Close();
    return false;
  }
  s.listener = nullptr; // nothing is delivered while the window is being made
  s.deferred.clear();
  s.haveLastKey = false;
  s.width = width;
  s.height = height;
  s.parent = parentWindow;
  HWND hwnd = CreateWindowExW(0, kClassName, L"IEffect", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                              height, parentWindow, nullptr, ThisModule(), &s);
  if (!hwnd || !IsWindow(hwnd))
  {
    s.hwnd = nullptr;
    Close();
    return false;
  }
  s.listener = listener;
  SetFocus(hwnd);
  return true;
}

void Win32Window::Close()
{
  State& s = *mState;
  s.listener = nullptr; // our own closing is not news to the editor
  s.DropEntry();
  if (s.hwnd && IsWindow(s.hwnd))
  {
    KillTimer(s.hwnd, kFrameTimerId);
    if (GetCapture() == s.hwnd) ReleaseCapture();
    DestroyWindow(s.hwnd);
  }
  s.hwnd = nullptr;
  s.parent = nullptr;
  s.deferred.clear();
  s.cursorHidden = false;
  s.FreeSurface();
  if (s.holdsClass)
  {
    s.holdsClass = false;
    ReleaseClass();
  }
}

bool Win32Window::IsOpen() const
{
  return mState->hwnd != nullptr;
}

uintptr_t Win32Window::Handle() const
{
  return reinterpret_cast<uintptr_t>(mState->hwnd);
}

bool Win32Window::Resize(int width, int height)
{
  State& s = *mState;
  if (!s.hwnd || width <= 0 || height <= 0) return false;
  if (!s.MakeSurface(width, height)) return false;
  SetWindowPos(s.hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  s.width = width;
  s.height = height;
  return true;
}

void Win32Window::Present(const PixelFrame& frame, int x, int y, int width, int height)
{
  State& s = *mState;
  if (!s.hwnd || !s.bits || !frame.pixels || frame.stride < frame.width) return;
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min({x + width, frame.width, s.dibWidth});
  const int y1 = std::min({y + height, frame.height, s.dibHeight});
  if (x1 <= x0 || y1 <= y0) return;
  GdiFlush(); // GDI may still be reading the section
  for (int row = y0; row < y1; ++row)
  {
    uint32_t* target = s.bits + size_t(row) * size_t(s.dibWidth) + size_t(x0);
    const uint32_t* source = frame.pixels + size_t(row) * size_t(frame.stride) + size_t(x0);
    // The window is opaque whatever the frame's alpha.
    for (int col = 0; col < x1 - x0; ++col)
      target[col] = source[col] | 0xFF000000u;
  }
  if (HDC dc = GetDC(s.hwnd))
  {
    s.Blit(dc, x0, y0, x1 - x0, y1 - y0);
    ReleaseDC(s.hwnd, dc);
  }
  // A repaint the system still had pending for this area is covered now.
  RECT done{x0, y0, x1, y1};
  ValidateRect(s.hwnd, &done);
}

void Win32Window::SetTimerPeriod(int milliseconds)
{
  mState->timerPeriod = std::max(0, milliseconds);
  mState->StartTimer();
}

void Win32Window::Pump()
{
  // The host's message loop delivers as messages come; what waited behind a modal loop goes now.
  mState->Flush();
}

void Win32Window::TakeFocus()
{
  if (mState->hwnd && GetFocus() != mState->hwnd) SetFocus(mState->hwnd);
}

void Win32Window::CaptureMouse()
{
  if (mState->hwnd) SetCapture(mState->hwnd);
}

void Win32Window::ReleaseMouse()
{
  if (mState->hwnd && GetCapture() == mState->hwnd) ReleaseCapture();
}

bool Win32Window::PointerPosition(int& x, int& y)
{
  POINT p{};
  if (!mState->hwnd || !GetCursorPos(&p) || !ScreenToClient(mState->hwnd, &p)) return false;
  x = p.x;
  y = p.y;
  return true;
}

void Win32Window::WarpPointer(int x, int y)
{
  POINT p{x, y};
  if (mState->hwnd && ClientToScreen(mState->hwnd, &p)) SetCursorPos(p.x, p.y);
}

void Win32Window::SetCursorVisible(bool visible)
{
  State& s = *mState;
  if (!s.hwnd || visible == !s.cursorHidden) return;
  s.cursorHidden = !visible;
  // At once when the pointer is over us (or we hold it); otherwise WM_SETCURSOR sees to it.
  POINT p{};
  RECT r{};
  const bool over =
      GetCursorPos(&p) && ScreenToClient(s.hwnd, &p) && GetClientRect(s.hwnd, &r) && PtInRect(&r, p);
  if (over || GetCapture() == s.hwnd)
    SetCursor(visible ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)) : nullptr);
}

void Win32Window::ForwardKeyToHost(const WindowEvent&)
{
  State& s = *mState;
  if (!s.hwnd || !s.haveLastKey || s.forwardingKey) return;
  HWND root = GetAncestor(s.hwnd, GA_ROOT);
  if (!root || root == s.hwnd) return;
  s.forwardingKey = true;
  SendMessageW(root, WM_KEYDOWN, s.lastKeyW, s.lastKeyL);
  s.forwardingKey = false;
}

void* Win32Window::BuildNativeMenu(const PopupMenuLayout& layout, int level)
{
  std::set<int> open;
  return BuildLevel(layout, level, open);
}

int Win32Window::TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter&)
{
  State& s = *mState;
  if (!s.hwnd || layout.levels.empty()) return -1;
  HMENU menu = static_cast<HMENU>(BuildNativeMenu(layout, 0));
  if (!menu) return -1;
  POINT p{x, y};
  ClientToScreen(s.hwnd, &p);
  ++s.modal;
  const BOOL chosen =
      TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                       p.x, p.y, s.hwnd, nullptr);
  --s.modal;
  DestroyMenu(menu);
  return chosen > 0 ? int(chosen) - 1 : -1;
}

static COLORREF ColourRef(uint32_t argb)
{
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

bool Win32Window::OpenTextEntry(const NativeTextEntry& request)
{
  State& s = *mState;
  if (!s.hwnd || s.entry || request.width <= 0 || request.height <= 0) return false;
  const DWORD align = request.align == 0 ? ES_LEFT : (request.align == 2 ? ES_RIGHT : ES_CENTER);
  HWND edit =
      CreateWindowExW(0, L"EDIT", Widen(request.text).c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | align,
                      request.x, request.y, request.width, request.height, s.hwnd,
                      reinterpret_cast<HMENU>(UINT_PTR(kEntryId)), ThisModule(), nullptr);
  if (!edit) return false;
  s.entryFont = CreateFontW(request.size, 0, 0, 0, request.bold ? FW_BOLD : FW_DONTCARE, request.italic,
                            FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(request.face).c_str());
  if (s.entryFont) SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(s.entryFont), FALSE);
  s.entryText = ColourRef(request.textColour);
  s.entryBack = ColourRef(request.backColour);
  s.entryFilter = request.filter;
  SendMessageW(edit, EM_SETLIMITTEXT, WPARAM(request.limit > 0 ? request.limit : 0), 0);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  s.entry = edit;
  SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s));
  s.entryPrevious =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EntryProc)));
  SetFocus(edit);
  return true;
}

bool Win32Window::TextEntryText(std::string& text)
{
  State& s = *mState;
  if (!s.entry) return false;
  const int length = GetWindowTextLengthW(s.entry);
  std::wstring wide(size_t(std::max(length, 0)) + 1, L'\0');
  const int got = GetWindowTextW(s.entry, wide.data(), int(wide.size()));
  wide.resize(size_t(std::max(got, 0)));
  text = Narrow(wide);
  return true;
}

void Win32Window::CloseTextEntry()
{
  mState->DropEntry();
}

int Win32Window::ShowMessageBox(const std::string& text, const std::string& caption, int kind)
{
  State& s = *mState;
  UINT type = MB_OK;
  switch (kind)
  {
  case kMessageBoxOkCancel:
    type = MB_OKCANCEL;
    break;
  case kMessageBoxYesNoCancel:
    type = MB_YESNOCANCEL;
    break;
  case kMessageBoxYesNo:
    type = MB_YESNO;
    break;
  default:
    break;
  }
  HWND owner = s.hwnd ? GetAncestor(s.hwnd, GA_ROOT) : nullptr;
  ++s.modal;
  const int answer = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), type);
  --s.modal;
  switch (answer)
  {
  case IDOK:
    return kMessageBoxAnswerOk;
  case IDCANCEL:
    return kMessageBoxAnswerCancel;
  case IDYES:
    return kMessageBoxAnswerYes;
  case IDNO:
    return kMessageBoxAnswerNo;
  default:
    return kMessageBoxAnswerNone;
  }
}

DialogStatus Win32Window::PromptForFile(bool save, const std::string& folder, const std::string& file,
                                        const std::vector<std::string>& extensions, std::string& path)
{
  State& s = *mState;
  if (!s.hwnd) return kDialogUnavailable;
  // "*.syx;*.mid" as both the description and the pattern; every file without extensions.
  std::wstring pattern;
  std::wstring defaultExtension;
  for (const std::string& ext : extensions)
  {
    if (ext.empty()) continue;
    if (!pattern.empty()) pattern += L';';
    pattern += L"*." + Widen(ext);
    if (defaultExtension.empty()) defaultExtension = Widen(ext);
  }
  if (pattern.empty()) pattern = L"*.*";
  std::wstring filter = pattern;
  filter += L'\0';
  filter += pattern;
  filter += L'\0';

  std::wstring start = Widen(folder);
  std::replace(start.begin(), start.end(), L'/', L'\\');
  std::vector<wchar_t> buffer(kFileBufferLength, L'\0');
  const std::wstring initial = Widen(file);
  if (initial.size() < buffer.size())
    std::copy(initial.begin(), initial.end(), buffer.begin()); // longer: start without a name

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = s.hwnd;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = DWORD(buffer.size());
  ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  // The host's current folder is its own business.
  ofn.Flags =
      OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  ++s.modal;
  const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  --s.modal;
  if (!chosen) return CommDlgExtendedError() == 0 ? kDialogCancelled : kDialogUnavailable;
  path = Narrow(buffer.data());
  return path.empty() ? kDialogCancelled : kDialogChosen;
}

DialogStatus Win32Window::PromptForColour(const std::string& title, uint8_t rgb[3])
{
  State& s = *mState;
  if (!s.hwnd) return kDialogUnavailable;
  const std::wstring caption = Widen(title);
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = s.hwnd;
  cc.rgbResult = RGB(rgb[0], rgb[1], rgb[2]);
  cc.lpCustColors = s.customColours; // kept for the window object's life
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR | CC_SOLIDCOLOR | (caption.empty() ? 0 : CC_ENABLEHOOK);
  cc.lCustData = reinterpret_cast<LPARAM>(caption.c_str());
  cc.lpfnHook = caption.empty() ? nullptr : ColourDialogHook;
  ++s.modal;
  const BOOL chosen = ChooseColorW(&cc);
  --s.modal;
  if (!chosen) return CommDlgExtendedError() == 0 ? kDialogCancelled : kDialogUnavailable;
  rgb[0] = GetRValue(cc.rgbResult);
  rgb[1] = GetGValue(cc.rgbResult);
  rgb[2] = GetBValue(cc.rgbResult);
  return kDialogChosen;
}

bool Win32Window::OpenWithShell(const std::string& target)
{
  return OpenWithDesktop(target);
}

std::unique_ptr<PlatformWindow> CreateWin32Window()
{
  return std::make_unique<Win32Window>();
}

std::unique_ptr<PlatformWindow> CreateSystemWindow()
{
  return CreateWin32Window();
}
