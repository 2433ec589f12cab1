// Draws the editor off screen, without a host or a window, on every page tab and on the windows that
// open over a page, in both colour schemes and all three sizes, and writes each picture as a PNG:
// OUTDIR/<scheme>/<size>/<view>.png. The scheme and size come from a data folder of the tool's own,
// the way the editor reads them at start-up.
#include "editor/UISettings.h"
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "gfx/Gfx_PNGWrite.h"
#include "gfx/Gfx_SysBitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
// One picture: a page tab, and optionally a parameter that opens a view or window over it.
struct View
{
  const char* name;
  int tab;
  int index = -1; // parameter set to value before drawing and back to 0 after
  int value = 0;
  bool transfer = false;   // the progress overlay shown, as while a dump travels
  bool partValues = false; // every part's sound given values of its own first (kept for later views)
  bool conflict = false;   // the window that asks before a part gets another part's program
};

const View kViews[] = {
    {"multi", 0},
    {"library", 1},
    {"osc", 2},
    {"filter-env", 3},
    {"lfo-mod", 4},
    {"fx1", 5},
    {"fx2", 6},
    {"vocoder", 7},
    {"arp", 8},
    {"global", 9},
    {"multi-mix6", 0, kMultiSettings, 1},
    {"multi-settings", 0, kMultiSettings, 2},
    {"multi-part-settings", 0, kMultiPartSettings, 1},
    {"global-midi-filters", 9, kViewMIDIFilterSettings, 1},
    {"multi-transfer", 0, -1, 0, true},
    {"multi-conflict", 0, -1, 0, false, false, true},
    // One sound page as two parts show it, each part holding values of its own.
    {"osc-part1", 2, kQuickTab, 0, false, true},
    {"osc-part5", 2, kQuickTab, 4, false, true},
};

const char* const kSchemeNames[] = {"normal", "platinum"};
std::vector<std::string> gMissing; // skin images the editor asked for and could not find

void KeepMissingImages(const char* line)
{
  if (line && std::strstr(line, "is not built in")) gMissing.push_back(line);
  if (line) std::fprintf(stderr, "%s\n", line);
}
const char* const kSizeNames[] = {"small", "normal", "large"};

// Each part's sound parameters get values of their own, spread over their ranges, so that two parts'
// pages differ wherever a control shows a value.
void GivePartsValues(VELK& plug)
{
  for (int index = 0; index < kNumAutomatedParams; ++index)
  {
    const IParameter* param = plug.ParameterAt(index);
    if (!param || param->Max() <= param->Min()) continue;
    const int part = index % kPartCount, steps = int(param->Max() - param->Min()) + 1;
    // Parts 1 and 5 (those shot) differ in every parameter, two-state switches included.
    const int offset = index / kPartCount * 37 + part * 53 + part / 4;
    plug.SetParamInEditor(index, param->Min() + double(offset % steps));
  }
}

void Set(VELK& plug, IGraphics& editor, int index, int value)
{
  IParameter* param = plug.ParameterAt(index);
  if (!param) return;
  param->SetClamped(value);
  plug.HandleParameterChange(index);
  editor.SyncParameterToControls(index, value, false); // the control too, as a host's change does
}

bool Shoot(const std::filesystem::path& dataFolder, int scheme, int size, const std::filesystem::path& outDir)
{
  std::error_code ec;
  std::filesystem::create_directories(dataFolder, ec);
  std::filesystem::create_directories(outDir, ec);
  UISettings settings;
  settings.colourScheme = uint32_t(scheme);
  settings.size = size;
  settings.firstRunSeen = true;
  if (!settings.Save(dataFolder.string()))
  {
    std::fprintf(stderr, "velk-pageshots: cannot write the UI settings in %s\n", dataFolder.c_str());
    return false;
  }
  setenv("VELK_DATA_DIR", dataFolder.c_str(), 1);
  VELK plug(nullptr);
  auto* editor = dynamic_cast<IGraphics*>(plug.Editor());
  if (!editor || !plug.ParameterAt(kMainTab))
  {
    std::fprintf(stderr, "velk-pageshots: the plug-in has no editor\n");
    return false;
  }
  editor->CreateDrawBitmaps();
  IGraphics::ReportMissingImages();
  if (!gMissing.empty())
  {
    std::fprintf(stderr, "velk-pageshots: the %s scheme lacks %zu skin images\n", kSchemeNames[scheme],
                 gMissing.size());
    return false;
  }
  const IRectangle all(0, 0, editor->Width(), editor->Height());
  for (const View& view : kViews)
  {
    if (view.partValues) GivePartsValues(plug);
    Set(plug, *editor, kMainTab, view.tab);
    if (view.index >= 0) Set(plug, *editor, view.index, view.value);
    LayerGroup* progress = view.transfer ? plug.ProgressLayer() : nullptr;
    if (progress) progress->Hide(false);
    if (view.conflict)
    {
      // Part 1 chose bank H, program 128, which part 8 plays.
      plug.SetParamInEditor(kMultiPartBank, 7);
      plug.SetParamInEditor(kMultiPartPatch, 127);
      plug.ShowProgramConflict(0, 7);
    }
    editor->DrawDirty(&all); // no window to paint to: the drawing bitmap holds the picture
    const std::filesystem::path file = outDir / (std::string(view.name) + ".png");
    const bool written =
        editor->DrawBitmapSurface() && Gfx_WritePNGFile(file.c_str(), *editor->DrawBitmapSurface());
    if (view.index >= 0) Set(plug, *editor, view.index, 0);
    if (progress) progress->Hide(true);
    if (view.conflict)
    {
      Set(plug, *editor, kTriggerLibControl, 1); // its cancel button
      Set(plug, *editor, kTriggerLibControl, 0);
      plug.SetParamInEditor(kMultiPartBank, 0);
      plug.SetParamInEditor(kMultiPartPatch, 0);
    }
    if (!written)
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
  IGraphics::SetLogSink(KeepMissingImages);
  bool ok = true;
  for (int scheme = 0; scheme < 2 && ok; ++scheme)
    for (int size = UISettings::kSmall; size <= UISettings::kLarge && ok; ++size)
      ok = Shoot(data / kSchemeNames[scheme] / kSizeNames[size], scheme, size,
                 out / kSchemeNames[scheme] / kSizeNames[size]);
  std::filesystem::remove_all(data, ec);
  return ok ? 0 : 1;
}
