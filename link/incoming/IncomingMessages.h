#pragma once

#include "framework/plugin/IMidiMessage.h"
#include "link/incoming/NrpnDecode.h"

#include <cstdint>

class IControl;
class LinkHost;
struct LinkState;

// Short messages arriving from the synthesizer (MIDI input thread) and from the host's track
// (the host's processing thread): the pass-through switches, controllers and NRPNs moving the
// editor's controls through the configuration's reverse maps, program changes turned into
// program selection or librarian slot loading, the activity lights and MIDI thru. Nothing here
// waits: the follow-ups of a program change are posted to the jobs thread.
class IncomingMessages
{
public:
  // The fourteen pass-through switch bytes of LinkHost::passThrough, host side first.
  enum Switch
  {
    kCcSwitch = 0,
    kProgramSwitch,
    kNoteSwitch,
    kPitchBendSwitch,
    kPolyPressureSwitch,
    kChannelPressureSwitch,
    kSysExSwitch,
    kDeviceSide = 7, // added for the synthesizer's side
  };

  static constexpr const char* kTurnOnPerformanceMode = "Turn on PERFORMANCE mode from librarian first!";
  static constexpr const char* kTurnOnProgramMode = "Turn on PROGRAM mode from librarian first!";
  static constexpr const char* kProgramChangeDuringTransfer =
      "A transfer is running: the program change was not followed";

  explicit IncomingMessages(LinkHost& host);

  // The main class's filter: drops everything while a transfer or an edit-buffer receive runs,
  // the synthesizer's messages while it is the master keyboard, anything but a channel message
  // and any message whose data bytes are not 0..127; then hands it to one of the receivers.
  void HandleMidiMessage(const IMidiMessage& message, bool fromDevice);
  // From the synthesizer.
  void ReceiveMidiMessage(const IMidiMessage& message);
  // From the host, for the part (0..7) that listens on the message's channel.
  void ReceivePartMidiMessage(const IMidiMessage& message, int part);
  // Moves the control of controller c (6: the NRPN being assembled from the synthesizer) for the
  // channel key (part + 1, or channel + 1 where no part listens), apply: the synthesizer's value
  // with its special cases, else the host's value as the user's.
  void ResolveControllerToParam(int c, int key, int v, bool apply);

  // The NRPN number being assembled from the synthesizer: MSB (0 none), LSB (kNoNrpnLsb none).
  int NrpnMsb() const { return mNrpnMsb; }
  int NrpnLsb() const { return mNrpnLsb; }

  // The first part (0..7) listening on a channel, or -1.
  int PartOnChannel(int channel);
  // The channel key of the reverse maps for a message channel.
  int ChannelKey(int channel);

private:
  bool SwitchOn(int type, bool deviceSide);
  void DeviceController(const IMidiMessage& message);
  void HostController(const IMidiMessage& message);
  void DeviceProgramChange(const IMidiMessage& message);
  void HostProgramChange(const IMidiMessage& message, int part);
  // A program change while the librarian view is on: the slot of the program goes to the part.
  void LoadLibrarianSlot(int program, int part);
  // kRequestPartProgram for the part, with the program change sent first; edit-buffer receive is undone when
  // the jobs thread refuses it, so that incoming messages are not held back for ever.
  void FollowUpProgramChange(int program, int part);
  void PrepareReception();
  // A program change while the jobs thread runs a transfer is dropped, and the status line says
  // so: true then.
  bool TransferRunning(bool processingThread);
  void Resolve(int c, int key, int v, bool apply, bool assembled);
  void ApplyDeviceValue(IControl* control, int p, int v, int value);
  // Activity light and MIDI thru of a message that was passed.
  void PassOn(const IMidiMessage& message, bool deviceSide);

  LinkHost& mHost;
  LinkState& mState;
  // Written only from the synthesizer's side (one message at a time).
  int mNrpnMsb = 0;
  int mNrpnLsb = kNoNrpnLsb;
  bool mBankSelectZero = false;
};
