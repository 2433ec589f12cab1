#pragma once

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
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

class ConfigReader;
class IContactControl;
class IControl;
class ITextControl;
class LayerGroup;
class LibrarianViewControl;
class PageLayers;
class PartView;
class PatchLibrarian;
class PatchManager;
class PortRecall;
class ProgressIndicator;
class TransferRoutes;
class TransferWorker;

// The main plug-in class: one object per AEffect handed to a host. It owns what the other
// subsystems build and keeps the flags they share.
class VELK : public IEffectVST, public LinkHost, public LinkState, public ILibrarianHost, public TransferHost
{
public:
  // Project state layout, after the chunk header. Version 2 adds the device id and model the
  // plug-in was talking to; version 1 projects still load (both then come from their parameters).
  static constexpr int32_t kStateTag = 0x564C4B53; // "VLKS"
  static constexpr int32_t kStateVersion = 2;
  static constexpr int32_t kOldestStateVersion = 1;
  // Editor size at normal scale.
  static constexpr int kEditorWidth = 1500;
  static constexpr int kEditorHeight = 757;
  // The layer groups the link and the librarian look up by name.
  static constexpr const char* kNamedLayers[] = {"miniMixer",
                                                 "miniMixer2",
                                                 "bankPatchConflictWindow",
                                                 "searchField",
                                                 "categoryLimit",
                                                 "discardChangesLayerRight",
                                                 "saveChangesLayer",
                                                 "keepBankOpenLayer",
                                                 "UPPERPOPUPMENU",
                                                 "LeftPerformancePopupMenu",
                                                 "LeftPatternPopupMenu"};
  static constexpr const char* kProgressLayerName = "PROGRESS";
  // The page of the progress group that holds the two cancel buttons, above the overlay.
  static constexpr const char* kCancelLayerName = "PROGRESS CANCEL";
  static constexpr int kCancelPageId = 1;
  // Where the cancel buttons sit, at normal size: the editor's in the overlay's box, the librarian's
  // in the top bar's free corner right of the random button, where it hides no control or title.
  static constexpr int kCancelButtonAt[2][2] = {{835, 457}, {1380, 9}};
  // The librarian's menu buttons above its view, at normal size.
  static constexpr int kLibrarianMenuHeight = 20;
  // Which cancel button belongs to which view.
  static constexpr int kEditorCancel = 0;
  static constexpr int kLibrarianCancel = 1;
  // Texts of a reception while a request is pending.
  static constexpr const char* kRequestInProgress = "Data Request In Progress...";
  static constexpr const char* kRequestProcessed = "Data Request Processed - Please wait!";
  static constexpr const char* kRequestCompleted = "Data Request Completed!";
  // When the MIDI server (JACK) went away under the open ports.
  static constexpr const char* kMidiServerStopped = "MIDI server stopped: choose the MIDI ports again";

  explicit VELK(audioMasterCallback hostCallback);
  ~VELK() override;

  // The common tail of both change handlers: the parameter's MIDI map record goes to the synthesizer.
  void HandleParameterChange(int index) override;
  // Besides the base's work: All Notes Off to every enabled part at the next block with an output.
  void ResetProcessing() override;
  void HandleSecondaryParameterChange(int index) override;
  // The transfers' waiting work, away from the parameter lock.
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
  void SetStatusText(const std::string& text) override;
  void SetMidiDisplayText(const std::string& text) override;
  // The value field beside the controller (kControlDisplayValue).
  void SetValueDisplayText(const std::string& text);
  std::string ValueDisplayText();
  void ShowLayer(const std::string& name) override;
  PatchLibrarian* Librarian() override { return mLibrarian.get(); }
  // The librarian view's loaded slot (nothing without a view in the document).
  void SetLoadedSlot(int slot) override;
  bool DeviceSendShort(const IMidiMessage& message) override;
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override;
  bool JobsThreadIdle() override;
  bool PostJob(const LinkJob& job) override;
  Clock& LinkClock() override;
  std::stop_token LinkStop() override { return mLinkStop.get_token(); }
  ConfigReader* LinkConfig() override { return mConfig.get(); }
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
  std::string StatusText();
  std::string MidiDisplayText();

