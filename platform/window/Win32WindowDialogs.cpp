// The Win32 back end's dialogs: the system's message box, file and colour prompts, and the shell.
#include "platform/window/Win32WindowState.h"

#include "platform/win32/Win32Strings.h"
#include "platform/window/ProcessSpawn.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace
{
constexpr size_t kFileBufferLength = 4096;

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
