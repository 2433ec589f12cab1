#include "platform/text/FontFolders.h"

#include <cstdlib>
#include <string>

std::vector<std::filesystem::path> FontFolders()
{
  std::vector<std::filesystem::path> folders;
  const char* extra = std::getenv("VELK_FONT_DIRS");
  const std::string list = extra ? extra : "";
  size_t start = 0;
  while (start < list.size())
  {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) folders.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  folders.emplace_back("/usr/share/fonts");
  folders.emplace_back("/usr/local/share/fonts");
  return folders;
}
