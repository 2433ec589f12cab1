#include "platform/window/ModuleFolders.h"

#include "platform/win32/Win32Module.h"
#include "platform/win32/Win32Strings.h"

#include <shlobj.h>

namespace
{
// The full path of a module's file (null: the process's executable), however long.
std::wstring ModuleFileName(HMODULE module)
{
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt)
  {
    const DWORD n = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
    if (n == 0) return std::wstring();
    if (n < path.size())
    {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2); // truncated: try again with more room
  }
  return std::wstring();
}
} // namespace

std::string FolderOfPath(const std::string& path)
{
  // Windows takes both separators.
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 == path.size()) return std::string();
  return path.substr(0, slash + 1);
}

std::string HostExecutableFolder()
{
  return FolderOfPath(Narrow(ModuleFileName(nullptr)));
}

std::string PluginModuleFolder()
{
  // The module this function lives in: the plug-in's DLL (or a test's executable).
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&PluginModuleFolder), &module))
    return std::string();
  return FolderOfPath(Narrow(ModuleFileName(module)));
}

std::string DesktopFolder()
{
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0])
    return std::string();
  std::string folder = Narrow(path);
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}
