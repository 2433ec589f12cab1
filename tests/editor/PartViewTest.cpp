// The chosen part's panels on every sound page, the sections a value chooses, and the value display,
// in the editor the documents build.
#include "config/ConfigReader.h"
#include "editor/PartView.h"
#include "editor/VELK.h"
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
void Collect(LayerGroup* group, int paramIdx, std::vector<IControl*>& out)
{
  if (!group) return;
  for (int i = 0; i < group->NumControls(); ++i)
    if (group->GetControl(i)->ParamIdx() == paramIdx) out.push_back(group->GetControl(i));
  for (int i = 0; i < group->NumChildren(); ++i)
    Collect(group->GetChild(i), paramIdx, out);
}

// The shown controls of a parameter.
std::vector<IControl*> Shown(VELK& plug, int paramIdx)
{
  std::vector<IControl*> all, shown;
  IGraphics* g = EditorOf(plug);
  for (int i = 0; i < g->NumLayerGroups(); ++i)
    Collect(g->GetLayerGroup(i), paramIdx, all);
  for (IControl* c : all)
    if (!c->IsHidden()) shown.push_back(c);
  return shown;
}

// The control a click at the centre of the parameter's (first) control reaches.
IControl* UnderControlOf(VELK& plug, int paramIdx)
{
  std::vector<IControl*> all;
  IGraphics* g = EditorOf(plug);
  for (int i = 0; i < g->NumLayerGroups(); ++i)
    Collect(g->GetLayerGroup(i), paramIdx, all);
  if (all.empty()) return nullptr;
  const IRectangle& r = all.front()->Rect();
  return g->FindControlAt((r.L + r.R) / 2, (r.T + r.B) / 2);
}
} // namespace

// Part 4 chosen with the part buttons, and then part 6 by the synthesizer (the secondary handler):
// on every sound page the part's controls show, with the part's value, and a click reaches them;
// the pages' own layers (the single vocoder section, the tempo) stay.
TEST(PartView, EverySoundPageShowsTheChosenPartsControls)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  ConfigReader* config = plug->Config();
  ASSERT_NE(config, nullptr);
  // One control of each sound page, and the page (main tab) it is on.
  const std::vector<std::pair<int, int>> pageControls = {
      {2, kOscillator1Detune}, {3, kEnv1Attack},    {4, kLFO1Speed}, {5, kFXDistortionOverdrive},
      {6, kFXMultiChorusSend}, {7, kVocoderInsert}, {8, kArpGate}};
  for (auto [tab, param] : pageControls)
  {
    Change(*plug, kMainTab, tab);
    ASSERT_EQ(Shown(*plug, param).size(), 1u) << "tab " << tab << " parameter " << param;
    EXPECT_EQ(UnderControlOf(*plug, param), Shown(*plug, param).front());
  }

  Change(*plug, kQuickTab, 3);
  EXPECT_EQ(plug->selectedPart.load(), 3);
  for (auto [tab, param] : pageControls)
  {
    Change(*plug, kMainTab, tab);
    EXPECT_TRUE(Shown(*plug, param).empty()) << "part 1's control still shows on tab " << tab;
    ASSERT_EQ(Shown(*plug, param + 3).size(), 1u) << "tab " << tab << " parameter " << param;
    EXPECT_EQ(UnderControlOf(*plug, param), Shown(*plug, param + 3).front()) << "tab " << tab;
  }
  LayerGroup *vocoder = config->GetLayer("vocoderLayer"), *tempo = config->GetLayer("arpTempoLayer");
  ASSERT_TRUE(vocoder && tempo);
  EXPECT_FALSE(vocoder->IsVisible());
  Change(*plug, kMainTab, 7);
  EXPECT_TRUE(vocoder->IsVisible());
  EXPECT_TRUE(config->GetLayer("multiVocoderLayer")->IsVisible());
  Change(*plug, kMainTab, 8);
  EXPECT_TRUE(tempo->IsVisible());

  // The knob of part 4 shows part 4's value, part 1's its own.
  Change(*plug, kMainTab, 2);
  plug->SetParamInEditor(kOscillator1Detune, 10);
  plug->SetParamInEditor(kOscillator1Detune + 3, 100);
  IControl* knob = UnderControlOf(*plug, kOscillator1Detune);
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->ParamIdx(), kOscillator1Detune + 3);
  EXPECT_DOUBLE_EQ(knob->Value(), plug->ParamNormalised(kOscillator1Detune + 3));

  // Received from the synthesizer: the secondary handler re-lays the view.
  plug->SetParamInEditor(kQuickTab, 5);
  plug->HandleSecondaryParameterChange(kQuickTab);
  EXPECT_EQ(UnderControlOf(*plug, kOscillator1Detune)->ParamIdx(), kOscillator1Detune + 5);
  // The top bar's part panel (the part's program name) follows as well.
  EXPECT_EQ(Shown(*plug, kPatchName + 5).size(), 1u);
  EXPECT_TRUE(Shown(*plug, kPatchName).empty());

  // A performance received chooses its part in the editor (the parser sets kQuickTab, then the part's
  // texts are shown): the pages follow.
  plug->SetParamInEditor(kQuickTab, 2);
  plug->SetPartTexts("", "");
  EXPECT_EQ(UnderControlOf(*plug, kOscillator1Detune)->ParamIdx(), kOscillator1Detune + 2);

  // A project recalled on the oscillator page with part 8 chosen opens there, on part 8.
  IStateChunk chunk;
  plug->ParameterAt(kQuickTab)->SetClamped(7);
  ASSERT_TRUE(plug->WriteStateChunk(&chunk));
  auto other = MakePlug();
  ASSERT_TRUE(other->Config()->GetLayer("multiPage")->IsVisible());
  ASSERT_GT(other->ReadStateChunk(&chunk, 0), 0);
  EXPECT_FALSE(other->Config()->GetLayer("multiPage")->IsVisible());
  EXPECT_TRUE(other->Config()->GetLayer("oscillatorsPage")->IsVisible());
  ASSERT_NE(UnderControlOf(*other, kOscillator1Detune), nullptr);
  EXPECT_EQ(UnderControlOf(*other, kOscillator1Detune)->ParamIdx(), kOscillator1Detune + 7);
}

