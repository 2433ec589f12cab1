#include "editor/MidiPortChoice.h"

#include "editor/PatchManager.h"
#include "editor/PortRecall.h"
#include "editor/VELK.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/output/DeviceSender.h"
#include "link/transfer/TransferWorker.h"

#include <chrono>
#include <thread>
#include <vector>

MidiPortChoice::MidiPortChoice(VELK& plug) : mPlug(plug)
{
  mRecall = std::make_unique<PortRecall>([this](const std::string& input, const std::string& output)
                                         { SelectRecalled(input, output); },
                                         [this] { ServerStopped(); });
  // Heard on the MIDI library's thread: the port-selection thread does the work.
  mPlug.MidiPorts().SetServerGoneListener([this] { mRecall->NoteServerGone(); });
}

MidiPortChoice::~MidiPortChoice() = default;

// The chosen entry's text is the port's name; entry 0 ("Select MIDI Device") closes the port.
void MidiPortChoice::ChosenInMenu(int menu)
{
  const IParameter* param = mPlug.ParameterAt(menu);
  if (!param) return;
  const bool output = menu == kDeviceOutSelection;
  const int value = param->IntValue();
  const char* text = value > 0 ? param->ValueText(value) : nullptr;
  const int nameSlot = output ? PatchManager::kMidiOutputName : PatchManager::kMidiInputName;
  if (!text || !*text || std::string(text) == IMidiPorts::kNoDeviceName)
  {
    if (output)
    {
      mPlug.midiOutputReady = 0;
      mPlug.MidiPorts().CloseMidiOutput();
    }
    else
      mPlug.MidiPorts().CloseMidiInput();
    mPlug.GetPatchManager()->SetNameExact(nameSlot, IMidiPorts::kNoDeviceName);
    return;
  }
  mPlug.GetPatchManager()->SetNameExact(nameSlot, text);
  // A newly chosen output is followed by the device-id handshake, which finds the synthesizer.
  if (output) mConnectAfterSelection = true;
  mRecall->Request(output ? "" : text, output ? text : "");
}

void MidiPortChoice::Recall(const std::string& input, const std::string& output)
{
  if (input.empty() && output.empty()) return;
  // A project that names its synthesizer's port brings the link up, as choosing the port does.
  if (!output.empty() && output != IMidiPorts::kNoDeviceName) mConnectAfterSelection = true;
  mRecall->Request(input, output);
}

bool MidiPortChoice::WaitIdle(int milliseconds)
{
  return mRecall->WaitIdle(milliseconds);
}

void MidiPortChoice::Stop()
{
  mRecall->Stop();
}

void MidiPortChoice::SelectRecalled(const std::string& input, const std::string& output)
{
  IMidiPorts& midi = mPlug.MidiPorts();
  bool refused = false;
  const bool outputChosen = !output.empty() && output != IMidiPorts::kNoDeviceName;
  if (outputChosen)
  {
    // Selection goes by the name; a non-zero index only says that a device is wanted.
    int index = 1;
    const bool open = mPlug.SelectMidiOutputPort(index, output) > 0;
    refused = !open && midi.ServerRefusedClient();
    mPlug.midiOutputReady = open;
    ShowChosenPort(kDeviceOutSelection, open ? index : 0, output);
    if (!open) mPlug.Log("MIDI output \"" + output + "\" of the project is not present");
  }
  if (!input.empty() && input != IMidiPorts::kNoDeviceName)
  {
    int index = 1;
    const bool open = mPlug.SelectMidiInputPort(index, input) > 0;
    refused = refused || (!open && midi.ServerRefusedClient());
    ShowChosenPort(kDeviceInSelection, open ? index : 0, input);
    if (!open) mPlug.Log("MIDI input \"" + input + "\" of the project is not present");
  }
  // A running server that refused us again and again: the user is told, as when it stopped.
  if (refused)
  {
    mPlug.SetStatusText(VELK::kMidiServerRefused);
    mPlug.Log("The MIDI server refused a MIDI client");
  }
  // The handshake goes out once the input listens too, or the synthesizer's answer would be lost;
  // only after the output it is asked for (an input chosen meanwhile leaves the request waiting).
  if (outputChosen && mConnectAfterSelection.exchange(false) && mPlug.midiOutputReady)
    DeviceSender(mPlug).RequestConnect();
}

// A recalled port shows in its device menu, as a chosen one does (entry 0 when it could not be
// opened), with the ports listed now. Only the menu's value moves: the port is open already, and a
// change handler would select it again.
void MidiPortChoice::ShowChosenPort(int menu, int entry, const std::string& name)
{
  IMidiPorts& midi = mPlug.MidiPorts();
  const std::vector<std::string> ports =
      menu == kDeviceOutSelection ? midi.ListMidiOutputPorts() : midi.ListMidiInputPorts();
  std::lock_guard<std::recursive_mutex> lock(mPlug.ParameterLock());
  IParameter* param = mPlug.ParameterAt(menu);
  if (!param) return;
  IDeviceMenuControl::ShowPorts(*param, ports);
  const bool listed = entry > 0 && entry < int(ports.size()) && ports[size_t(entry)] == name;
  mPlug.SetParamInEditor(menu, listed ? entry : 0);
}

void MidiPortChoice::ServerStopped()
{
  if (!mPlug.MidiPorts().DropLostClients()) return;
  mPlug.midiOutputReady = 0;
  // A transfer under way can reach nothing now: it ends, and so frees the jobs thread for the
  // handshake that follows the ports chosen again. Its last status text comes before ours.
  if (TransferWorker* worker = mPlug.Worker())
  {
    worker->CancelJob();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!mPlug.JobsThreadIdle() && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The project keeps the ports' names: recalling it, or choosing the ports again, once the
  // server is back makes new clients. The menus show that nothing is open now (and list the ports
  // again when opened: listing here would make a client at once).
  {
    std::lock_guard<std::recursive_mutex> lock(mPlug.ParameterLock());
    for (int menu : {int(kDeviceOutSelection), int(kDeviceInSelection)})
    {
      if (IParameter* param = mPlug.ParameterAt(menu)) IDeviceMenuControl::ShowPorts(*param, {});
      mPlug.SetParamInEditor(menu, 0);
    }
  }
  mPlug.SetStatusText(VELK::kMidiServerStopped);
  mPlug.Log("The MIDI server stopped: the MIDI ports are closed");
}