  // ---- editor core (construction, texts, pages, project recall) ----
  const UISettings& GetUISettings() const { return mUISettings; }
  double UiScale() const { return mUISettings.Scale(); }
  ConfigReader* Config() const { return mConfig.get(); }
  LibrarianViewControl* LibrarianView() const { return mLibrarianView; }
  // A layer group of the document by name; null (and a log line) for one it did not create.
  LayerGroup* NamedLayer(const std::string& name) const;
  // The group that holds the progress overlay and its cancel buttons, over everything else. The
  // link puts its ProgressIndicator here (before the cancel buttons, so they stay clickable).
  LayerGroup* ProgressLayer() const { return mProgressLayer; }
  IContactControl* CancelButton(int i) const
  {
    return (i == 0 || i == 1) ? mCancelButtons[size_t(i)] : nullptr;
  }
  // The second (category) and third (transfer progress) status lines; the text is cleared.
  void SetInfoText(std::string& text);
  void SetProgressText(std::string& text);
  std::string InfoText();
  std::string ProgressText();
  // Page selection of a group; both forms change nothing (and log) for an unknown page.
  bool SelectPage(LayerGroup* group, int pageId);
  bool SelectPageInBlock(LayerGroup* group, int pageId);
  // Project recall's port selection, carried out away from the parameter lock (tests wait on it).
  bool WaitForPortRecall(int milliseconds);

  // The diagnostic log is on (set in the constructor, before any other thread runs).
  std::atomic<uint8_t> logEnabled{0};
  // The text controls of kControlDisplayName and kControlDisplayCC (null without a document).
  ITextControl* statusDisplay = nullptr;
  ITextControl* midiDisplay = nullptr;

  // ---- transfers (link/TransferWorker) ----
  TransferWorker* Worker() const { return mWorker.get(); }
  ProgressIndicator* Progress() const { return mProgress; }
  // Every SysEx message from either side, on the MIDI input thread: filtered, matched to a
  // pending request, then handed to the worker's receive dispatcher.
  void HandleSysExMessage(ISysExMessage* message, bool fromDevice) override;
  // Overlay and cancel button while a job runs; the librarian's search controls back afterwards.
  void SetTransferBusy(bool on) override;
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
  void LookUpNamedControls();
  // The librarian's menu buttons, in the page that holds its view (none without a view).
  void AddLibrarianMenus();
  // The member bytes kept for a parameter's value (change handler and project recall).
  void KeepMemberBytes(int index);
  // A parameter whose record has a page layer shows the page its value names there; the page
  // tabs and the multi views show theirs (first page id + value) in their layers.
  void ShowRecordPage(int index);
  // The display fields follow a control that moved: its name, value text and controller.
  void ShowValue(int index);
  void SelectRecalledPorts(const std::string& input, const std::string& output);
  void ShowChosenPort(int menu, int entry, const std::string& name);
  // On the port-selection thread once the MIDI server went away: drops the lost clients and says so.
  void MidiServerStopped();
  void SelectPortFromMenu(int index);
  void SetLineText(ITextControl* control, std::string& store, std::string& text);

  void HideLayer(const std::string& name);

  std::unique_ptr<TransferWorker> mWorker;
  std::unique_ptr<TransferRoutes> mRoutes; // posts to mWorker
  ProgressIndicator* mProgress = nullptr; // owned by the progress group
  std::vector<std::string> mCategoryNames;
  UISettings mUISettings;
  std::unique_ptr<PatchLibrarian> mLibrarian;
  std::unique_ptr<ConfigReader> mConfig;
  LibrarianViewControl* mLibrarianView = nullptr;
  std::map<std::string, LayerGroup*> mNamedLayers;
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
  LayerGroup* mProgressLayer = nullptr;
  std::array<IContactControl*, 2> mCancelButtons{};
  // The chosen part's panels on every page, and the sections that a value chooses.
  std::unique_ptr<PartView> mPartView;
  std::unique_ptr<PageLayers> mPageLayers;
  ITextControl* mValueDisplay = nullptr;
  ITextControl* mInfoDisplay = nullptr;
  ITextControl* mProgressDisplay = nullptr;
  std::string mInfoText, mProgressText; // guarded by mTextMutex
  std::unique_ptr<PortRecall> mPortRecall;
  std::atomic<bool> mConnectAfterSelection{false}; // set by the device menu, taken by the selection
  // The name-list controls of the multi name and the eight part names (PatchManager slots 0..8).
  std::array<std::vector<IControl*>, 9> mNameControls;

  std::string mDataFolder;
  std::string mLogPath;
  std::unique_ptr<PatchManager> mPatchManager;
  HostTransportInfo mTransport; // written by the audio thread under the parameter lock
  IncomingMessages mIncoming{*this};
  std::atomic<bool> mEditorOpen{false};
  std::atomic<bool> mNotesOffPending{false};
  std::stop_source mLinkStop; // requested first thing in the destructor: the link's sleeps end
  std::mutex mTextMutex;
  std::string mStatusText, mMidiDisplayText, mValueDisplayText; // until the editor's text controls exist
};
