#include "config/ConfigReader.h"
#include "framework/controls/IContactControl.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "framework/controls/ITextControl.h"
#include "editor/PatchManager.h"
#include "editor/VELK.h"
#include "framework/graphics/BitmapCache.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/editor/EditorTestSupport.h"

#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace
{
std::vector<uint8_t> Save(VELK& plug)
{
  IStateChunk chunk;
  EXPECT_TRUE(plug.WriteStateChunk(&chunk));
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

// A project that names the synthesizer's ports.
std::vector<uint8_t> StateNamingPorts(const char* output, const char* input)
{
  auto saver = MakePlug();
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiOutputName, output);
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiInputName, input);
  return Save(*saver);
}

int Recall(VELK& plug, const std::vector<uint8_t>& bytes)
{
  IStateChunk chunk;
  chunk.Assign(bytes.data(), int(bytes.size()));
  return plug.ReadStateChunk(&chunk, 0);
}

// An output client whose opening waits until the test opens the gate: a recall that selected
// ports itself, under the parameter lock, would hang there.
class GatedOutput : public MidiOutputClient
{
public:
  GatedOutput(std::unique_ptr<MidiOutputClient> inner, std::shared_future<void> gate)
      : mInner(std::move(inner)), mGate(std::move(gate))
  {
  }
  unsigned PortCount() override { return mInner->PortCount(); }
  bool PortName(unsigned port, std::string& name) override { return mInner->PortName(port, name); }
  bool OpenPort(unsigned port, const std::string& portName) override
  {
    mGate.wait();
    return mInner->OpenPort(port, portName);
  }
  bool OpenVirtualPort(const std::string& portName) override { return mInner->OpenVirtualPort(portName); }
  void ClosePort() override { mInner->ClosePort(); }
  bool IsPortOpen() const override { return mInner->IsPortOpen(); }
  bool Send(const uint8_t* bytes, size_t size) override { return mInner->Send(bytes, size); }
  size_t MaxMessageSize() const override { return mInner->MaxMessageSize(); }

private:
  std::unique_ptr<MidiOutputClient> mInner;
  std::shared_future<void> mGate;
};

class GatedBackend : public MidiBackend
{
public:
  explicit GatedBackend(std::shared_future<void> gate)
      : loopback(std::make_shared<LoopbackMidiBackend>()), mGate(gate)
  {
  }
  std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) override
  {
    return std::make_unique<GatedOutput>(loopback->CreateOutput(clientName), mGate);
  }
  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override
  {
    return loopback->CreateInput(clientName);
  }
  std::shared_ptr<LoopbackMidiBackend> loopback;

private:
  std::shared_future<void> mGate;
};
} // namespace

TEST(VELKEditor, BuildsAtTheSizeOfTheUISettingsWithTheProgressGroupHiddenOnTop)
{
  TempDataFolder folder;
  for (auto [line, width, height] : {std::tuple{"small", int(1500 * 0.85), int(757 * 0.85)},
                                     {"normal", 1500, 757},
                                     {"large", int(1500 * 1.15), int(757 * 1.15)}})
  {
    SCOPED_TRACE(line);
    std::ofstream(folder.path / UISettings::kFileName) << "platinum\n" << line << "\n0\n";
    auto plug = MakePlug();
    IGraphics* editor = EditorOf(*plug);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Width(), width);
    EXPECT_EQ(editor->Height(), height);
    EXPECT_EQ(plug->GetUISettings().colourScheme, 1u);
    EXPECT_EQ(plug->Config()->ColourScheme(), 1u);
    EXPECT_DOUBLE_EQ(plug->Config()->UiScale(), plug->UiScale());
    // The background is control 0; the progress group is the last top-level group, hidden.
    ASSERT_GT(editor->NumControls(), 0);
    LayerGroup* progress = plug->ProgressLayer();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(editor->GetLayerGroup(editor->NumLayerGroups() - 1), progress);
    EXPECT_FALSE(progress->IsVisible());
    EXPECT_EQ(plug->NamedLayer(ProgressOverlay::kLayerName), progress);
    EXPECT_EQ(plug->Config()->GetLayer(ProgressOverlay::kLayerName), progress);
    EXPECT_EQ(plug->NamedLayer("no such layer"), nullptr);
    EXPECT_EQ(plug->editorReady.load(), 1);
  }
}

