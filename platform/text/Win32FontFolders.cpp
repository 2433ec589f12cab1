#include "platform/text/FontFolders.h"

#include <windows.h>

#include <string>

namespace
{
std::wstring EnvironmentText(const wchar_t* name)
{
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::wstring();
  std::wstring text(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, text.data(), n);
  text.resize(got < n ? got : 0);
  return text;
}
} // namespace

std::vector<std::filesystem::path> FontFolders()
{
  std::vector<std::filesystem::path> folders;
  const std::wstring extra = EnvironmentText(L"VELK_FONT_DIRS");
  size_t start = 0;
  while (start < extra.size())
  {
    size_t end = extra.find(L';', start);
    if (end == std::wstring::npos) end = extra.size();
    if (end > start) folders.emplace_back(extra.substr(start, end - start));
    start = end + 1;
  }
  wchar_t windows[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n > 0 && n < MAX_PATH) folders.push_back(std::filesystem::path(windows) / L"Fonts");
  // Fonts a user installed for themselves only.
  const std::wstring local = EnvironmentText(L"LOCALAPPDATA");
  if (!local.empty()) folders.push_back(std::filesystem::path(local) / L"Microsoft" / L"Windows" / L"Fonts");
  return folders;
}
