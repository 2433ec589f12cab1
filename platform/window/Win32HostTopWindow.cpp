#include "platform/window/HostTopWindow.h"

#include "platform/win32/Win32Module.h"
#include "platform/win32/Win32Strings.h"

#include <cctype>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
const wchar_t kHostClassName[] = L"VelkHostTopWindow";

struct HostState
{
  bool open = true;
};

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message)
  {
  case WM_NCCREATE:
    SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    break;
  case WM_CLOSE:
    if (state) state->open = false; // the test host decides when the window goes
    return 0;
  case WM_ERASEBKGND:
  {
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return 1;
  }
  default:
    break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The outer size of a window whose client area is width x height.
SIZE OuterSize(int width, int height, DWORD style)
{
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

constexpr DWORD kHostStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

class Win32HostTopWindow : public HostTopWindow
{
public:
  Win32HostTopWindow(HWND window, std::unique_ptr<HostState> state)
      : mWindow(window), mState(std::move(state))
  {
  }
  ~Win32HostTopWindow() override
  {
    if (IsWindow(mWindow)) DestroyWindow(mWindow);
  }

  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(mWindow); }

  void Resize(int width, int height) override
  {
    if (width <= 0 || height <= 0) return;
    const SIZE outer = OuterSize(width, height, kHostStyle);
    SetWindowPos(mWindow, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  bool Pump() override
  {
    // Every window of this thread: the editor's child among them.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return mState->open && IsWindow(mWindow);
  }

  bool Capture(std::vector<uint32_t>& pixels, int& width, int& height) override
  {
    RECT r;
    if (!IsWindowVisible(mWindow) || !GetClientRect(mWindow, &r) || r.right <= 0 || r.bottom <= 0)
      return false;
    const int w = r.right, h = r.bottom;
    // What the screen shows of the client area, child windows included.
    POINT origin{0, 0};
    ClientToScreen(mWindow, &origin);
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && dib && bits)
    {
      HGDIOBJ old = SelectObject(memory, dib);
      ok = BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY) != FALSE;
      GdiFlush();
      if (ok)
      {
        width = w;
        height = h;
        pixels.resize(size_t(w) * size_t(h));
        const auto* source = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i)
          pixels[i] = 0xFF000000u | (source[i] & 0xFFFFFFu);
      }
      SelectObject(memory, old);
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
  }

  int ChildCount() override
  {
    int count = 0;
    for (HWND child = GetWindow(mWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      ++count;
    return count;
  }

  bool Origin(int& x, int& y) override
  {
    POINT p{0, 0};
    if (!ClientToScreen(mWindow, &p)) return false;
    x = p.x;
    y = p.y;
    return true;
  }

private:
  HWND mWindow;
  std::unique_ptr<HostState> mState;
};

// Key names as the X11 back end takes them ("Down", "Return", "a", ...), as virtual keys.
WORD VirtualKeyOf(const char* name)
{
  static const struct
  {
    const char* name;
    WORD key;
  } kNames[] = {
      {"Up", VK_UP},           {"Down", VK_DOWN},         {"Left", VK_LEFT},      {"Right", VK_RIGHT},
      {"Return", VK_RETURN},   {"KP_Enter", VK_RETURN},   {"Escape", VK_ESCAPE},  {"Tab", VK_TAB},
      {"BackSpace", VK_BACK},  {"Delete", VK_DELETE},     {"Insert", VK_INSERT},  {"Home", VK_HOME},
      {"End", VK_END},         {"Page_Up", VK_PRIOR},     {"Page_Down", VK_NEXT}, {"space", VK_SPACE},
      {"Shift_L", VK_SHIFT},   {"Control_L", VK_CONTROL}, {"Alt_L", VK_MENU},     {"period", VK_OEM_PERIOD},
      {"minus", VK_OEM_MINUS}, {"plus", VK_OEM_PLUS},
  };
  if (!name || !*name) return 0;
  for (const auto& entry : kNames)
    if (std::strcmp(entry.name, name) == 0) return entry.key;
  if (!name[1] && std::isalnum(static_cast<unsigned char>(name[0])))
    return WORD(std::toupper(static_cast<unsigned char>(name[0])));
  if ((name[0] == 'F') && name[1] >= '1' && name[1] <= '9')
  {
    const int n = std::atoi(name + 1);
    if (n >= 1 && n <= 12) return WORD(VK_F1 + n - 1);
  }
  return 0;
}

class Win32SyntheticInput : public SyntheticInput
{
public:
  void MoveTo(int screenX, int screenY) override
  {
    // Absolute positions are in 0..65535 over the primary screen.
    const int w = std::max(1, GetSystemMetrics(SM_CXSCREEN) - 1),
              h = std::max(1, GetSystemMetrics(SM_CYSCREEN) - 1);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = LONG((int64_t(screenX) * 65535 + w / 2) / w);
    input.mi.dy = LONG((int64_t(screenY) * 65535 + h / 2) / h);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
  }

  void Button(int button, bool down) override
  {
    INPUT input{};
    input.type = INPUT_MOUSE;
    switch (button)
    {
    case 1:
      input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
      break;
    case 2:
      input.mi.dwFlags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
      break;
    case 3:
      input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
      break;
    default:
      return;
    }
    SendInput(1, &input, sizeof input);
  }

  void Key(const char* name) override
  {
    const WORD key = VirtualKeyOf(name);
    if (!key) return;
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
  }

  bool WindowOrigin(uintptr_t window, int& x, int& y) override
  {
    POINT p{0, 0};
    if (!ClientToScreen(reinterpret_cast<HWND>(window), &p)) return false;
    x = p.x;
    y = p.y;
    return true;
  }

  bool PointerGrabbedElsewhere() override
  {
    // A capture of the active thread that was never given back.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) && info.hwndCapture != nullptr;
  }

  bool KeyboardGrabbedElsewhere() override
  {
    // The active thread runs a menu's loop, which takes every key.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) && (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) != 0;
  }

  // A program cannot take the whole keyboard from the others on Windows.
  bool HoldKeyboard(bool) override { return false; }
};
} // namespace

std::unique_ptr<HostTopWindow> HostTopWindow::Create(int width, int height, const char* title)
{
  if (width <= 0 || height <= 0) return nullptr;
  static bool registered = false;
  if (!registered)
  {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kHostClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    registered = true;
  }
  auto state = std::make_unique<HostState>();
  const SIZE outer = OuterSize(width, height, kHostStyle);
  HWND window = CreateWindowExW(0, kHostClassName, Widen(title ? title : "vsthost").c_str(), kHostStyle, 0, 0,
                                outer.cx, outer.cy, nullptr, nullptr, ThisModule(), state.get());
  if (!window) return nullptr;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  SetForegroundWindow(window);
  return std::make_unique<Win32HostTopWindow>(window, std::move(state));
}

std::unique_ptr<SyntheticInput> SyntheticInput::Create()
{
  return std::make_unique<Win32SyntheticInput>();
}
