#pragma once

#include <atomic>
#include <memory>
#include <string>

class PortRecall;
class VELK;

// The MIDI ports the device menus choose and a recalled project names. Opening a port may wait on
// the MIDI system and its input thread, so both go by name to the port-selection thread
// (PortRecall), away from the parameter lock; there the port opens, shows in its menu with the ports
// listed now, and a newly chosen output is followed by the device-id handshake once the input listens
// too. The same thread answers the MIDI server going away: the lost clients are dropped, both menus
// show "Select MIDI Device" and the status line says so (the project keeps the names). A server that
// runs but refuses our clients, again after a few tries, is said on the status line too.
class MidiPortChoice
{
public:
  explicit MidiPortChoice(VELK& plug);
  ~MidiPortChoice();

  // The device menu's value changed (change handler, under the parameter lock): entry 0 closes.
  void ChosenInMenu(int menu);
  // A recalled project names these ports (either may be empty: that side stays as it is).
  void Recall(const std::string& input, const std::string& output);
  // Waits up to the time for the selection to be done; true when it is.
  bool WaitIdle(int milliseconds);
  // Ends the selection thread, before the ports close.
  void Stop();

private:
  void SelectRecalled(const std::string& input, const std::string& output);
  void ShowChosenPort(int menu, int entry, const std::string& name);
  void ServerStopped();

  VELK& mPlug;
  std::unique_ptr<PortRecall> mRecall;
  std::atomic<bool> mConnectAfterSelection{false}; // set by the device menu, taken by the selection
};
