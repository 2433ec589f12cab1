// The Win32 back end's text entry: an "EDIT" child of the window, subclassed.
#include "platform/window/Win32WindowState.h"

#include "platform/win32/Win32Module.h"
#include "platform/win32/Win32Strings.h"

#include <algorithm>

namespace
{
constexpr int kEntryId = 99;

COLORREF ColourRef(uint32_t argb)
{
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Return commits, Escape cancels, the filter refuses characters, and losing the focus to anything
// but the editor's window cancels.
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
