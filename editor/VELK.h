#pragma once

#include "editor/ConflictWindow.h"
#include "editor/EditorDocument.h"
#include "editor/ProgressOverlay.h"
#include "editor/ProjectState.h"
#include "editor/StatusLines.h"
#include "editor/UISettings.h"
#include "framework/plugin/IEffectVST.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/ILibrarianHost.h"
#include "link/incoming/IncomingMessages.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "link/host/TransferHost.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <iterator>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

class ConfigReader;
class IContactControl;
class IControl;
class LayerGroup;
class LibrarianViewControl;
class PageLayers;
class PartView;
class PatchLibrarian;
class PatchManager;
class MidiPortChoice;
class ProgressIndicator;
class TransferRoutes;
class TransferWorker;

// The main plug-in class: one object per AEffect handed to a host. It owns what the other
// subsystems build and keeps the flags they share.
class VELK : public IEffectVST, public LinkHost, public LinkState, public ILibrarianHost, public TransferHost
{
public:
  // The project state's tag and version (see ProjectState).
  static constexpr int32_t kStateTag = ProjectState::kTag;
  static constexpr int32_t kStateVersion = ProjectState::kVersion;
  // Texts of a reception while a request is pending.
  static constexpr const char* kRequestInProgress = "Data Request In Progress...";
  static constexpr const char* kRequestProcessed = "Data Request Processed - Please wait!";
  static constexpr const char* kRequestCompleted = "Data Request Completed!";
  // When the MIDI server (JACK) went away under the open ports.
  static constexpr const char* kMidiServerStopped = "MIDI server stopped: choose the MIDI ports again";
  // When messages from the processing thread found the MIDI output's queue full and were dropped.
  static constexpr const char* kMidiOutputOverflow = "MIDI output overflow";
  // When the MIDI server runs but refused our client, again after a few tries.
  static constexpr const char* kMidiServerRefused = "MIDI server did not answer: choose the MIDI ports again";

  explicit VELK(audioMasterCallback hostCallback);
  ~VELK() override;

  // The common tail of both change handlers: the parameter's MIDI map record goes to the synthesizer.
  void HandleParameterChange(int index) override;
  // Besides the base's work: All Notes Off to every enabled part at the next block with an output.
  void ResetProcessing() override;
  // A suspended host processes no blocks: the MIDI clock stops until its next block.
  void OnActivationChanged(bool on) override;
  void HandleSecondaryParameterChange(int index) override;
  // A control the user moved: only such a change is an edit that a settled dump carries.
  void SetParameterFromControl(int index, double normalised) override;
  // The transfers' waiting work, away from the parameter lock; the status line says once when
  // messages the processing thread sent were dropped for want of room since the last idle call.
  void OnEditorIdle() override;
  void SendParamToHardware(int index);
  // Short messages from the synthesizer (MIDI input thread) and the host (processing thread).
  void HandleMidiMessage(IMidiMessage* message, bool fromDevice) override;
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