TEST(VELKEditor, ChangeHandlerKeepsTheMemberBytes)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  Change(*plug, kGlobalLocalControl, 1);
  EXPECT_EQ(plug->localControlOn.load(), 1);
  Change(*plug, kGlobalLocalControl, 0);
  EXPECT_EQ(plug->localControlOn.load(), 0);

  // The two MIDI routes exclude each other.
  Change(*plug, kMIDIFilterDirectToHardware, 1);
  Change(*plug, kMIDIFilterToDAWBuffer, 1);
  EXPECT_EQ(plug->queueShortMidi.load(), 1);
  EXPECT_EQ(plug->ParamValue(kMIDIFilterDirectToHardware), 0.0);
  Change(*plug, kMIDIFilterDirectToHardware, 1);
  EXPECT_EQ(plug->queueShortMidi.load(), 0);
  EXPECT_EQ(plug->ParamValue(kMIDIFilterToDAWBuffer), 0.0);

  Change(*plug, kMIDIFilterTrackIncomingMIDI, 0);
  EXPECT_EQ(plug->ledsShowIncoming.load(), 0);
  // Pass-through bytes are set while the switch is not 1: DAW ones first, then the hardware ones.
  for (int i = kMIDIFilterDAWCCPassThrough; i <= kMIDIFilterHWSEPassThrough; ++i)
    Change(*plug, i, 1);
  for (auto& b : plug->passThrough)
    EXPECT_EQ(b.load(), 0);
  Change(*plug, kMIDIFilterDAWSEPassThrough, 0);
  Change(*plug, kMIDIFilterHWCCPassThrough, 0);
  EXPECT_EQ(plug->passThrough[6].load(), 1);
  EXPECT_EQ(plug->passThrough[7].load(), 1);
  EXPECT_EQ(plug->passThrough[5].load(), 0);

  Change(*plug, kGlobalMidiChannel, 3);
  EXPECT_EQ(plug->deviceId.load(), 3);
  Change(*plug, kCurrentModel, 2);
  EXPECT_EQ(plug->model.load(), 2);
  Change(*plug, kQuickTab, 5);
  EXPECT_EQ(plug->selectedPart.load(), 5);
  plug->clockJobStarted = 1;
  Change(*plug, kSendMIDIClockInfo, 1);
  EXPECT_EQ(plug->sendClock.load(), 1);
  EXPECT_EQ(plug->clockJobStarted.load(), 0);
  Change(*plug, kSendMIDIClockPointer, 1);
  EXPECT_EQ(plug->sendStartStop.load(), 1);
  // The librarian's kind of bank.
  plug->ParameterAt(kDatatype)->SetupEnumerated("", 0, 3, "");
  Change(*plug, kDatatype, 1);
  EXPECT_EQ(plug->performanceMode.load(), 1);
  EXPECT_EQ(plug->patternMode.load(), 0);
  EXPECT_EQ(plug->Librarian()->GetMode(), PatchLibrarian::kPerformances);
  Change(*plug, kDatatype, 2);
  EXPECT_EQ(plug->performanceMode.load(), 0);
  EXPECT_EQ(plug->patternMode.load(), 1);
  EXPECT_EQ(plug->Librarian()->GetMode(), PatchLibrarian::kPatterns);
  Change(*plug, kDatatype, 0);
  EXPECT_EQ(plug->patternMode.load(), 0);
  EXPECT_EQ(plug->Librarian()->GetMode(), PatchLibrarian::kPrograms);
}

