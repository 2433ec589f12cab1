#pragma once

#include "framework/plugin/IMidiMessage.h"
#include "librarian/LibrarianSlot.h"

#include <cstdint>

class LinkHost;
struct LinkState;

// The main object's own senders: the two gates through which every message the editor builds
// reaches the synthesizer (short messages and SysEx), with the per-part activity lights and the
// console log, and the fixed sequences built on them. They run on the caller's thread; the ones
// that wait (program and bank select, part program selection, the part-select NRPN, the connect
// request) wait on the link's clock and end early when the plug-in is torn down, and are meant
// for the transfer worker's threads or the user-interface thread, never the audio or MIDI input
// thread.
class DeviceSender
{
public:
  static constexpr const char* kSetMidiFirst = "Set MIDI I/O First!";

  explicit DeviceSender(LinkHost& host);

  // One short message to the output port, lighting the activity light of the part whose
  // channel it carries. Data bytes above 0x7F are clamped. quiet: no console line (the audio
  // thread must not wait on the console).
  void SendMidiToHardware(const IMidiMessage& message, bool quiet = false);
  // One SysEx message (with or without F0/F7), lighting the light of the part in byte 8 of a
  // message that starts F0 00 20 29; logged to the console.
  void SendSysExToHardware(const uint8_t* bytes, int length);
  // The rule of the editor's short messages: dropped while connectPending is set or before
  // editorReady; queued for the audio callback while queueShortMidi is set, else sent at once.
  void SendGated(const IMidiMessage& message, bool quiet = false);

  // Controller 123 value 0 on the part's channel, or on the channel of every enabled part.
  void SendAllNotesOff(int part, bool allParts, bool quiet = false);
  // Program change on the part's channel (the part's kMultiPartPatch follows), then 25 ms.
  void SendPartProgramChange(int program, int part);
  // Controller 32 with the bank + 5 on the part's channel (kMultiPartBank follows), then 25 ms
  // unless told not to wait. A bank below 0 means kRequestFromBank.
  void SendPartBankSelect(int part, int bank = -1, bool wait = true);
  // Whether another enabled part last selected the bank and program this part holds.
  bool IsDuplicatePart(int part) { return DuplicateOf(part) >= 0; }
  // The first such other part, -1 for none.
  int DuplicateOf(int part);
  // All Notes Off, bank select MSB and LSB, program change, with their waits. False (nothing
  // sent) when the selection duplicates another part's and the conflict window is shown: the part
  // keeps the last selection it was sent, and conflictPart names it for the window's answer.
  bool SelectPartProgram(int part);
  // The part-select NRPN on the global channel: controller 98 = 113, 25 ms, controller 6 = value + 76.
  void SendNrpn(int value, bool blockIncoming);
  // After 100 ms (when an output is set and no transfer runs), posts kSendPartProgram (send the part's
  // program) when one of the part's 22 section locks is on and the jobs thread is idle.
  void ResendPartIfLocked(int part);
  // Loads a slot of a pane's bank (side 0 left, else right; the bank is first filled up to 128
  // slots) into the part through kLoadSlot and makes it the view's loaded slot. In performance mode
  // the job re-selects the parts afterwards, so no thread but the jobs thread waits. False when
  // there is no such slot, it is empty, no output is set or the job could not be posted.
  bool SendLibrarianSlot(int slot, int side, int part);
  // The same for the host's processing thread: nothing is copied or resized there, the job takes the
  // slot out of the bank when it starts (and ends at once when there is none). False when there is
  // no librarian or no such slot number, no output is set or the job could not be posted.
  bool PostLibrarianSlot(int slot, int side, int part);
  // A copy of a pane's slot (the bank first filled up to 128 slots), made the view's loaded slot;
  // false (nothing copied) when there is no such slot or it is empty.
  bool TakeLibrarianSlot(int slot, int side, LibrarianSlot& copy);
  // The tail of sending a librarian slot in performance mode, for the jobs thread once the slot
  // is loaded: after 500 ms each part p in turn, on channel p, gets a program change to its
  // program + 1 (126 for 127), bank select LSB with its bank + 5 and a program change to its
  // program, 75 ms apart, straight to the port; then the conflict window flags are cleared.
  // reselectingParts is set meanwhile. False when the plug-in went away during the waits.
  bool ReselectPerformanceParts();
  // Starts the device-id handshake (kConnect). While it runs, connectPending holds the editor's
  // short messages back; when it cannot be posted connectPending is cleared again and the
  // answer is false.
  bool RequestConnect();
  // The SysEx pacing delay of kLibSyncTimer, in milliseconds.
  int GetMidiDelay();
  // Audio callback: puts out every light lit 100 ms ago or more (only while an editor is open).
  void DimActivityLights();
  // Lights a part's activity light (only while an editor is open); a lit light keeps its time.
  void LightPart(int part);

  // Channel 0-15 of the global setting, and of a part (a part value outside 0-15 follows the global channel).
  int GlobalChannel();
  int PartChannel(int part);

private:
  // A wait on the link's clock; false when the plug-in is being torn down.
  bool Wait(int ms);

  LinkHost& mHost;
  LinkState& mState;
};