// Each part's routing diagram shows the routing value, chosen in the editor or received; a
// routing chosen for a part whose page is not shown shows nothing until the page shows.
TEST(PartView, TheRoutingDiagramFollowsTheRoutingValue)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  ConfigReader* config = plug->Config();
  LayerGroup* panel1 = config->GetLayer("effects2Panel1");
  LayerGroup* panel2 = config->GetLayer("effects2Panel2");
  ASSERT_TRUE(panel1 && panel2);
  auto diagram = [](LayerGroup* panel) -> int
  {
    // The one shown picture of the panel's routing layer; -1 for none, -2 for more than one.
    for (int i = 0; i < panel->NumChildren(); ++i)
      if (std::string(panel->GetChild(i)->Name()).rfind("fxRouting", 0) == 0)
      {
        LayerGroup* routing = panel->GetChild(i);
        int shown = -1;
        for (int j = 0; j < routing->NumChildren(); ++j)
          if (routing->GetChild(j)->IsVisible()) shown = shown == -1 ? int(routing->GetChild(j)->Id()) : -2;
        return shown;
      }
    return -3;
  };

  Change(*plug, kQuickTab, 1);
  Change(*plug, kMainTab, 5);
  EXPECT_EQ(diagram(panel1), 0);
  Change(*plug, kFXRoutingConfig + 1, 6);
  EXPECT_EQ(diagram(panel1), 6);
  // Received (a controller or a dump sets the value in the editor).
  plug->SetParamInEditor(kFXRoutingConfig + 1, 11);
  EXPECT_EQ(diagram(panel1), 11);
  // Another part's routing, while part 2's page shows: nothing of part 3 shows.
  plug->SetParamInEditor(kFXRoutingConfig + 2, 4);
  EXPECT_EQ(diagram(panel2), -1);
  EXPECT_EQ(diagram(panel1), 11);
  Change(*plug, kQuickTab, 2);
  EXPECT_EQ(diagram(panel2), 4);
  EXPECT_EQ(diagram(panel1), -1);
  // The part's multi effects page has its own diagram.
  Change(*plug, kMainTab, 6);
  plug->SetParamInEditor(kFXMultiRoutingConfig + 2, 18);
  EXPECT_EQ(diagram(config->GetLayer("multiFxPanel2")), 18);
  EXPECT_EQ(diagram(panel2), -1);
}

