#include "platform/module/PluginModule.h"

#include <windows.h>

#include <vector>

namespace
{
std::wstring Widen(const std::string& text)
{
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

std::string SystemMessage(DWORD code)
{
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}
} // namespace

PluginModule::~PluginModule()
{
  Unload();
}

bool PluginModule::Load(const std::string& path)
{
  Unload();
  mError.clear();
  // A full path: a relative one would be looked for along the DLL search path. Loading with the altered
  // search path finds the libraries the plug-in needs beside it.
  const std::wstring wide = Widen(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::vector<wchar_t> full(size ? size : 1, L'\0');
  if (wide.empty() || !size || !GetFullPathNameW(wide.c_str(), size, full.data(), nullptr))
  {
    mError = "not a file name";
    return false;
  }
  // No system dialog about a missing dependency: the caller reports the failure.
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  HMODULE module = LoadLibraryExW(full.data(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD code = GetLastError();
  SetThreadErrorMode(previousMode, nullptr);
  if (!module)
  {
    mError = SystemMessage(code);
    return false;
  }
  mHandle = module;
  return true;
}

void* PluginModule::Symbol(const char* name) const
{
  if (!mHandle) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}

void PluginModule::Unload()
{
  if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
  mHandle = nullptr;
}
