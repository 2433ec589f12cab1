#include "platform/window/ModuleFolders.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

std::string FolderOfPath(const std::string& path)
{
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return std::string();
  return path.substr(0, slash + 1);
}

std::string HostExecutableFolder()
{
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return FolderOfPath(std::string(buffer, size_t(n)));
}

std::string PluginModuleFolder()
{
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PluginModuleFolder), &info) == 0 || !info.dli_fname)
    return std::string();
  std::string path = info.dli_fname;
  if (!path.empty() && path[0] != '/')
  {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
  }
  return FolderOfPath(path);
}

std::string DesktopFolder()
{
  const char* desktop = std::getenv("XDG_DESKTOP_DIR");
  std::string folder;
  if (desktop && *desktop)
    folder = desktop;
  else
  {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::string();
    folder = std::string(home) + "/Desktop";
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}