// The librarian page's menus and search fields follow their values, and are back as they were
// when the page shows again; the page's own layer stays. The part column shows the model's mixer.
TEST(PartView, TheLibrarianSectionsAndTheModelsMixerFollowTheirValues)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  ConfigReader* config = plug->Config();
  LayerGroup *search = config->GetLayer("searchField"), *category = config->GetLayer("categoryLimit"),
             *keep = config->GetLayer("keepBankOpenLayer"), *programs = config->GetLayer("UPPERPOPUPMENU"),
             *performances = config->GetLayer("LeftPerformancePopupMenu");
  ASSERT_TRUE(search && category && keep && programs && performances);
  Change(*plug, kMainTab, 1);
  EXPECT_TRUE(category->IsVisible());
  EXPECT_FALSE(search->IsVisible());
  EXPECT_TRUE(programs->IsVisible());
  EXPECT_TRUE(keep->IsVisible());
  Change(*plug, kPatchSearch, 1);
  Change(*plug, kDatatype, 1);
  EXPECT_TRUE(search->IsVisible());
  EXPECT_FALSE(category->IsVisible());
  EXPECT_TRUE(performances->IsVisible());
  EXPECT_FALSE(programs->IsVisible());
  EXPECT_TRUE(keep->IsVisible());
  Change(*plug, kMainTab, 2);
  EXPECT_FALSE(search->IsVisible());
  EXPECT_FALSE(keep->IsVisible());
  Change(*plug, kMainTab, 1);
  EXPECT_TRUE(search->IsVisible());
  EXPECT_FALSE(category->IsVisible());
  EXPECT_TRUE(performances->IsVisible());
  EXPECT_TRUE(keep->IsVisible());
  // The six-part model has a mixer row per part of its own in the part column.
  LayerGroup *eight = config->GetLayer("miniMixer"), *six = config->GetLayer("miniMixer2");
  ASSERT_TRUE(eight && six);
  EXPECT_TRUE(eight->IsVisible());
  EXPECT_FALSE(six->IsVisible());
  Change(*plug, kCurrentModel, 2);
  EXPECT_FALSE(eight->IsVisible());
  EXPECT_TRUE(six->IsVisible());
  Change(*plug, kCurrentModel, 1);
  EXPECT_TRUE(eight->IsVisible());
  EXPECT_FALSE(six->IsVisible());

  // Changed while the page is hidden: taken up when it shows.
  Change(*plug, kMainTab, 2);
  Change(*plug, kPatchSearch, 0);
  EXPECT_FALSE(category->IsVisible());
  Change(*plug, kMainTab, 1);
  EXPECT_TRUE(category->IsVisible());
  EXPECT_FALSE(search->IsVisible());
}

// A control that moves shows its name, value text and controller, moved in the editor or by the
// synthesizer; the editor's own page parameters leave the fields alone.
TEST(PartView, TheDisplayShowsTheMovedControlsNameValueAndController)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  // A setting that travels on no message: its name, its value, no controller.
  IParameter* gate = plug->ParameterAt(kArpGate + 3);
  const std::string name = gate->Name();
  EXPECT_FALSE(name.empty());
  plug->SetMidiDisplayText("CC|99");
  Change(*plug, kArpGate + 3, 77);
  EXPECT_EQ(plug->StatusText(), name);
  EXPECT_EQ(plug->ValueDisplayText(), "77");
  EXPECT_EQ(plug->MidiDisplayText(), "");

  // A controller: its number; with no output chosen the status line says so instead of the name.
  Change(*plug, kOscillator1Detune + 3, 64);
  EXPECT_EQ(plug->ValueDisplayText(), "64");
  EXPECT_EQ(plug->MidiDisplayText(),
            "CC|" + std::to_string(plug->ParameterAt(kOscillator1Detune + 3)->MidiMap()->ccNumber));
  EXPECT_EQ(plug->StatusText(), "Set MIDI I/O First!");

  // Moved by the synthesizer (the secondary handler): a value with a text of its own shows that
  // text; an NRPN shows its pair.
  IParameter* octave = plug->ParameterAt(kOscillator1Octave);
  octave->SetClamped(2);
  plug->HandleSecondaryParameterChange(kOscillator1Octave);
  const char* text = octave->ValueText(2);
  EXPECT_EQ(plug->ValueDisplayText(), text && *text ? std::string(text) : "2");
  EXPECT_EQ(plug->MidiDisplayText(), "MSB/LSB");

  // While the host's tempo rules, the tempo sends nothing, and its controller is not shown.
  Change(*plug, kOverrideTempo, 1);
  plug->SetMidiDisplayText("CC|99");
  Change(*plug, kGlobalTempo, 50);
  EXPECT_FALSE(plug->ValueDisplayText().empty());
  EXPECT_EQ(plug->MidiDisplayText(), "CC|99");

  Change(*plug, kArpGate + 3, 5);
  Change(*plug, kMainTab, 3);
  Change(*plug, kQuickTab, 2);
  EXPECT_EQ(plug->ValueDisplayText(), "5");
  EXPECT_EQ(plug->MidiDisplayText(), "");
}
