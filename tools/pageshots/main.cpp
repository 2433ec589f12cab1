// Draws the editor off screen, without a host or a window, on every page tab, and writes each
// picture as a PNG: OUTDIR/<page>.png at normal size, and the first page at small and large size
// (<page>-small.png, <page>-large.png). The UI size comes from a data folder of the tool's own.
#include "editor/UISettings.h"
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_PNGWrite.h"
#include "gfx/Gfx_SysBitmap.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
const char* const kTabNames[] = {"multi", "library", "osc",     "filter-env", "lfo-mod",
                                 "fx1",   "fx2",     "vocoder", "arp",        "global"};

bool Shoot(const std::filesystem::path& dataFolder, const std::string& size, int firstTab, int lastTab,
           const std::filesystem::path& outDir, const std::string& suffix)
{
  std::filesystem::create_directories(dataFolder);
  std::ofstream(dataFolder / UISettings::kFileName) << "normal\n" << size << "\n1\n";
  setenv("VELK_DATA_DIR", dataFolder.c_str(), 1);
  VELK plug(nullptr);
  auto* editor = dynamic_cast<IGraphics*>(plug.Editor());
  IParameter* tab = plug.ParameterAt(kMainTab);
  if (!editor || !tab)
  {
    std::fprintf(stderr, "velk-pageshots: the plug-in has no editor\n");
    return false;
  }
  editor->CreateDrawBitmaps();
  const IRectangle all(0, 0, editor->Width(), editor->Height());
  for (int t = firstTab; t <= lastTab; ++t)
  {
    tab->SetClamped(t);
    plug.HandleParameterChange(kMainTab);
    editor->SyncParameterToControls(kMainTab, t, false); // the tab row too, as a host's change does
    editor->DrawDirty(&all); // no window to paint to: the drawing bitmap holds the picture
    const std::filesystem::path file = outDir / (std::string(kTabNames[t]) + suffix + ".png");
    if (!editor->DrawBitmapSurface() || !Gfx_WritePNGFile(file.c_str(), *editor->DrawBitmapSurface()))
    {
      std::fprintf(stderr, "velk-pageshots: could not write %s\n", file.c_str());
      return false;
    }
    std::printf("%s (%d x %d)\n", file.c_str(), editor->Width(), editor->Height());
  }
  return true;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: velk-pageshots OUTDIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  const std::filesystem::path data = out / "data";
  const bool ok = Shoot(data / "normal", "normal", 0, 9, out, "") &&
                  Shoot(data / "small", "small", 0, 0, out, "-small") &&
                  Shoot(data / "large", "large", 0, 0, out, "-large");
  std::filesystem::remove_all(data, ec);
  return ok ? 0 : 1;
}
