#pragma once

#include "config/MidiMapRecord.h"
#include "framework/plugin/IMidiMessage.h"

class LinkHost;
struct LinkState;

// Turns one parameter change into what the synthesizer understands, by the kind of the parameter's
// MIDI map record: a controller, a controller with an off and an on value, an NRPN triple, one
// SysEx message of a table, or a group of them. Runs on the caller's thread (the user-interface
// thread, or the MIDI input thread when a received controller moves a control) and never waits.
class ParameterOutput
{
public:
  explicit ParameterOutput(LinkHost& host);

  void SendParamToHardware(MidiMapRecord* record, int index, double value);

  // The channel of a record's part (kMultiPartMIDICh), the global channel for a part setting
  // outside 0..15 or a record without a part.
  int RecordChannel(const MidiMapRecord& record);

private:
  void SendController(const MidiMapRecord& record, int index, int v);
  void SendControllerOffOn(const MidiMapRecord& record, int index, int v);
  void SendNrpn(const MidiMapRecord& record, int index, int v, double value);
  void SendSysExTable(const MidiMapRecord& record, int index, int v);
  void RequestPatternAfterSysEx(int index);
  // The rules every message of a parameter change passes: nothing during a secondary change, and
  // while local control is on no echo of a controller that came from the synthesizer.
  bool MayEcho();
  void SendShort(int channel, int controller, int value);
  // One configured SysEx message to the output port: the low 8 bits of each element, every byte
  // between F0 and F7 held to 0..127. Without a chosen output "Set MIDI I/O First!" and nothing
  // sent; an empty message sends nothing. No light, no log.
  void SendConfiguredSysEx(const SysExBytes& message);

  LinkHost& mHost;
  LinkState& mState;
};
