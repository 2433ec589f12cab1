#pragma once

#include <filesystem>
#include <vector>

// The folders the FreeType rasteriser searches (with their sub-folders) for font files, in order;
// the first file of a name wins. First the folders listed in VELK_FONT_DIRS (separated by ';' on
// Windows, ':' on Linux), for a system whose fonts folder lacks the faces (such as Wine's) and for
// tests; then on Linux /usr/share/fonts and /usr/local/share/fonts, on Windows the system's fonts
// folder and the user's own.
std::vector<std::filesystem::path> FontFolders();
