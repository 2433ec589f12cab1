// The editor's views, end to end: the built plug-in in the test host with its editor on the X
// display, talking over a JACK server to the simulated synthesizer. What the pages should show is
// drawn by the reference editor (tests/support/EndToEndRig.h) in the same state, never written
// down here. Run under scripts/with-jack and scripts/with-xvfb.
#include "config/ConfigReader.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndCase.h"
#include "tests/support/EndToEndRig.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
class EditorViewEndToEnd : public ::testing::Test, protected EndToEndCase
{
protected:
  // Part 4 listens on a channel of its own, apart from part 1's and the global one.
  static constexpr int kPart = 3;
  static constexpr int kPartChannel = 9;
  static constexpr int kGlobalChannel = 3; // also the simulator's device id
  static constexpr int kPart1Detune = 10;
  static constexpr int kPart4Detune = 60;

  void SetUp() override
  {
    if (!std::getenv("JACK_DEFAULT_SERVER") && !EndToEndEnvIsOne("VELK_REQUIRE_JACK"))
      GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
    if (!HaveDisplay())
    {
      if (EndToEndEnvIsOne("VELK_REQUIRE_DISPLAY")) FAIL() << "no X display, and VELK_REQUIRE_DISPLAY=1";
      GTEST_SKIP() << "no X display; run under scripts/with-xvfb";
    }
    ASSERT_TRUE(Start("velk-e2e-view", kGlobalChannel, 29)) << "the simulated synthesizer did not start";
    reference = ReferenceEditor::Get();
    ASSERT_NE(reference, nullptr) << "the reference editor could not be built";
    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, kBlock));
    editor = std::make_unique<EditorOnScreen>(host, kBlock);
    ASSERT_TRUE(editor->Open()) << "the editor did not open on the display (or XTest is missing)";

    // The project as the user left it: talking to the simulator, part 1 on channel 1, part 4 on
    // channel 10, each with a detune of its own, on the oscillator page.
    ProgramChunk chunk;
    ASSERT_TRUE(ChunkWithPorts(host, simIn, simOut, chunk));
    for (const auto& [index, value] : Project())
      chunk.SetValue(index, value);
    ASSERT_GE(chunk.tail.size(), 4u);
    chunk.tail[0] = kGlobalChannel;
    ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
    for (const auto& [index, value] : Project())
      reference->Plug().SetParamInEditor(index, value);
    SelectInReference(0);
    ASSERT_TRUE(editor->PumpUntil([&] { return StatusShows("Plug-in is ready to go!"); }, 30s))
        << "the handshake did not find the synthesizer";
  }

  void TearDown() override
  {
    CloseEditorAndPlugin(editor, host);
    Finish();
    // The reference is shared by the process's cases: back to part 1 and the first values.
    if (reference)
    {
      reference->Plug().SetParamInEditor(kFXRoutingConfig, 0);
      reference->Plug().HandleParameterChange(kFXRoutingConfig);
      SelectInReference(0);
    }
  }

  static std::vector<std::pair<int, double>> Project()
  {
    std::vector<std::pair<int, double>> values = {{kMIDIFilterDirectToHardware, 1.0},
                                                  {kMIDIFilterToDAWBuffer, 0.0},
                                                  {kGlobalMidiChannel, double(kGlobalChannel)},
                                                  {kMainTab, 2.0},
                                                  {kQuickTab, 0.0},
                                                  {kOscillator1Detune, double(kPart1Detune)},
                                                  {kOscillator1Detune + kPart, double(kPart4Detune)}};
    for (int part = 0; part < kPartCount; ++part)
      values.push_back({kMultiPartMIDICh + part, double(part == kPart ? kPartChannel : part)});
    return values;
  }

  void SelectInReference(int part)
  {
    reference->Plug().SetParamInEditor(kQuickTab, part);
    reference->Plug().HandleParameterChange(kQuickTab);
  }

  bool StatusShows(const std::string& text)
  {
    IRectangle rect;
    std::vector<uint32_t> expected;
    return reference->StatusLine(text, mainTab, rect, expected) && editor->Shows(rect, expected);
  }

  // What the reference editor shows in the rectangle, in the state it is in.
  std::vector<uint32_t> ReferenceShows(const IRectangle& rect)
  {
    IGraphics* g = reference->Graphics();
    const IRectangle all(0, 0, g->Width(), g->Height());
    g->DrawDirty(&all);
    std::vector<uint32_t> pixels;
    for (int y = rect.T; y < rect.B; ++y)
      for (int x = rect.L; x < rect.R; ++x)
        pixels.push_back(g->DrawBitmapSurface()->Row(y)[x] & 0xFFFFFF);
    return pixels;
  }

  void ShowPage(int tab)
  {
    IRectangle button;
    ASSERT_TRUE(reference->RadioButton(kMainTab, tab, button));
    editor->Click(button);
    reference->ShowTab(tab);
    mainTab = tab;
  }

  // The shown control of the parameter in the reference (null when none shows).
  const IControl* Shown(int paramIdx)
  {
    for (const IControl* c : reference->ControlsOf(paramIdx))
      if (!c->IsHidden()) return c;
    return nullptr;
  }

  double ValueNow(int index)
  {
    ProgramChunk now;
    return now.Parse(host.GetChunk(false)) ? now.Value(index) : -1.0;
  }

  void SimSends(const std::string& message)
  {
    sim.WriteLine("SEND " + message);
    ASSERT_EQ(sim.ReadLine(), "OK");
  }

  // The detune knob is turned; answers the status byte its controller went out with.
  std::string TurnDetune(const IControl* knob)
  {
    const size_t from = SimHeard().size();
    editor->Drag(CentreX(knob->Rect()), CentreY(knob->Rect()), 40);
    std::string status;
    editor->PumpUntil([&] { return !(status = ControllerHeard(11, from)).empty(); }, 10s);
    return status;
  }

  // The page shows part 4's detune knob with part 4's value, which differs from part 1's knob.
  void ExpectPart4sKnob(const IControl* knob)
  {
    const std::vector<uint32_t> part4 = ReferenceShows(knob->Rect());
    SelectInReference(0);
    const std::vector<uint32_t> part1 = ReferenceShows(knob->Rect());
    SelectInReference(kPart);
    ASSERT_NE(part4, part1) << "part 1's and part 4's knobs look alike: the case proves nothing";
    EXPECT_TRUE(editor->PumpUntil([&] { return editor->Shows(knob->Rect(), part4); }, 10s))
        << "the page does not show part 4's detune";
  }

  static constexpr int kBlock = 256;
  vsthost::VstHost host;
  ReferenceEditor* reference = nullptr;
  std::unique_ptr<EditorOnScreen> editor;
  int mainTab = 2;
};

