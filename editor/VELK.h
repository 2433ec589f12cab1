#pragma once

#include "framework/plugin/IEffectVST.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class PatchManager;

// The main plug-in class: one object per AEffect handed to a host. It owns what the other
// subsystems build and keeps the flags they share.
class VELK : public IEffectVST
{
public:
  // Project state layout, after the chunk header.
  static constexpr int32_t kStateTag = 0x564C4B53; // "VLKS"
  static constexpr int32_t kStateVersion = 1;

  explicit VELK(audioMasterCallback hostCallback);
  ~VELK() override;

  void HandleSecondaryParameterChange(int index) override;
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

private:
  std::string mDataFolder;
  std::string mLogPath;
  std::unique_ptr<PatchManager> mPatchManager;
  HostTransportInfo mTransport; // written by the audio thread under the parameter lock
};
