#include "editor/VELK.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "platform/window/HeadlessWindow.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/incoming/RoundTripSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

void CollectControls(LayerGroup* group, std::vector<IControl*>& out)
{
  for (int i = 0; i < group->NumControls(); ++i)
    out.push_back(group->GetControl(i));
  for (int i = 0; i < group->NumChildren(); ++i)
    CollectControls(group->GetChild(i), out);
}

std::vector<IControl*> AllControls(IGraphics& editor)
{
  std::vector<IControl*> controls;
  for (int i = 0; i < editor.NumControls(); ++i)
    controls.push_back(editor.GetControl(i));
  for (int i = 0; i < editor.NumLayerGroups(); ++i)
    CollectControls(editor.GetLayerGroup(i), controls);
  return controls;
}
} // namespace

// The plug-in as a host gets it, its editor open on the headless window, its output on a loopback
// port: every control bound to a controller or an NRPN is turned to its minimum and its maximum
// as a mouse turns it (value, then a redraw that pushes it to the plug-in), so the parameter's
// own record makes the message; the message, fed back as the synthesizer's, sets the same
// parameter to the same value, except the values that cannot come back.
TEST(EditorRoundTrip, EveryBoundControlFromMinimumToMaximumDecodesBackToItsParameter)
{
  TempDataFolder folder;
  constexpr const char* kSynth = "Editor Round Trip Synth";
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort(kSynth);
  auto plug = std::make_unique<VELK>(nullptr);
  auto* editor = dynamic_cast<IGraphicsWin*>(plug->Editor());
  ASSERT_NE(editor, nullptr);
  auto window = std::make_unique<HeadlessWindow>();
  HeadlessWindow* w = window.get();
  editor->SetPlatformWindow(std::move(window));
  ASSERT_TRUE(editor->CreateEditorWindow(reinterpret_cast<void*>(uintptr_t(0x7100))));
  plug->OnEditorOpened();
  w->Pump();

  // Parts on channels 1-8, the synthesizer's global channel 16, everything passed through.
  for (int part = 0; part < kPartCount; ++part)
    plug->SetParamInEditor(kMultiPartMIDICh + part, part);
  plug->SetParamInEditor(kGlobalMidiChannel, 15);
  for (auto& s : plug->passThrough)
    s = 1;
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  int port = 1;
  ASSERT_EQ(plug->MidiPorts().SelectMidiOutputPort(port, kSynth), 1);
  plug->midiOutputReady = 1;
  ASSERT_EQ(plug->editorReady.load(), 1);
  ASSERT_EQ(plug->connectPending.load(), 0);
  ASSERT_EQ(plug->queueShortMidi.load(), 0);

  auto feedBack = [&](const std::vector<Bytes>& messages)
  {
    for (const Bytes& b : messages)
    {
      IMidiMessage m;
      m.status = b[0];
      m.data1 = b.size() > 1 ? b[1] : 0;
      m.data2 = b.size() > 2 ? b[2] : 0;
      plug->HandleMidiMessage(&m, true);
    }
    backend->ClearReceived(kSynth); // what the synthesizer's side passed on
  };

  // What a mouse drag or the wheel does: the control's value, then a redraw that pushes it.
  auto turn = [](IControl* control, double value)
  {
    control->SetValue(value);
    control->RequestRedraw(true);
  };
  std::set<Miss> missed, expected;
  const std::set<Miss> unreturnable = EmbeddedUnreturnable();
  int turned = 0;
  for (IControl* control : AllControls(*editor))
  {
    const int index = control->ParamIdx();
    IParameter* param = control->Parameter();
    if (!param || !ShortMessageBound(param->MidiMap())) continue;
    SCOPED_TRACE(std::string(param->Name()) + " (" + std::to_string(index) + ")");
    const double original = param->Value();
    // A multi-mode effect is the one a part without its own effects shows.
    const bool multiEffect = index >= kFXMultiDistortionOverdrive && index < kMultiPartEffectsUsed;
    for (int part = 0; part < kPartCount; ++part)
      plug->SetParamInEditor(kMultiPartEffectsUsed + part, multiEffect ? 0 : 1);
    for (const double end : {0.0, 1.0})
    {
      const double x = end == 0.0 ? param->Min() : param->Max();
      const double other = end == 0.0 ? param->Max() : param->Min();
      // From the other end, as a user turns it: the synthesizer then holds what the editor shows.
      turn(control, 1.0 - end);
      backend->ClearReceived(kSynth);
      turn(control, end);
      ASSERT_EQ(param->Value(), x);
      const std::vector<Bytes> sent = backend->Received(kSynth);
      ASSERT_FALSE(sent.empty()) << "turned to " << x << ", the control sent nothing";
      for (const Bytes& m : sent)
        for (size_t i = 1; i < m.size(); ++i)
          EXPECT_LT(m[i], 0x80);
      plug->SetParamInEditor(index, other);
      feedBack(sent);
      ++turned;
      if (param->Value() != x) missed.insert({index, int(x)});
      if (unreturnable.count({index, int(x)})) expected.insert({index, int(x)});
    }
    plug->SetParamInEditor(index, original);
  }
  RecordProperty("controls_turned", turned / 2);
  EXPECT_GT(turned, 2 * 1000);
  EXPECT_EQ(missed, expected);
  // Every listed parameter has a control of its own in the editor, at both ends.
  EXPECT_EQ(expected.size(), size_t(3 * kPartCount * 2));
  plug->OnEditorClosing();
  editor->DestroyEditorWindow();
}