TEST(VELKEditor, ChangingTheSizeOrSchemeIsKeptForTheNextEditor)
{
  TempDataFolder folder;
  {
    auto plug = MakePlug();
    EXPECT_EQ(EditorOf(*plug)->Width(), 1500);
    Change(*plug, kUserInterfaceSize, UISettings::kLarge);
    Change(*plug, kUserInterfaceStyle, 1);
    EXPECT_EQ(EditorOf(*plug)->Width(), 1500); // this editor keeps its size
  }
  auto next = MakePlug();
  EXPECT_EQ(EditorOf(*next)->Width(), int(1500 * 1.15));
  EXPECT_EQ(next->GetUISettings().colourScheme, 1u);
}

TEST(VELKEditor, StatusLinesTakeTextsFromAnyThreadAndLeaveTheGivenOnes)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  const std::string info = "Category: Bass";
  plug->SetInfoText(info);
  EXPECT_EQ(info, "Category: Bass");
  EXPECT_EQ(plug->InfoText(), "Category: Bass");
  std::thread worker(
      [&]
      {
        for (int i = 0; i < 500; ++i)
          plug->SetProgressText("Program received " + std::to_string(i));
      });
  for (int i = 0; i < 500; ++i)
  {
    const std::string seen = plug->ProgressText(); // one read: the worker may change it between two
    EXPECT_TRUE(seen.empty() || seen.rfind("Program received ", 0) == 0) << seen;
  }
  worker.join();
  EXPECT_EQ(plug->ProgressText(), "Program received 499");

  // The texts reach the editor's display controls, not only the stored copies.
  ITextControl* status = plug->Lines().Display(StatusLines::kStatus);
  ITextControl* midi = plug->Lines().Display(StatusLines::kMidi);
  ASSERT_NE(status, nullptr) << "the status line is not in the editor";
  ASSERT_NE(midi, nullptr) << "the MIDI line is not in the editor";
  plug->SetStatusText("Plug-in is ready to go!");
  EXPECT_TRUE(status->TextEquals("Plug-in is ready to go!"));
  plug->SetMidiDisplayText("CC 74");
  EXPECT_TRUE(midi->TextEquals("CC 74"));
  EXPECT_NE(status, midi);
}

TEST(VELKEditor, RecallRestoresDeviceIdModelAndLoadsTheOlderVersion)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  Change(*plug, kGlobalMidiChannel, 9);
  Change(*plug, kCurrentModel, 1);
  Change(*plug, kQuickTab, 3);
  plug->deviceId = 17; // learned from the synthesizer after the parameter was set
  const std::vector<uint8_t> v2 = Save(*plug);

  auto other = MakePlug();
  ASSERT_EQ(Recall(*other, v2), int(v2.size()));
  EXPECT_EQ(other->deviceId.load(), 17);
  EXPECT_EQ(other->model.load(), 1);
  EXPECT_EQ(other->selectedPart.load(), 3);

  // Version 1 has no device id or model of its own: both come from their parameters.
  std::vector<uint8_t> v1(v2.begin(), v2.end() - 8);
  const int32_t one = 1;
  std::memcpy(v1.data() + 4, &one, 4);
  auto old = MakePlug();
  ASSERT_EQ(Recall(*old, v1), int(v1.size()));
  EXPECT_EQ(old->deviceId.load(), 9);
  EXPECT_EQ(old->model.load(), 1);
  // A version 1 state followed by other data is no state a build wrote: refused.
  std::vector<uint8_t> v1more = v1;
  v1more.insert(v1more.end(), {1, 2, 3});
  EXPECT_EQ(Recall(*old, v1more), -1);
}