  // ---- the synthesizer link's view of the plug-in (LinkHost); the shared flags are LinkState ----
  LinkState& State() override { return *this; }
  double ParamValue(int index) override;
  double ParamNormalised(int index) override;
  double ParamMinimum(int index) override;
  void SetParamInEditor(int index, double value) override;
  bool EditorOpen() override { return mEditorOpen.load(); }
  void SetStatusText(const std::string& text) override { mLines.Set(StatusLines::kStatus, text); }
  void SetStatusTextFromProcessing(const char* text) override { mStatusFromProcessing = text; }
  void SetMidiDisplayText(const std::string& text) override { mLines.Set(StatusLines::kMidi, text); }
  void ShowLayer(const std::string& name) override;
  // The conflict window, naming the other part and the bank and program the part was to get.
  void ShowProgramConflict(int part, int otherPart) override;
  PatchLibrarian* Librarian() override { return mLibrarian.get(); }
  // The librarian view's loaded slot (nothing without a view in the document).
  void SetLoadedSlot(int slot) override;
  bool DeviceSendShort(const IMidiMessage& message) override;
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override;
  bool JobsThreadIdle() override;
  bool PostJob(const LinkJob& job) override;
  Clock& LinkClock() override;
  std::stop_token LinkStop() override { return mLinkStop.get_token(); }
  ConfigReader* LinkConfig() override { return mDocument.Config(); }
  void RunChangeHandler(int index) override;
  void RunSecondaryChangeHandler(int index) override;
  int LibrarianViewSide() override;
  void StoreReceivedProgram(int program) override;
  // The incoming side's view of the worker's reception bytes.
  bool EditBufferReceiveOn() override;
  void PrepareEditBufferReceive() override;
  void CancelEditBufferReceive() override;
  void ProgramChangeReceived(bool consumedByLibrarian) override;
  // The UI-update flag follows the editor: the initial-slot jobs run only while it shows their result.
  void OnEditorOpened() override
  {
    mEditorOpen = true;
    uiUpdate = 1;
  }
  void OnEditorClosing() override
  {
    mEditorOpen = false;
    uiUpdate = 0;
  }
  // The editor's text lines, with the texts they were last given.
  const StatusLines& Lines() const { return mLines; }
  std::string StatusText() const { return mLines.Text(StatusLines::kStatus); }
  std::string MidiDisplayText() const { return mLines.Text(StatusLines::kMidi); }
  std::string ValueDisplayText() const { return mLines.Text(StatusLines::kValue); }

  // ---- editor core (construction, texts, pages, project recall) ----
  const UISettings& GetUISettings() const { return mUISettings; }
  double UiScale() const { return mUISettings.Scale(); }
  ConfigReader* Config() const { return mDocument.Config(); }
  LibrarianViewControl* LibrarianView() const { return mDocument.LibrarianView(); }
  // A layer group of the document by name; null (and a log line) for one it did not create.
  LayerGroup* NamedLayer(const std::string& name) const;
  // The group that holds the progress overlay and its cancel buttons, over everything else.
  LayerGroup* ProgressLayer() const { return mOverlay.Layer(); }
  IContactControl* CancelButton(int i) const { return mOverlay.CancelButton(i); }
  const ConflictWindow& Conflict() const { return mConflict; }
  // The second (category) and third (transfer progress) status lines.
  void SetInfoText(const std::string& text) { mLines.Set(StatusLines::kInfo, text); }
  void SetProgressText(const std::string& text) { mLines.Set(StatusLines::kProgress, text); }
  std::string InfoText() const { return mLines.Text(StatusLines::kInfo); }
  std::string ProgressText() const { return mLines.Text(StatusLines::kProgress); }
  // Page selection of a group; both forms change nothing (and log) for an unknown page.
  bool SelectPage(LayerGroup* group, int pageId);
  bool SelectPageInBlock(LayerGroup* group, int pageId);
  // Project recall's port selection, carried out away from the parameter lock (tests wait on it).
  bool WaitForPortRecall(int milliseconds);

  // The diagnostic log is on (set in the constructor, before any other thread runs).
  std::atomic<uint8_t> logEnabled{0};

  // ---- transfers (link/transfer/TransferWorker) ----
  TransferWorker* Worker() const { return mWorker.get(); }
  ProgressIndicator* Progress() const { return mOverlay.Indicator(); }
  // Every SysEx message from either side, on the MIDI input thread: filtered, matched to a
  // pending request, then handed to the worker's receive dispatcher.
  void HandleSysExMessage(ISysExMessage* message, bool fromDevice) override;
  // Overlay and the view's cancel button while a job runs (the librarian's search controls hidden),
  // the search controls back afterwards; either way the short busy flag ends.
  void ShowTransferOverlay(bool shown) override;
  // Prepares the next reception: into the editor, or into a librarian slot of the current mode.
  void ArmReceive(bool intoLibrarian);
  // Ends a reception into the librarian: the bank shows as edited and unsaved.
  void FinishReceive() override;
  IEffectBase& DumpPlug() override { return *this; }
  DumpContext CurrentDumpContext() override;
  void SetPartTexts(const std::string& info, const std::string& progress) override;
  void LibrarianSlotReceived() override;
  void RefreshMainView() override;
  void StoreProjectName(int slot, const std::string& name) override;

