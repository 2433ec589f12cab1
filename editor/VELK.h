#pragma once

#include "framework/plugin/IEffectVST.h"
#include "link/LinkHost.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

class PatchManager;

// The main plug-in class: one object per AEffect handed to a host. It owns what the other
// subsystems build and keeps the flags they share.
class VELK : public IEffectVST, public LinkHost
{
public:
  // Project state layout, after the chunk header.
  static constexpr int32_t kStateTag = 0x564C4B53; // "VLKS"
  static constexpr int32_t kStateVersion = 1;

  explicit VELK(audioMasterCallback hostCallback);
  ~VELK() override;

  // The common tail of both change handlers: the parameter's MIDI map record goes to the synthesizer.
  void HandleParameterChange(int index) override;
  // Besides the base's work: All Notes Off to every enabled part at the next block with an output.
  void ResetProcessing() override;
  void HandleSecondaryParameterChange(int index) override;
  void SendParamToHardware(int index);
  // Makes no sound: follows the host's time information and leaves the audio buffers alone.
  void ProcessBlockDouble(double** inputs, double** outputs, int frames) override;
  bool WriteStateChunk(IStateChunk* chunk) override;
  // Reads the whole state before applying any of it; a state that is truncated, of another
  // version or out of bounds anywhere answers -1 and changes nothing.
  int ReadStateChunk(IStateChunk* chunk, int position) override;

  // Writes a line to the diagnostic log while it is enabled.
  void Log(const std::string& message) const;

  PatchManager* GetPatchManager() const { return mPatchManager.get(); }
  const std::string& DataFolder() const { return mDataFolder; }
  const std::string& LogPath() const { return mLogPath; }
  bool LogEnabled() const { return logEnabled.load(); }
  // The host's transport as of the last processed block.
  HostTransportInfo LastTransport();

  // ---- the synthesizer link's view of the plug-in (LinkHost); the shared flags live there ----
  double ParamValue(int index) override;
  double ParamNormalised(int index) override;
  double ParamMinimum(int index) override;
  void SetParamInEditor(int index, double value) override;
  bool EditorOpen() override { return mEditorOpen.load(); }
  void SetStatusText(const std::string& text) override;
  void SetMidiDisplayText(const std::string& text) override;
  void ShowLayer(const std::string& name) override;
  // Not built into the plug-in yet: no librarian, no view.
  PatchLibrarian* Librarian() override { return nullptr; }
  void SetLoadedSlot(int) override {}
  bool DeviceSendShort(const IMidiMessage& message) override;
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override;
  // The transfer worker is not built yet: no job thread is idle and every post is refused.
  bool JobsThreadIdle() override { return false; }
  bool PostJob(const LinkJob&) override { return false; }
  Clock& LinkClock() override;
  std::stop_token LinkStop() override { return mLinkStop.get_token(); }
  void OnEditorOpened() override { mEditorOpen = true; }
  void OnEditorClosing() override { mEditorOpen = false; }
  std::string StatusText();
  std::string MidiDisplayText();

private:
  std::string mDataFolder;
  std::string mLogPath;
  std::unique_ptr<PatchManager> mPatchManager;
  HostTransportInfo mTransport; // written by the audio thread under the parameter lock
  std::atomic<bool> mEditorOpen{false};
  std::atomic<bool> mNotesOffPending{false};
  std::stop_source mLinkStop; // requested first thing in the destructor: the link's sleeps end
  std::mutex mTextMutex;
  std::string mStatusText, mMidiDisplayText; // until the editor's text controls exist
};
