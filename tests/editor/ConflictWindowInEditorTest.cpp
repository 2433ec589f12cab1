// The conflict window of the real editor: it names the part that already plays the program, its
// buttons are hit inside it, and a page or part changed meanwhile closes it.
#include "config/ConfigReader.h"
#include "editor/ConflictWindow.h"
#include "editor/VELK.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/graphics/LayerGroup.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "platform/window/HeadlessWindow.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

namespace
{
using Bytes = std::vector<uint8_t>;

bool HasMessage(const std::vector<Bytes>& sent, const Bytes& message)
{
  for (const Bytes& m : sent)
    if (m == message) return true;
  return false;
}

std::string LineText(const ConflictWindow& window)
{
  char text[128] = {};
  if (window.Line()) window.Line()->GetText(text, sizeof text);
  return text;
}
} // namespace

TEST(ConflictWindowInEditor, ItNamesThePartAndClosesWhenAPageOrPartIsChosen)
{
  TempDataFolder folder;
  constexpr const char* kSynth = "Conflict Window Synth";
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort(kSynth);
  auto plug = MakePlug();
  auto* editor = dynamic_cast<IGraphicsWin*>(plug->Editor());
  ASSERT_NE(editor, nullptr);
  auto window = std::make_unique<HeadlessWindow>();
  HeadlessWindow* w = window.get();
  editor->SetPlatformWindow(std::move(window));
  ASSERT_TRUE(editor->CreateEditorWindow(reinterpret_cast<void*>(uintptr_t(0x7300))));
  plug->OnEditorOpened();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  int port = 1;
  ASSERT_EQ(plug->MidiPorts().SelectMidiOutputPort(port, kSynth), 1);
  plug->midiOutputReady = 1;
  for (int part = 0; part < kPartCount; ++part)
  {
    plug->SetParamInEditor(kMultiPartMIDICh + part, part);
    plug->SetParamInEditor(kMultiPartStatus + part, part == 1 ? 1 : 0);
  }
  w->Pump();

  const ConflictWindow& conflict = plug->Conflict();
  LayerGroup* layer = plug->Config()->GetLayer(ConflictWindow::kLayerName);
  ASSERT_NE(layer, nullptr);
  EXPECT_FALSE(conflict.IsOpen());
  IControl *send = nullptr, *cancel = nullptr;
  for (int i = 0; i < layer->NumControls(); ++i)
  {
    IControl* c = layer->GetControl(i);
    if (c->ParamIdx() == kTriggerProgControl) send = c;
    if (c->ParamIdx() == kTriggerLibControl) cancel = c;
  }
  ASSERT_NE(send, nullptr) << "the window has no button that sends anyway";
  ASSERT_NE(cancel, nullptr) << "the window has no button that cancels";
  const IRectangle box = layer->GetControl(0)->Rect();
  auto click = [&](const IRectangle& r, uint32_t time)
  {
    w->InjectPress((r.L + r.R) / 2, (r.T + r.B) / 2, kWindowButtonLeft, time);
    w->InjectRelease((r.L + r.R) / 2, (r.T + r.B) / 2, kWindowButtonLeft);
    w->Pump();
  };
  // The part's bank and program chosen, as the mixer's menus do; the idle call selects them.
  auto choose = [&](int part, int bank, int program)
  {
    Change(*plug, kMultiPartBank + part, bank);
    Change(*plug, kMultiPartPatch + part, program);
    plug->OnEditorIdle();
    w->Pump();
  };

  // Part 2 plays C-010; part 1 chooses it too: the window names part 2 and nothing goes out.
  choose(1, 2, 9);
  ASSERT_TRUE(HasMessage(backend->Received(kSynth), Bytes{0xC1, 9}));
  backend->ClearReceived(kSynth);
  choose(0, 2, 9);
  ASSERT_TRUE(conflict.IsOpen());
  EXPECT_EQ(LineText(conflict), "Part 2 already plays bank C, program 010.");
  EXPECT_FALSE(send->IsHidden());
  EXPECT_TRUE(backend->Received(kSynth).empty());
  // Its buttons lie inside it, and a click on the rest of it does nothing.
  EXPECT_TRUE(box.Contains(send->Rect().L, send->Rect().T) &&
              box.Contains(cancel->Rect().R - 1, cancel->Rect().B - 1));
  click(IRectangle(box.L + 10, box.T + 40, box.L + 20, box.T + 50), 1000);
  EXPECT_TRUE(conflict.IsOpen());

  // A page or a part chosen meanwhile closes it as its cancel button does (the buttons themselves:
  // SlotAndConflictEndToEndTest); nothing goes out.
  Change(*plug, kMainTab, 9);
  EXPECT_FALSE(conflict.IsOpen());
  EXPECT_EQ(plug->conflictPart.load(), -1);
  choose(0, 2, 8);
  choose(0, 2, 9);
  ASSERT_TRUE(conflict.IsOpen());
  Change(*plug, kQuickTab, 2);
  EXPECT_FALSE(conflict.IsOpen());
  plug->OnEditorIdle();
  EXPECT_FALSE(HasMessage(backend->Received(kSynth), Bytes{0xC0, 9}));
  editor->DestroyEditorWindow();
}