TEST(VELKEditor, RecallSelectsThePortsByNameWithoutWaitingUnderTheParameterLock)
{
  TempDataFolder folder;
  std::promise<void> open;
  auto backend = std::make_shared<GatedBackend>(open.get_future().share());
  backend->loopback->AddDestinationPort("Synth Out Port");
  backend->loopback->AddSourcePort("Synth In Port");

  auto saver = MakePlug();
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiOutputName, "Synth Out Port");
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiInputName, "Synth In Port");
  const std::vector<uint8_t> state = Save(*saver);

  // A document without a device menu: listing the ports would make the MIDI clients, after
  // which no back end can be given.
  ScopedDocument empty(ConfigReader::kUiDocumentId, "<?xml version=\"1.0\"?><uiconfig/>");
  auto plug = MakePlug();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  // The output's opening is held back: the recall must come back all the same.
  auto recall = std::async(std::launch::async, [&] { return Recall(*plug, state); });
  ASSERT_EQ(recall.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(recall.get(), int(state.size()));
  EXPECT_EQ(plug->midiOutputReady.load(), 0);
  open.set_value();
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_EQ(plug->midiOutputReady.load(), 1);
  EXPECT_TRUE(plug->MidiPorts().IsOutputOpen());
  EXPECT_TRUE(plug->MidiPorts().IsInputOpen());
  EXPECT_EQ(backend->loopback->Connections("Synth Out Port"), 1);
  // The recalled project brings the link up as choosing the port does: the handshake's device-id
  // request at the project's device id goes out once both ports are open.
  ASSERT_TRUE(backend->loopback->WaitForReceived("Synth Out Port", 1, std::chrono::seconds(20)));
  const std::vector<uint8_t> request = backend->loopback->Received("Synth Out Port").front();
  ASSERT_EQ(request.size(), 9u);
  EXPECT_EQ(request[6], 15);
  EXPECT_EQ(request[7], 0x10);

  // A project naming a port that is not there leaves the output closed.
  auto missing = MakePlug();
  ASSERT_TRUE(missing->MidiPorts().SetBackend(backend));
  std::vector<uint8_t> other = state;
  const std::string from = "Synth Out Port", to = "Synth Gone Port";
  auto at = std::search(other.begin(), other.end(), from.begin(), from.end());
  ASSERT_NE(at, other.end());
  std::copy(to.begin(), to.end(), at);
  ASSERT_GT(Recall(*missing, other), 0);
  ASSERT_TRUE(missing->WaitForPortRecall(20000));
  EXPECT_EQ(missing->midiOutputReady.load(), 0);
  EXPECT_FALSE(missing->MidiPorts().IsOutputOpen());
  EXPECT_EQ(missing->connectPending.load(), 0) << "a handshake without an output";
}

// A recalled project's ports show in the device menus, as chosen ones do, listed as they are now
// (the input port was renamed since the menu was listed); a port that is not there shows none.
TEST(VELKEditor, RecalledPortsShowInTheDeviceMenus)
{
  TempDataFolder folder;
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort("Other Out Port");
  backend->AddDestinationPort("Synth Out Port");
  backend->AddSourcePort("Synth In Port");
  const std::vector<uint8_t> state = StateNamingPorts("Synth Out Port", "Synth In Port");

  auto plug = MakePlug();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  IParameter* out = plug->ParameterAt(kDeviceOutSelection);
  IParameter* in = plug->ParameterAt(kDeviceInSelection);
  in->AddValueText(1, "Renamed In Port");
  ASSERT_EQ(Recall(*plug, state), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_TRUE(plug->MidiPorts().IsOutputOpen());
  EXPECT_TRUE(plug->MidiPorts().IsInputOpen());
  EXPECT_EQ(int(plug->ParamValue(kDeviceOutSelection)), 2);
  EXPECT_STREQ(out->ValueText(1), "Other Out Port");
  EXPECT_STREQ(out->ValueText(int(plug->ParamValue(kDeviceOutSelection))), "Synth Out Port");
  EXPECT_EQ(int(plug->ParamValue(kDeviceInSelection)), 1);
  EXPECT_STREQ(in->ValueText(1), "Synth In Port");
  EXPECT_EQ(in->ValueTextCount(), 2);
  // Showing the port selected nothing again: the names the project keeps are unchanged.
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiOutputName), "Synth Out Port");

  // The output port is gone when the project comes back: its menu shows no device.
  backend->RemovePort("Synth Out Port");
  ASSERT_EQ(Recall(*plug, state), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_FALSE(plug->MidiPorts().IsOutputOpen());
  EXPECT_EQ(int(plug->ParamValue(kDeviceOutSelection)), 0);
  EXPECT_EQ(out->ValueTextCount(), 2);
  EXPECT_EQ(int(plug->ParamValue(kDeviceInSelection)), 1);
}