  // ---- what the librarian's view and menus ask (ILibrarianHost) ----
  void LibrarianSendSlot(int slot, int side) override;
  void LibrarianRequestBank(int mode, int bank) override;
  void LibrarianStoreBank(int side, int mode, int bank) override;
  void LibrarianSelectProgram(int bank, int program) override;
  int LibrarianPartBank() override;
  int LibrarianPartProgram() override;
  void LibrarianStatus(const std::string& text) override;
  void LibrarianTransfer(Transfer transfer, int bank) override;
  TransferRoutes* Routes() const { return mRoutes.get(); }

private:
  // ---- editor core ----
  void BuildEditor();
  // The member bytes kept for a parameter's value (change handler and project recall).
  void KeepMemberBytes(int index);
  // A parameter whose record has a page layer shows the page its value names there; the page
  // tabs and the multi views show theirs (first page id + value) in their layers.
  void ShowRecordPage(int index);
  // The display fields follow a control that moved: its name, value text and controller.
  void ShowValue(int index);

  void HideLayer(const std::string& name);
  // The conflict window's buttons (send the selection anyway, cancel it), and what closes the window
  // as a cancel does: a page, a part or another program chosen meanwhile.
  void AnswerConflict(int index);

  std::unique_ptr<TransferWorker> mWorker;
  std::unique_ptr<TransferRoutes> mRoutes; // posts to mWorker
  ProgressOverlay mOverlay;
  ConflictWindow mConflict;
  StatusLines mLines;
  std::vector<std::string> mCategoryNames;
  UISettings mUISettings;
  std::unique_ptr<PatchLibrarian> mLibrarian;
  EditorDocument mDocument{[this](const std::string& line) { Log(line); }};
  // Parameters whose value picks a page of a layer: page id = first page + value. kInBlock leaves
  // the layer's children outside the page's block of ids (its popups) alone; kPopup opens the
  // layer on its page for a value other than 0 and closes it for 0.
  enum class PageKind
  {
    kPages,
    kInBlock,
    kPopup
  };
  struct ValuePages
  {
    int index;
    const char* layer;
    int firstPage;
    PageKind kind;
  };
  static constexpr ValuePages kValuePages[] = {
      {kMainTab, "pages", 10, PageKind::kPages},
      {kMultiSettings, "multiPage", 50, PageKind::kInBlock},
      {kViewMIDIFilterSettings, "midiFilterWindow", 90, PageKind::kPopup}};
  std::array<LayerGroup*, std::size(kValuePages)> mValuePageLayers{};
  // The part settings window: a part's gear opens it on that part's page (101 + part).
  LayerGroup* mPartSettingsLayer = nullptr;
  // The chosen part's panels on every page, and the sections that a value chooses.
  std::unique_ptr<PartView> mPartView;
  std::unique_ptr<PageLayers> mPageLayers;
  std::unique_ptr<MidiPortChoice> mPorts; // the device menus' and a recalled project's ports

  std::string mDataFolder;
  std::string mLogPath;
  std::unique_ptr<PatchManager> mPatchManager;
  HostTransportInfo mTransport; // written by the audio thread under the parameter lock
  IncomingMessages mIncoming{*this};
  std::atomic<bool> mEditorOpen{false};
  std::atomic<bool> mNotesOffPending{false};
  int mControlEdit = -1; // the parameter a control is setting, under the parameter lock
  // The output overflows seen by the last idle call, and whether they were still rising then.
  uint64_t mOutputOverflowsSeen = 0;
  bool mOutputOverflowing = false;
  // A text the processing thread left for the status line (see SetStatusTextFromProcessing).
  std::atomic<const char*> mStatusFromProcessing{nullptr};
  std::stop_source mLinkStop; // requested first thing in the destructor: the link's sleeps end
};
