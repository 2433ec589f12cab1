#pragma once

#include <filesystem>
#include <vector>

// The folders the FreeType rasteriser searches (with their sub-folders) for font files, in order;
// the first file of a name wins. Linux: /usr/share/fonts, /usr/local/share/fonts. Windows: the
// system's fonts folder, then the user's own; before both, the folders listed in VELK_FONT_DIRS
// (separated by ';'), for a system whose fonts folder lacks the faces (such as Wine's).
std::vector<std::filesystem::path> FontFolders();