// Building the plug-in (a host's scan does only that) makes no MIDI client: the device menus list
// the ports, and so make the clients, only when they are opened.
TEST(VELKEditor, BuildingThePluginMakesNoMidiClient)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  EXPECT_FALSE(plug->MidiPorts().HasClients());
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort("Synth Out Port");
  backend->AddSourcePort("Synth In Port");
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  IParameter* out = plug->ParameterAt(kDeviceOutSelection);
  EXPECT_EQ(out->ValueTextCount(), 1);
  EXPECT_STREQ(out->ValueText(0), IMidiPorts::kNoDeviceName);

  // Opening the output menu lists the output ports (the click opens no prompt without a window).
  IGraphics* graphics = EditorOf(*plug);
  ASSERT_NE(graphics, nullptr);
  IDeviceMenuControl* menu = nullptr;
  std::function<void(LayerGroup*)> find = [&](LayerGroup* group)
  {
    for (int i = 0; i < group->NumControls(); ++i)
    {
      auto* control = dynamic_cast<IDeviceMenuControl*>(group->GetControl(i));
      if (control && control->ParamIdx() == kDeviceOutSelection) menu = control;
    }
    for (int i = 0; i < group->NumChildren(); ++i)
      find(group->GetChild(i));
  };
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
    find(graphics->GetLayerGroup(i));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(backend->ClientsCreated(), 0);
  IMouseMod left;
  left.L = true;
  menu->OnMouseDown(0, 0, left);
  EXPECT_EQ(backend->ClientsCreated(), 1);
  ASSERT_EQ(out->ValueTextCount(), 2);
  EXPECT_STREQ(out->ValueText(1), "Synth Out Port");
  EXPECT_EQ(out->Max(), 1);
}

// The MIDI server stops under the open ports: the lost clients are dropped, the status line says
// so and the menus show no port; the project keeps the names, and recalling it once the server is
// back makes new clients and brings the link up again with its handshake.
TEST(VELKEditor, AStoppedMidiServerIsSaidAndARecallMakesNewClients)
{
  TempDataFolder folder;
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort("Synth Out Port");
  backend->AddSourcePort("Synth In Port");
  const std::vector<uint8_t> state = StateNamingPorts("Synth Out Port", "Synth In Port");

  auto plug = MakePlug();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  ASSERT_EQ(Recall(*plug, state), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  ASSERT_TRUE(backend->WaitForReceived("Synth Out Port", 1, std::chrono::seconds(20)));
  ASSERT_EQ(plug->midiOutputReady.load(), 1);
  ASSERT_EQ(int(plug->ParamValue(kDeviceOutSelection)), 1);
  ASSERT_EQ(backend->ClientsAlive(), 2);

  backend->StopServer();
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_EQ(plug->StatusText(), VELK::kMidiServerStopped);
  EXPECT_EQ(plug->midiOutputReady.load(), 0);
  EXPECT_FALSE(plug->MidiPorts().IsOutputOpen());
  EXPECT_FALSE(plug->MidiPorts().IsInputOpen());
  EXPECT_EQ(backend->ClientsAlive(), 0) << "the lost clients are kept";
  EXPECT_EQ(int(plug->ParamValue(kDeviceOutSelection)), 0);
  EXPECT_EQ(int(plug->ParamValue(kDeviceInSelection)), 0);
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiOutputName), "Synth Out Port");
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiInputName), "Synth In Port");

  backend->ClearReceived("Synth Out Port");
  ASSERT_EQ(Recall(*plug, Save(*plug)), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_EQ(plug->midiOutputReady.load(), 1);
  EXPECT_TRUE(plug->MidiPorts().IsOutputOpen());
  EXPECT_TRUE(plug->MidiPorts().IsInputOpen());
  EXPECT_EQ(backend->ClientsAlive(), 2);
  EXPECT_EQ(int(plug->ParamValue(kDeviceOutSelection)), 1);
  // The handshake's device-id request goes out through the new client.
  ASSERT_TRUE(backend->WaitForReceived("Synth Out Port", 1, std::chrono::seconds(20)));
  const std::vector<uint8_t> request = backend->Received("Synth Out Port").front();
  ASSERT_EQ(request.size(), 9u);
  EXPECT_EQ(request[7], 0x10);
}

