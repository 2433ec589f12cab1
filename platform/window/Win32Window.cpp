#include "platform/window/Win32WindowState.h"

#include "platform/win32/Win32Module.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace
{
const wchar_t kClassName[] = L"IEffectWndClass";
constexpr UINT_PTR kFrameTimerId = 2;

// Live windows (and windows being made) of the class. Hosts open editors of several instances from
// more than one thread, so the count and the class's registration change together under one lock,
// which is never destroyed (a window may close while the process exits).
int gClassUsers = 0;
std::mutex& ClassLock()
{
  static std::mutex* lock = new std::mutex;
  return *lock;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool AcquireClass()
{
  std::lock_guard<std::mutex> hold(ClassLock());
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
  std::lock_guard<std::mutex> hold(ClassLock());
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
} // namespace

bool Win32Window::State::MakeSurface(int width, int height)
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

void Win32Window::State::FreeSurface()
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

void Win32Window::State::Blit(HDC target, int x, int y, int width, int height)
{
  if (memory && dib && width > 0 && height > 0) BitBlt(target, x, y, width, height, memory, x, y, SRCCOPY);
}

void Win32Window::State::StartTimer()
{
  if (!hwnd) return;
  if (timerPeriod > 0)
    SetTimer(hwnd, kFrameTimerId, UINT(timerPeriod), nullptr);
  else
    KillTimer(hwnd, kFrameTimerId);
}

void Win32Window::State::OnKeyDown(WPARAM wParam, LPARAM lParam)
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

void Win32Window::State::OnButton(WindowEventKind kind, int button, WPARAM wParam, LPARAM lParam)
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
  std::lock_guard<std::mutex> hold(ClassLock());
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

std::unique_ptr<PlatformWindow> CreateWin32Window()
{
  return std::make_unique<Win32Window>();
}

std::unique_ptr<PlatformWindow> CreateSystemWindow()
{
  return CreateWin32Window();
}
