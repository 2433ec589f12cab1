// Font files found in the folders of VELK_FONT_DIRS: a face's own files win over its stand-in, file names
// compare without case, and folders with any name open (the files are read by the rasteriser itself).

#include "platform/text/FreeTypeRasteriser.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
namespace fs = std::filesystem;

std::vector<std::string> gLines;
void Keep(const char* line)
{
  gLines.emplace_back(line);
}

fs::path FromUtf8(const std::string& text)
{
  return fs::path(std::u8string(text.begin(), text.end()));
}

// A folder of its own under the temporary folder, removed afterwards; the fonts go into a sub-folder named
// with letters outside ASCII (the folder itself reaches the rasteriser through the environment, which carries
// the system's narrow code page on Windows).
struct FontFolder
{
  FontFolder()
  {
    path = root / FromUtf8("f\xC3\xB6nts");
    fs::create_directories(path);
  }
  TempFolder folder{"fonts"};
  fs::path root = folder.Path(), path;
};

struct ScopedFontDirs
{
  explicit ScopedFontDirs(const fs::path& folder)
  {
    const char* old = std::getenv("VELK_FONT_DIRS");
    had = old != nullptr;
    if (had) previous = old;
    // Before the folders already listed (Wine's run lists Linux's fonts folder there).
    const std::u8string text = folder.u8string();
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    std::string list(text.begin(), text.end());
    if (had) list += separator + previous;
    setenv("VELK_FONT_DIRS", list.c_str(), 1);
  }
  ~ScopedFontDirs()
  {
    if (had)
      setenv("VELK_FONT_DIRS", previous.c_str(), 1);
    else
      unsetenv("VELK_FONT_DIRS");
  }
  bool had = false;
  std::string previous;
};
} // namespace

TEST(FreeTypeRasteriser, OwnFacesWinOverStandInsAndFileNamesIgnoreCase)
{
  std::string mono, sans;
  {
    FreeTypeRasteriser probe;
    mono = probe.ResolveFile(TextFontRequest("DejaVu Sans Mono", 12));
    sans = probe.ResolveFile(TextFontRequest("Liberation Sans", 12));
  }
  if (mono.find("DejaVuSansMono") == std::string::npos || sans.find("LiberationSans") == std::string::npos)
    GTEST_SKIP() << "fonts-dejavu-core and fonts-liberation are not installed";
  FontFolder folder;
  // Copies standing in for the product's home faces, under their own file names.
  fs::copy_file(FromUtf8(mono), folder.path / "CONSOLA.TTF");
  fs::copy_file(FromUtf8(sans), folder.path / "arial.ttf");
  ScopedFontDirs dirs(folder.root);
  gLines.clear();
  TextRasteriser::SetLogSink(&Keep);

  FreeTypeRasteriser ft;
  bool known = false;
  EXPECT_EQ(FromUtf8(ft.ResolveFile(TextFontRequest("Consolas", 12), &known)), folder.path / "CONSOLA.TTF");
  EXPECT_TRUE(known);
  // No bold file of its own: the regular one, still the face itself rather than a stand-in.
  EXPECT_EQ(FromUtf8(ft.ResolveFile(TextFontRequest("consolas", 12, 700))), folder.path / "CONSOLA.TTF");
  EXPECT_EQ(FromUtf8(ft.ResolveFile(TextFontRequest("Arial", 14))), folder.path / "arial.ttf");
  // A face whose own files are missing keeps its stand-in.
  const std::string courier = ft.ResolveFile(TextFontRequest("Courier New", 12), &known);
  EXPECT_TRUE(courier.empty() || courier.find("LiberationMono") != std::string::npos) << courier;

  // The file opens from the folder; the face is what the file says it is.
  auto consolas = ft.OpenFont(TextFontRequest("Consolas", 12));
  ASSERT_TRUE(consolas);
  EXPECT_STREQ(consolas->Face(), "DejaVu Sans Mono");
  EXPECT_EQ(consolas->LineHeight(), 12);
  EXPECT_GT(consolas->CharAdvance('M'), 3);
  auto again = ft.OpenFont(TextFontRequest("Consolas", 20)); // the same file, read once, shared
  ASSERT_TRUE(again);
  EXPECT_EQ(again->LineHeight(), 20);
  EXPECT_TRUE(gLines.empty());

  // An unknown face falls back to the default monospace face, the product's own first.
  EXPECT_EQ(FromUtf8(ft.ResolveFile(TextFontRequest("No Such Face", 12), &known)),
            folder.path / "CONSOLA.TTF");
  EXPECT_FALSE(known);
  auto unknown = ft.OpenFont(TextFontRequest("No Such Face", 12));
  ASSERT_TRUE(unknown);
  EXPECT_EQ(gLines.size(), 1u);
  // Every editor opens its fonts again: the missing face is reported once.
  EXPECT_TRUE(ft.OpenFont(TextFontRequest("No Such Face", 14)));
  EXPECT_EQ(gLines.size(), 1u);
  // The face the editor's documents name is mapped to its stand-in (the default monospace face, so
  // the pictures stay as they were) without a report.
  EXPECT_EQ(FromUtf8(ft.ResolveFile(TextFontRequest("NK57 Monospace Sc Sb", 12), &known)),
            folder.path / "CONSOLA.TTF");
  EXPECT_TRUE(known);
  EXPECT_TRUE(ft.OpenFont(TextFontRequest("NK57 Monospace Sc Sb", 12)));
  EXPECT_EQ(gLines.size(), 1u);
  TextRasteriser::SetLogSink(nullptr);
  consolas.reset();
  again.reset();
  unknown.reset();
}