// The device menus open the chosen port by its name, away from the parameter lock; a newly chosen
// output starts the device-id handshake, and the menu's first entry closes the port again.
TEST(VELKEditor, TheDeviceMenusOpenAndClosePortsAndAChosenOutputStartsTheHandshake)
{
  TempDataFolder folder;
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddDestinationPort("Synth Out Port");
  backend->AddSourcePort("Synth In Port");
  auto plug = MakePlug();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  plug->editorReady = 1;

  auto choose = [&](int index, int value, const char* name)
  {
    IParameter* param = plug->ParameterAt(index);
    if (name) param->AddValueText(value, name);
    std::lock_guard<std::recursive_mutex> lock(plug->ParameterLock());
    param->SetClamped(value);
    plug->HandleParameterChange(index);
  };
  choose(kDeviceInSelection, 1, "Synth In Port");
  choose(kDeviceOutSelection, 1, "Synth Out Port");
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_TRUE(plug->MidiPorts().IsInputOpen());
  EXPECT_TRUE(plug->MidiPorts().IsOutputOpen());
  EXPECT_EQ(plug->midiOutputReady.load(), 1);
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiOutputName), "Synth Out Port");
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiInputName), "Synth In Port");
  // The handshake's first device-id request reaches the synthesizer's input.
  ASSERT_TRUE(backend->WaitForReceived("Synth Out Port", 1, std::chrono::seconds(20)));
  const std::vector<uint8_t> first = backend->Received("Synth Out Port").front();
  ASSERT_GE(first.size(), 8u);
  EXPECT_EQ(first[0], 0xF0);
  EXPECT_EQ(first.back(), 0xF7);

  // While the handshake runs, the librarian's bank request is refused, and says so.
  plug->LibrarianRequestBank(PatchLibrarian::kPrograms, 2);
  EXPECT_EQ(plug->StatusText(), "A transfer is running: the bank was not requested");
  choose(kCancelDataRequest, 1, nullptr);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!plug->JobsThreadIdle() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(plug->JobsThreadIdle());
  choose(kCancelDataRequest, 0, nullptr);
  // Then it goes out: the memory request of the bank's first slot (bank code 5 + bank, slot 0).
  backend->ClearReceived("Synth Out Port");
  plug->LibrarianRequestBank(PatchLibrarian::kPrograms, 2);
  ASSERT_TRUE(backend->WaitForReceived("Synth Out Port", 1, std::chrono::seconds(20)));
  const std::vector<uint8_t> request = backend->Received("Synth Out Port").front();
  ASSERT_EQ(request.size(), 11u);
  EXPECT_EQ(request[7], 0x13);
  EXPECT_EQ(request[8], 7);
  EXPECT_EQ(request[9], 0);
  choose(kCancelDataRequest, 1, nullptr);
  choose(kDeviceOutSelection, 0, nullptr);
  EXPECT_EQ(plug->midiOutputReady.load(), 0);
  EXPECT_FALSE(plug->MidiPorts().IsOutputOpen());
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMidiOutputName), IMidiPorts::kNoDeviceName);
}

// An overlay over the whole editor, as the link's progress indicator is.
class OverlayProbe : public IControl
{
public:
  explicit OverlayProbe(const IRectangle& r) : IControl(nullptr, r) {}
  bool Draw(IGraphics*) override { return true; }
};