std::string StatusOn(int channel)
{
  char text[3];
  std::snprintf(text, sizeof text, "B%X", channel);
  return text;
}
} // namespace

// Part 4 chosen with the part buttons: the oscillator page shows part 4's knob with its value, and
// turning it sends on part 4's channel and changes part 4's detune only.
TEST_F(EditorViewEndToEnd, ChoosingPart4ShowsAndTurnsPart4sControls)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(2));
  IRectangle part4;
  ASSERT_TRUE(reference->RadioButton(kQuickTab, kPart, part4));
  editor->Click(part4);
  ASSERT_TRUE(editor->PumpUntil([&] { return ValueNow(kQuickTab) == kPart; }, 10s)) << "part 4 not chosen";
  SelectInReference(kPart);
  const IControl* knob = Shown(kOscillator1Detune + kPart);
  ASSERT_NE(knob, nullptr) << "the reference shows no detune knob of part 4";
  EXPECT_EQ(Shown(kOscillator1Detune), nullptr) << "part 1's knob still shows in the reference";
  ASSERT_NO_FATAL_FAILURE(ExpectPart4sKnob(knob));

  EXPECT_EQ(TurnDetune(knob), StatusOn(kPartChannel)) << "the controller did not go out on part 4's channel";
  EXPECT_TRUE(editor->PumpUntil([&] { return ValueNow(kOscillator1Detune + kPart) > kPart4Detune; }, 10s));
  EXPECT_EQ(ValueNow(kOscillator1Detune), kPart1Detune) << "part 1's detune changed";
  // The display names the knob that moved.
  const std::string name = reference->Plug().ParameterAt(kOscillator1Detune + kPart)->Name();
  EXPECT_TRUE(editor->PumpUntil([&] { return StatusShows(name); }, 10s))
      << "the display does not show " << name;
}

