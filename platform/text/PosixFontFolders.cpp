#include "platform/text/FontFolders.h"

std::vector<std::filesystem::path> FontFolders()
{
  return {"/usr/share/fonts", "/usr/local/share/fonts"};
}