TEST(VELKEditor, CancelButtonsStayClickableAboveTheProgressOverlay)
{
  TempDataFolder folder;
  for (double scale : {0.85, 1.0, 1.15})
  {
    SCOPED_TRACE(scale);
    std::ofstream(folder.path / UISettings::kFileName) << "normal\n"
                                                       << (scale < 1   ? "small"
                                                           : scale > 1 ? "large"
                                                                       : "normal")
                                                       << "\n";
    auto plug = MakePlug();
    IGraphics* editor = EditorOf(*plug);
    LayerGroup* progress = plug->ProgressLayer();
    ASSERT_NE(progress, nullptr);
    progress->AddControl(new OverlayProbe(IRectangle(0, 0, editor->Width(), editor->Height())));
    progress->Hide(false); // a transfer runs
    for (int i = 0; i < 2; ++i)
    {
      IContactControl* button = plug->CancelButton(i);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->ParamIdx(), kCancelDataRequest);
      EXPECT_EQ(button->Rect().L, int(ProgressOverlay::kCancelButtonAt[i][0] * scale));
      EXPECT_EQ(button->Rect().T, int(ProgressOverlay::kCancelButtonAt[i][1] * scale));
      EXPECT_FALSE(button->IsHidden());
      const IRectangle& r = button->Rect();
      EXPECT_EQ(editor->FindControlAt((r.L + r.R) / 2, (r.T + r.B) / 2), button);
    }
    EXPECT_EQ(plug->CancelButton(2), nullptr);
    // Elsewhere the overlay takes the mouse; hidden again, neither does.
    EXPECT_NE(dynamic_cast<OverlayProbe*>(editor->FindControlAt(5, editor->Height() - 5)), nullptr);
    progress->Hide(true);
    EXPECT_TRUE(plug->CancelButton(0)->IsHidden());
    EXPECT_EQ(dynamic_cast<OverlayProbe*>(editor->FindControlAt(5, editor->Height() - 5)), nullptr);
  }
}

TEST(VELKEditor, ARecordsPageLayerShowsThePageTheValueNames)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  LayerGroup pages(50, "pages");
  PlainControl *first, *second;
  pages.AddChildGroup(Page(0, "p0", &first));
  pages.AddChildGroup(Page(1, "p1", &second));
  pages.Hide(false);
  MidiMapRecord record(MidiMapRecord::kNone);
  record.pageLayer = &pages;
  IParameter* param = plug->ParameterAt(kViewOscPages);
  param->SetupEnumerated("", 0, 4, "");
  param->SetMidiMap(&record);

  Change(*plug, kViewOscPages, 1);
  EXPECT_TRUE(first->IsHidden());
  EXPECT_FALSE(second->IsHidden());
  param->SetClamped(0);
  plug->HandleSecondaryParameterChange(kViewOscPages);
  EXPECT_FALSE(first->IsHidden());
  EXPECT_TRUE(second->IsHidden());
  EXPECT_EQ(plug->inSecondaryChange.load(), 0);
  // A value that names no page leaves the pages as they are.
  Change(*plug, kViewOscPages, 3);
  EXPECT_FALSE(first->IsHidden());
  EXPECT_EQ(pages.CurrentPage(), 0);
  param->SetMidiMap(nullptr);
}

