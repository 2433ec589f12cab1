#pragma once

#include "framework/plugin/IMidiMessage.h"
#include "librarian/LibrarianSlot.h"
#include "link/MidiQueue.h"
#include "platform/clock/Clock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>

class ConfigReader;
class PatchLibrarian;

// A request for a thread of the transfer worker (its job code and the arguments the job reads).
struct LinkJob
{
  int code = 19;
  int partOrSlot = 0; // job 11 reads it as the pending request id
  int side = 0;       // job 5: which pane's bank
  int bank = 0;       // job 5: the bank to write; jobs 9 to 12: the bank or number
  bool storeFlag = false;
  // Jobs 0 to 2: a send to the edit buffer that the editor makes on its own (settled edits), not
  // a transfer the user started: no overlay and no cancel button, so the editor keeps its clicks.
  bool quiet = false;
  bool toEditorFlag = false;
  bool editBufferFlag = false; // job 11: the edit buffer instead of a memory slot
  int initTarget = 0;          // jobs 15 to 17
  // Job 4: a copy of the slot to load (the bank may change while the job runs), and whether the
  // performance's parts are then re-selected (DeviceSender::ReselectPerformanceParts), the
  // current performance sent (job 0's routine) and, 1000 ms later, the edit buffer requested
  // to the editor (job 6's routine), all on the jobs thread.
  LibrarianSlot slot;
  bool reselectParts = false;
  // Job 7: a program change (0..127) sent to the part first, so that a program change received
  // from the host or the synthesizer is followed up on the jobs thread; -1 for none.
  int programChange = -1;
};

// What the synthesizer link needs of the main plug-in object: the flags that several threads
// share, the queue the audio callback drains, and a few operations. The main class implements
// it; link tests use a double.
class LinkHost
{
public:
  virtual ~LinkHost() = default;

  // ---- parameters and editor ----
  // Plain value of a parameter; 0 for an index outside the table.
  virtual double ParamValue(int index) = 0;
  virtual double ParamNormalised(int index) = 0;
  virtual double ParamMinimum(int index) = 0;
  // Sets a parameter's plain value (clamped to its range) and moves its controls, without
  // calling any change handler.
  virtual void SetParamInEditor(int index, double value) = 0;
  virtual bool EditorOpen() = 0;
  // The first status line (statusDisplay) and the MIDI display (midiDisplay).
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetMidiDisplayText(const std::string& text) = 0;
  // Shows a named layer group with its controls and current page.
  virtual void ShowLayer(const std::string& name) = 0;
  // The librarian model (null when there is none) and its view's loaded-slot number.
  virtual PatchLibrarian* Librarian() = 0;
  virtual void SetLoadedSlot(int slot) = 0;

  // The configuration with the reverse controller and NRPN maps; null while there is none.
  virtual ConfigReader* LinkConfig() = 0;
  // Runs the main class's change handler, or its secondary one, for a parameter that a received
  // message has set (under the parameter lock, which they take).
  virtual void RunChangeHandler(int index) = 0;
  virtual void RunSecondaryChangeHandler(int index) = 0;
  // The librarian view's active side (0 left, 1 right), and the program a received program change
  // selected made the view's selected left cell, the librarian's selected left slot and the view's
  // loaded slot.
  virtual int LibrarianViewSide() = 0;
  virtual void StoreReceivedProgram(int program) = 0;
  // The transfer worker's reception as the incoming side sees it: whether an edit-buffer receive is
  // on; preparing one (the three receive records disarmed, reply complete cleared, edit-buffer
  // receive on); giving up one that will not come (edit-buffer receive off); and a received
  // program change (its time, and whether the librarian took it).
  virtual bool EditBufferReceiveOn() = 0;
  virtual void PrepareEditBufferReceive() = 0;
  virtual void CancelEditBufferReceive() = 0;
  virtual void ProgramChangeReceived(bool consumedByLibrarian) = 0;

  // ---- the MIDI output port ----
  virtual bool DeviceSendShort(const IMidiMessage& message) = 0;
  virtual bool DeviceSendSysEx(const uint8_t* bytes, int length) = 0;

  // ---- the transfer worker ----
  virtual bool JobsThreadIdle() = 0;
  // Starts the job when its thread is idle; false when the post was refused.
  virtual bool PostJob(const LinkJob& job) = 0;

  // ---- time ----
  virtual Clock& LinkClock() = 0;
  // Set when the plug-in is being torn down: every sleep of the link ends at once.
  virtual std::stop_token LinkStop() = 0;

  int IntParam(int index) { return int(ParamValue(index)); }

  // ---- flags shared with the framework, the link and the librarian (0 or 1) ----
  std::atomic<uint8_t> logEnabled{0};
  std::atomic<uint8_t> editorReady{0};
  std::atomic<uint8_t> midiOutputReady{0};
  std::atomic<uint8_t> inSecondaryChange{0};
  std::atomic<uint8_t> localControlOn{0};
  std::atomic<uint8_t> queueShortMidi{0};
  std::atomic<uint8_t> ledsShowIncoming{1};
  std::array<std::atomic<uint8_t>, 14> passThrough{}; // DAW CC..SE, then HW CC..SE
  std::array<std::atomic<int32_t>, 8> ledLit{};
  std::array<std::atomic<int32_t>, 8> ledTime{};
  std::atomic<int32_t> deviceId{15};
  std::atomic<int32_t> model{0};
  std::atomic<int32_t> selectedPart{0};
  std::atomic<uint8_t> connectPending{0};
  std::atomic<uint8_t> transferBusy{0};
  std::atomic<uint8_t> hardwareAnswered{0};
  std::atomic<uint8_t> incomingMidiBlocked{0};
  std::atomic<uint8_t> requestProcessed{0};
  std::atomic<int32_t> pendingRequestId{-1};
  std::atomic<int32_t> targetSlot{0};
  std::atomic<uint8_t> replyProgressMarker{0};
  std::atomic<uint8_t> deferredJob7{0};
  std::atomic<uint8_t> clockJobStarted{0};
  std::atomic<uint8_t> transportStartSent{0};
  std::atomic<uint8_t> sendStartStop{0};
  std::atomic<uint8_t> sendClock{0};
  std::atomic<uint8_t> sendGlobalsFirst{0};
  std::atomic<uint8_t> sendPartsFirst{0};
  std::atomic<uint8_t> performanceSend{0};
  std::atomic<uint8_t> uiUpdate{0};
  std::atomic<uint8_t> partChannels{0};
  std::array<std::atomic<int32_t>, 8> savedPartChannels{};
  std::atomic<uint8_t> conflictWindowSuppressed{0};
  std::atomic<uint8_t> conflictWindowSuppressed2{0};
  std::atomic<uint8_t> reselectingParts{0};
  std::array<std::atomic<int32_t>, 8> lastBank{};
  std::array<std::atomic<int32_t>, 8> lastProgram{};
  std::atomic<int32_t> programBeingSelected{0};
  std::atomic<uint8_t> performanceMode{0};
  std::atomic<uint8_t> patternMode{0};
  // Set by the incoming-message handlers while a received controller moves a control, and
  // whether that controller came from the host rather than the synthesizer.
  std::atomic<uint8_t> applyingReceivedController{0};
  std::atomic<uint8_t> fromHostFlag{0};

  // Short messages for the audio callback to send (queueShortMidi).
  MidiQueue midiQueue;
};