// The synthesizer selects part 4 (its part-select NRPN on the global channel): the editor's pages
// follow as they do for the part buttons.
TEST_F(EditorViewEndToEnd, APartSelectedOnTheSynthesizerSwitchesTheView)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(2));
  const std::string global = StatusOn(kGlobalChannel);
  ASSERT_NO_FATAL_FAILURE(SimSends(global + " 62 71"));
  char select[16];
  std::snprintf(select, sizeof select, " 06 %02X", 76 + kPart);
  ASSERT_NO_FATAL_FAILURE(SimSends(global + select));
  ASSERT_TRUE(editor->PumpUntil([&] { return ValueNow(kQuickTab) == kPart; }, 10s))
      << "the part selection did not arrive";
  SelectInReference(kPart);
  const IControl* knob = Shown(kOscillator1Detune + kPart);
  ASSERT_NE(knob, nullptr);
  ASSERT_NO_FATAL_FAILURE(ExpectPart4sKnob(knob));
  EXPECT_EQ(TurnDetune(knob), StatusOn(kPartChannel));
  EXPECT_EQ(ValueNow(kOscillator1Detune), kPart1Detune) << "part 1's detune changed";
}

// A routing chosen in the routing menu shows that routing's picture in the routing section.
TEST_F(EditorViewEndToEnd, TheRoutingPictureFollowsTheRoutingValue)
{
  constexpr int kRouting = 5;
  ASSERT_NO_FATAL_FAILURE(ShowPage(5));
  const IControl* menu = Shown(kFXRoutingConfig);
  ASSERT_NE(menu, nullptr);
  LayerGroup* routing = reference->Plug().Config()->GetLayer("fxRouting0");
  ASSERT_TRUE(routing && routing->NumControls() > 0);
  const IRectangle picture = routing->GetControl(0)->Rect(); // every routing's picture lies here
  const std::vector<uint32_t> first = ReferenceShows(picture);
  EXPECT_TRUE(editor->PumpUntil([&] { return editor->Shows(picture, first); }, 10s))
      << "the first routing's picture does not show";

  std::vector<const char*> keys(kRouting + 1, "Down");
  keys.push_back("Return");
  bool chosen = false;
  for (int attempt = 0; attempt < 3 && !chosen; ++attempt)
    chosen = editor->ChooseFromMenu(menu->Rect(), keys) &&
             editor->PumpUntil([&] { return ValueNow(kFXRoutingConfig) == kRouting; }, 5s);
  ASSERT_TRUE(chosen) << "routing " << kRouting << " not chosen";
  reference->Plug().SetParamInEditor(kFXRoutingConfig, kRouting);
  reference->Plug().HandleParameterChange(kFXRoutingConfig);
  const std::vector<uint32_t> chosenPicture = ReferenceShows(picture);
  ASSERT_NE(chosenPicture, first);
  EXPECT_TRUE(editor->PumpUntil([&] { return editor->Shows(picture, chosenPicture); }, 10s))
      << "the page does not show routing " << kRouting << "'s picture";
}
