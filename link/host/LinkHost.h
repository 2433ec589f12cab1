#pragma once

#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ParameterRange.h"
#include "link/host/LinkJob.h"
#include "platform/clock/Clock.h"

#include <cstdint>
#include <stop_token>
#include <string>

class ConfigReader;
class PatchLibrarian;
struct LinkState;

// What the synthesizer link asks of the main plug-in object: a few operations and the state the
// two share (LinkState). The main class implements it; link tests use a double.
class LinkHost
{
public:
  virtual ~LinkHost() = default;

  // The flags and the queue the link and its owner share.
  virtual LinkState& State() = 0;

  // ---- parameters and editor ----
  // Plain value of a parameter; 0 for an index outside the table.
  virtual double ParamValue(int index) = 0;
  virtual double ParamNormalised(int index) = 0;
  virtual double ParamMinimum(int index) = 0;
  // Sets a parameter's plain value (clamped to its range) and moves its controls, without
  // calling any change handler.
  virtual void SetParamInEditor(int index, double value) = 0;
  virtual bool EditorOpen() = 0;
  // The first status line and the MIDI display.
  virtual void SetStatusText(const std::string& text) = 0;
  // The same from the host's processing thread, which may neither allocate nor wait on the status
  // lines' lock: a text that lives for the whole process, said by the next idle call.
  virtual void SetStatusTextFromProcessing(const char* text) { SetStatusText(text); }
  virtual void SetMidiDisplayText(const std::string& text) = 0;
  // Shows a named layer group with its controls and current page.
  virtual void ShowLayer(const std::string& name) = 0;
  // Asks the user about a program selection of the part that another enabled part already uses:
  // the conflict window, which names the other part.
  virtual void ShowProgramConflict(int part, int otherPart)
  {
    (void)part;
    (void)otherPart;
    ShowLayer("bankPatchConflictWindow");
  }
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

  // An integer setting as the synthesizer and the editor read it: rounded, so that a value a hair
  // below a whole number is that number (every integer parameter steps by 1).
  int IntParam(int index) { return NearestWhole(ParamValue(index)); }
};
