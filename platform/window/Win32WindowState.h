#pragma once

// What the files of the Win32 back end share: the window's Win32 state.
// Win32 sources only.

#include "platform/window/Win32Window.h"

#include <windows.h>

#include <deque>

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
    Call(e);
    Flush();
  }

  void Flush()
  {
    while (!Busy() && listener && !deferred.empty())
    {
      const WindowEvent e = deferred.front();
      deferred.pop_front();
      Call(e);
    }
  }

  // One listener call, counted even when it throws (the window procedure catches it): a count left
  // raised would hold back every later event.
  void Call(const WindowEvent& e)
  {
    struct Count
    {
      int& n;
      explicit Count(int& counter) : n(counter) { ++n; }
      ~Count() { --n; }
    } count(delivering);
    listener->OnWindowEvent(e);
  }

  // The frame's surface (a DIB section of the window's size), the frame timer, keys and buttons:
  // Win32Window.cpp.
  bool MakeSurface(int width, int height);
  void FreeSurface();
  void Blit(HDC target, int x, int y, int width, int height);
  void StartTimer();
  void OnKeyDown(WPARAM wParam, LPARAM lParam);
  void OnButton(WindowEventKind kind, int button, WPARAM wParam, LPARAM lParam);

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
