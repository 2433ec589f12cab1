#include "gfx/Gfx_SysBitmap.h"
#include "tests/editor/EditorTestSupport.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// What the whole editor shows, drawn off screen. The status line says what happened last, which
// differs with the history: it is given one text.
std::vector<uint32_t> WholePicture(VELK& plug)
{
  IGraphics* g = EditorOf(plug);
  if (!g) return {};
  plug.SetStatusText("recalled");
  g->CreateDrawBitmaps();
  IRectangle all(0, 0, g->Width(), g->Height());
  g->DrawDirty(&all);
  std::vector<uint32_t> pixels;
  for (int y = 0; y < g->Height(); ++y)
    for (int x = 0; x < g->Width(); ++x)
      pixels.push_back(g->DrawBitmapSurface()->Row(y)[x] & 0xFFFFFF);
  return pixels;
}

std::vector<uint8_t> ProgramChunkOf(VELK& plug)
{
  void* data = nullptr;
  AEffect* effect = plug.Effect();
  const VstIntPtr size = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

// The host's recall of a project into the plug-in (1 when taken).
VstIntPtr Recall(VELK& plug, std::vector<uint8_t>& chunk)
{
  AEffect* effect = plug.Effect();
  return effect->dispatcher(effect, effSetChunk, 0, VstIntPtr(chunk.size()), chunk.data(), 0.0f);
}

size_t DifferingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
  if (a.size() != b.size()) return a.size() + b.size();
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i)
    n += a[i] != b[i];
  return n;
}
} // namespace

// The editor as a user leaves it: every tab visited, the MIDI filter window, a part's settings
// window and the six-part mixer opened, part 4 chosen, the six-part model chosen last.
void UseEveryPage(VELK& plug)
{
  WholePicture(plug);
  for (int tab = 0; tab <= 9; ++tab)
  {
    Change(plug, kMainTab, tab);
    WholePicture(plug);
  }
  Change(plug, kMainTab, 0);
  Change(plug, kMultiPartSettings + 2, 1);
  WholePicture(plug);
  Change(plug, kViewMIDIFilterSettings, 1);
  Change(plug, kQuickTab, 3);
  Change(plug, kMultiSettings, 2);
  WholePicture(plug);
  Change(plug, kCurrentModel, 2);
  WholePicture(plug);
}

struct SavedView
{
  int tab;
  int part;
  int multiView;
  int gearOpen;  // the part whose settings window the project left open, or -1
  int model = 0; // kCurrentModel
};

// A recalled project shows the same editor whatever the editor showed before, also when the same
// project is recalled again (a recall re-selects every page): pages, views and windows opened since
// leave nothing of theirs, and the part settings window is open or closed as the project left it.
TEST(RecallPicture, ARecalledProjectLooksTheSameWhateverWasShownBefore)
{
  TempDataFolder folder;
  for (const SavedView view :
       {SavedView{0, 5, 1, -1}, SavedView{0, 1, 0, 6}, SavedView{2, 5, 0, -1}, SavedView{0, 2, 0, -1, 1},
        SavedView{1, 2, 0, -1, 2}, SavedView{9, 7, 2, 3, 1}})
  {
    SCOPED_TRACE("tab " + std::to_string(view.tab) + ", gear " + std::to_string(view.gearOpen));
    std::vector<uint8_t> project;
    {
      auto saved = MakePlug();
      Change(*saved, kCurrentModel, view.model);
      Change(*saved, kMainTab, view.tab);
      Change(*saved, kQuickTab, view.part);
      Change(*saved, kMultiSettings, view.multiView);
      if (view.gearOpen >= 0) Change(*saved, kMultiPartSettings + view.gearOpen, 1);
      project = ProgramChunkOf(*saved);
    }
    ASSERT_FALSE(project.empty());

    auto fresh = MakePlug();
    ASSERT_EQ(Recall(*fresh, project), 1);
    const std::vector<uint32_t> expected = WholePicture(*fresh);
    ASSERT_FALSE(expected.empty());

    auto used = MakePlug();
    UseEveryPage(*used);
    ASSERT_GT(DifferingPixels(WholePicture(*used), expected), 0u)
        << "the editor already showed the project: the case proves nothing";
    for (int recall = 0; recall < 3; ++recall)
    {
      SCOPED_TRACE(recall);
      ASSERT_EQ(Recall(*used, project), 1);
      EXPECT_EQ(DifferingPixels(WholePicture(*used), expected), 0u);
    }

    // Away through the tabs, then the project again.
    UseEveryPage(*used);
    ASSERT_EQ(Recall(*used, project), 1);
    EXPECT_EQ(DifferingPixels(WholePicture(*used), expected), 0u);
  }
}

namespace
{
void CollectBound(const LayerGroup* group, int paramIdx, std::vector<IControl*>& out)
{
  for (int i = 0; i < group->NumControls(); ++i)
    if (group->GetControl(i)->ParamIdx() == paramIdx) out.push_back(group->GetControl(i));
  for (int i = 0; i < group->NumChildren(); ++i)
    CollectBound(group->GetChild(i), paramIdx, out);
}

std::vector<IControl*> ControlsBoundTo(VELK& plug, int paramIdx)
{
  std::vector<IControl*> out;
  IGraphics* g = EditorOf(plug);
  for (int i = 0; g && i < g->NumControls(); ++i)
    if (g->GetControl(i)->ParamIdx() == paramIdx) out.push_back(g->GetControl(i));
  for (int i = 0; g && i < g->NumLayerGroups(); ++i)
    CollectBound(g->GetLayerGroup(i), paramIdx, out);
  return out;
}
} // namespace

// A project saved with both MIDI routes on (they exclude each other) comes back with the route to
// the DAW buffer only, and the other route's switch shows it off: the recall turns it off after
// setting it on, and the switch must end as the value does.
TEST(RecallPicture, AProjectWithBothRoutesOnShowsTheOneKeptOnTheSwitches)
{
  TempDataFolder folder;
  std::vector<uint8_t> project;
  {
    auto saved = MakePlug();
    saved->ParameterAt(kMIDIFilterToDAWBuffer)->SetClamped(1);
    saved->ParameterAt(kMIDIFilterDirectToHardware)->SetClamped(1);
    project = ProgramChunkOf(*saved);
  }
  ASSERT_FALSE(project.empty());

  auto plug = MakePlug();
  const std::vector<IControl*> direct = ControlsBoundTo(*plug, kMIDIFilterDirectToHardware);
  const std::vector<IControl*> toDaw = ControlsBoundTo(*plug, kMIDIFilterToDAWBuffer);
  ASSERT_FALSE(direct.empty());
  ASSERT_FALSE(toDaw.empty());
  for (int recall = 0; recall < 2; ++recall)
  {
    SCOPED_TRACE(recall);
    ASSERT_EQ(Recall(*plug, project), 1);
    EXPECT_EQ(plug->ParamValue(kMIDIFilterToDAWBuffer), 1.0);
    EXPECT_EQ(plug->ParamValue(kMIDIFilterDirectToHardware), 0.0);
    EXPECT_EQ(plug->queueShortMidi.load(), 1);
    for (IControl* c : direct)
      EXPECT_EQ(c->Value(), 0.0);
    for (IControl* c : toDaw)
      EXPECT_EQ(c->Value(), 1.0);
    // Away from the project: both off, as a fresh editor has them.
    Change(*plug, kMIDIFilterToDAWBuffer, 0);
    Change(*plug, kMIDIFilterDirectToHardware, 0);
  }
}