// The page tabs and the multi views switch pages of the real editor; the popups of a page stay
// closed, and the conflict window too.
TEST(VELKEditor, TheTabsAndMultiViewsShowTheirPages)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  ConfigReader* config = plug->Config();
  ASSERT_NE(config, nullptr);
  auto layer = [&](const char* name)
  {
    LayerGroup* group = config->GetLayer(name);
    EXPECT_NE(group, nullptr) << name;
    return group;
  };
  LayerGroup *multi = layer("multiPage"), *mixer = layer("multiModeMixer"), *global = layer("globalPage"),
             *settings = layer("multiModeSettingsPage1"), *filters = layer("midiFilterWindow"),
             *additional = layer("additionalSettingsPart1"), *conflict = layer("bankPatchConflictWindow");
  ASSERT_TRUE(multi && mixer && global && settings && filters && additional && conflict);
  EXPECT_TRUE(multi->IsVisible());
  EXPECT_TRUE(mixer->IsVisible());
  EXPECT_FALSE(global->IsVisible());
  EXPECT_FALSE(additional->IsVisible());
  EXPECT_FALSE(conflict->IsVisible());

  Change(*plug, kMainTab, 9);
  EXPECT_TRUE(global->IsVisible());
  EXPECT_FALSE(filters->IsVisible());
  EXPECT_FALSE(multi->IsVisible());
  EXPECT_FALSE(mixer->IsVisible());

  // The MIDI filter switch opens and closes its window over the page.
  LayerGroup* filterSettings = layer("midiFilterSettings");
  ASSERT_NE(filterSettings, nullptr);
  Change(*plug, kViewMIDIFilterSettings, 1);
  EXPECT_TRUE(filters->IsVisible());
  EXPECT_TRUE(filterSettings->IsVisible());
  Change(*plug, kViewMIDIFilterSettings, 0);
  EXPECT_FALSE(filters->IsVisible());
  EXPECT_FALSE(filterSettings->IsVisible());
  EXPECT_TRUE(global->IsVisible());

  // A part's gear opens the part settings window on that part's page; another part's gear
  // turned off leaves it open.
  Change(*plug, kMainTab, 0);
  LayerGroup* additional3 = layer("additionalSettingsPart3");
  ASSERT_NE(additional3, nullptr);
  Change(*plug, kMultiPartSettings + 2, 1);
  EXPECT_TRUE(additional3->IsVisible());
  EXPECT_FALSE(additional->IsVisible());
  Change(*plug, kMultiPartSettings + 0, 0);
  EXPECT_TRUE(additional3->IsVisible());
  Change(*plug, kMultiPartSettings + 2, 0);
  EXPECT_FALSE(additional3->IsVisible());

  Change(*plug, kMultiSettings, 2);
  EXPECT_TRUE(multi->IsVisible());
  EXPECT_TRUE(settings->IsVisible());
  EXPECT_FALSE(mixer->IsVisible());
  EXPECT_FALSE(additional->IsVisible());
  EXPECT_FALSE(global->IsVisible());
}

TEST(VELKEditor, SendingALibrarianSlotSaysWhyItDidNotGo)
{
  TempDataFolder folder;
  auto plug = MakePlug();
  ASSERT_NE(plug->Librarian(), nullptr);
  plug->LibrarianSendSlot(4, PatchLibrarian::kLeft);
  EXPECT_EQ(plug->StatusText(), "Slot 5 is empty");
  LibrarianSlot slot;
  slot.name = "Stored";
  slot.AddMessage(std::vector<uint8_t>{0xF0, 0x00, 0x20, 0x29, 0xF7});
  ASSERT_TRUE(plug->Librarian()->PutSlot(PatchLibrarian::kRight, 4, slot));
  plug->LibrarianSendSlot(4, PatchLibrarian::kRight);
  EXPECT_EQ(plug->StatusText(), "Set MIDI I/O First!");
  plug->SetStatusText("");
  plug->LibrarianRequestBank(PatchLibrarian::kPrograms, 0);
  EXPECT_EQ(plug->StatusText(), "Set MIDI I/O First!");
  plug->SetStatusText("");
  plug->LibrarianStoreBank(PatchLibrarian::kLeft, PatchLibrarian::kPrograms, 0);
  EXPECT_EQ(plug->StatusText(), "Set MIDI I/O First!");
}

// Destruction's release pass: each plug-in drops only its own hold on the shared skin bitmaps.
TEST(VELKEditor, DestructionReleasesOnlyItsOwnCachedBitmaps)
{
  TempDataFolder folder;
  const int kKnobStrip = 111; // IKNOBROTATERCONTROL_ID2
  BitmapCache& cache = BitmapCache::Instance();
  const int before = cache.References(kKnobStrip, 1.0);
  auto first = MakePlug();
  const int one = cache.References(kKnobStrip, 1.0);
  EXPECT_GT(one, before);
  auto second = MakePlug();
  EXPECT_GT(cache.References(kKnobStrip, 1.0), one);
  first.reset();
  EXPECT_EQ(cache.References(kKnobStrip, 1.0), one);
  second.reset();
  EXPECT_EQ(cache.References(kKnobStrip, 1.0), before);
}
