#include "editor/VELK.h"

#include "config/ConfigReader.h"
#include "editor/PageLayers.h"
#include "editor/PageSelection.h"
#include "editor/PartView.h"
#include "editor/PatchManager.h"
#include "editor/MidiPortChoice.h"
#include "editor/TransferRoutes.h"
#include "editor/ValueDisplay.h"
#include "editor/WriteBuildLog.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "framework/plugin/IParameter.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/GlobalDump.h"
#include "link/output/DeviceSender.h"
#include "link/output/ParameterOutput.h"
#include "link/transfer/TransferWorker.h"
#include "platform/clock/SystemClock.h"
#include "platform/settings/SettingsStore.h"

#include <filesystem>
#include <fstream>
#include <vector>

IEffectVST* CreatePlugin(audioMasterCallback hostCallback)
{
  return new VELK(hostCallback);
}

VELK::VELK(audioMasterCallback hostCallback) : IEffectVST(hostCallback)
{
  InitEffectRecord();

  mDataFolder = SettingsStore::DataFolder();
  if (!mDataFolder.empty())
  {
    // The log is opt-in: it is written only when its file already exists, and starts empty.
    const std::string path = mDataFolder + "/VELK Editor LOG.txt";
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
    {
      std::ofstream truncate(path, std::ios::out | std::ios::trunc);
      if (truncate.is_open())
      {
        mLogPath = path;
        logEnabled = 1;
      }
    }
  }
  Log("INITIALIZATION STARTED!");

  mPorts = std::make_unique<MidiPortChoice>(*this);
  mUISettings = UISettings::Load(mDataFolder);
  Log("UI settings: scale " + std::to_string(mUISettings.Scale()) + ", colour scheme " +
      std::to_string(mUISettings.colourScheme));

  mPatchManager = std::make_unique<PatchManager>();
  mLibrarian = std::make_unique<PatchLibrarian>();
  Log("Project names and librarian ready");

  BuildEditor();

  // The pass-through switches as their parameters stand (on unless filtered).
  for (int i = kMIDIFilterDAWCCPassThrough; i <= kMIDIFilterDAWSEPassThrough; ++i)
    KeepMemberBytes(i);
  for (int i = kMIDIFilterHWCCPassThrough; i <= kMIDIFilterHWSEPassThrough; ++i)
    KeepMemberBytes(i);

  // The progress overlay, then the worker whose jobs show it.
  if (ConfigReader* config = mDocument.Config())
  {
    const double scale = mUISettings.Scale();
    mOverlay.AddIndicator(this, *config, int(EditorDocument::kEditorWidth * scale),
                          int(EditorDocument::kEditorHeight * scale));
    mCategoryNames = config->GetValueList("categoryName");
  }
  mWorker = std::make_unique<TransferWorker>(*this, *this);
  mRoutes = std::make_unique<TransferRoutes>(*this, *this, *mWorker);

  FillEmptyPresets("-", 64);
  editorReady = 1;
  Log("Plug-in is ready to load!");
}

// ---- editor core: construction ----

void VELK::BuildEditor()
{
  mDocument.Build({*this, mUISettings, mLibrarian.get(), *mPatchManager, mOverlay, mLines, logEnabled != 0});
  ConfigReader* config = mDocument.Config();
  for (size_t i = 0; i < std::size(kValuePages); ++i)
    mValuePageLayers[i] = config->GetLayer(kValuePages[i].layer);
  mPartSettingsLayer = config->GetLayer("additionalSettings");
  mPartView = std::make_unique<PartView>(dynamic_cast<IGraphics*>(Editor()));
  mPageLayers = std::make_unique<PageLayers>(*this, *config, [this](const std::string& line) { Log(line); });
  mConflict.AddTo(this, mDocument.FoundLayer(ConflictWindow::kLayerName), mUISettings.Scale());
}

VELK::~VELK()
{
  midiOutputReady = 0;
  mLinkStop.request_stop();
  // A recalled port selection must not run into the closing ports.
  if (mPorts) mPorts->Stop();
  CloseMidiPorts(); // no input handler may run while the object is torn down
  // Its jobs use everything below: cancelled, their sleeps ended, its threads joined first.
  if (mWorker) mWorker->Shutdown();
  mRoutes.reset();
  mWorker.reset();
  mPatchManager.reset();
  mDocument.Release(); // before the editor and the parameters
}

void VELK::Log(const std::string& message) const
{
  if (logEnabled) WriteBuildLog(mLogPath, message);
}

void VELK::ResetProcessing()
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IEffectVST::ResetProcessing();
  mNotesOffPending = true;
}

void VELK::OnActivationChanged(bool on)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IEffectVST::OnActivationChanged(on);
  if (!on && mWorker) mWorker->hostSuspended = 1;
}

void VELK::HandleParameterChange(int index)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IEffectVST::HandleParameterChange(index);
  KeepMemberBytes(index);
  // A name typed into the editor is the project's (its text entry changes the value to tell).
  if (index == kMultiName || (index >= kPatchName && index < kPatchName + kPartCount))
    mPatchManager->TakeNameFrom(*this, index == kMultiName
                                           ? PatchManager::kMultiName
                                           : PatchManager::kFirstPartName + index - kPatchName);
  ShowRecordPage(index);
  if (mWorker)
  {
    if (index == kCancelDataRequest && IntParam(index) != 0) mWorker->CancelJob();
    if (index == kSendMIDIClockInfo) mWorker->clockRun = IntParam(index) == 1;
  }
  // The UI settings take effect when the editor is next built; the file keeps them.
  if (index == kUserInterfaceSize || index == kUserInterfaceStyle)
  {
    const int v = IntParam(index);
    if (index == kUserInterfaceSize)
      mUISettings.size = v < 0 || v > 2 ? int(UISettings::kNormal) : v;
    else
      mUISettings.colourScheme = v == 1 ? 1 : 0;
    if (!mUISettings.Save(mDataFolder)) Log("UI settings could not be saved!");
  }
  if (index == kDeviceOutSelection || index == kDeviceInSelection) mPorts->ChosenInMenu(index);
  ShowValue(index);
  SendParamToHardware(index);
  AnswerConflict(index);
  if (mRoutes) mRoutes->ParameterChanged(index, index == mControlEdit);
}

void VELK::SetParameterFromControl(int index, double normalised)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  const int outer = mControlEdit;
  mControlEdit = index;
  IEffectVST::SetParameterFromControl(index, normalised);
  mControlEdit = outer;
}

void VELK::AnswerConflict(int index)
{
  const bool send = index == kTriggerProgControl, cancel = index == kTriggerLibControl;
  if ((send || cancel) && ParamValue(index) != 1.0) return; // the button let go
  const bool step = (index >= kPatchUp && index < kPatchUp + kPartCount) ||
                    (index >= kPatchDown && index < kPatchDown + kPartCount);
  const bool partProgram = (index >= kMultiPartBank && index < kMultiPartBank + kPartCount) ||
                           (index >= kMultiPartPatch && index < kMultiPartPatch + kPartCount) ||
                           (step && ParamValue(index) == 1.0);
  if (!send && !cancel && !partProgram && index != kMainTab && index != kQuickTab && index != kMultiBank &&
      index != kMultiPatch)
    return;
  const int part = conflictPart.exchange(-1);
  mConflict.Hide();
  // Sent anyway: no question for a duplicate until another part is selected.
  if (!send || part < 0 || !mRoutes) return;
  conflictWindowSuppressed = 1;
  mRoutes->SelectProgram(part);
}

void VELK::HandleSecondaryParameterChange(int index)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  inSecondaryChange = 1;
  IEffectVST::HandleSecondaryParameterChange(index);
  KeepMemberBytes(index);
  ShowValue(index);
  ShowRecordPage(index);
  SendParamToHardware(index); // bookkeeping and controls only: nothing leaves during a secondary change
  inSecondaryChange = 0;
}

void VELK::SendParamToHardware(int index)
{
  IParameter* param = ParameterAt(index);
  if (param && param->MidiMap())
    ParameterOutput(*this).SendParamToHardware(param->MidiMap(), index, param->Value());
}

void VELK::HandleMidiMessage(IMidiMessage* message, bool fromDevice)
{
  if (!message) return;
  try
  {
    mIncoming.HandleMidiMessage(*message, fromDevice);
  }
  catch (...)
  {
    // A message that cannot be handled is dropped; the input thread goes on.
  }
}

void VELK::RunChangeHandler(int index)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  HandleParameterChange(index);
}

void VELK::RunSecondaryChangeHandler(int index)
{
  HandleSecondaryParameterChange(index); // takes the parameter lock itself
}

bool VELK::EditBufferReceiveOn()
{
  return mWorker && mWorker->editBufferReceive;
}

void VELK::PrepareEditBufferReceive()
{
  if (!mWorker) return;
  mWorker->EndReceive(); // every record disarmed
  mWorker->replyComplete = 0;
  mWorker->editBufferReceive = 1;
}

void VELK::CancelEditBufferReceive()
{
  if (mWorker) mWorker->editBufferReceive = 0;
}

void VELK::ProgramChangeReceived(bool consumedByLibrarian)
{
  if (!mWorker) return;
  mWorker->lastProgramChangeMs = LinkClock().NowMs();
  if (consumedByLibrarian) mWorker->messageConsumed = 1;
}

int VELK::LibrarianViewSide()
{
  const LibrarianViewControl* view = LibrarianView();
  return view ? view->side.load() : 0;
}

void VELK::StoreReceivedProgram(int program)
{
  // The view highlights the librarian's selected slot: setting that selects the cell.
  if (mLibrarian) mLibrarian->selectedLeftSlot = program;
  if (LibrarianViewControl* view = LibrarianView())
  {
    view->loadedSlot = program;
    view->RequestRedraw(false);
  }
}

void VELK::ProcessBlockDouble(double**, double**, int frames)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  HostTransportInfo info = mTransport;
  HostTimeInfo(&info);
  mTransport = info;

  // Queued short messages due in this block; while queueing is off they are taken unsent. The
  // console line is left out here: the audio thread must not wait on the console. Without an
  // output they are dropped without the status text, whose string the audio thread must not build.
  DeviceSender sender(*this);
  if (midiOutputReady && mNotesOffPending.exchange(false)) sender.SendAllNotesOff(0, true, true);
  midiQueue.DrainBlock(frames,
                       [&](const IMidiMessage& message)
                       {
                         if (queueShortMidi && midiOutputReady) sender.SendMidiToHardware(message, true);
                       });
  sender.DimActivityLights();
  if (mWorker) mWorker->PostFromAudioBlock(info.playing);
  if (mRoutes) mRoutes->Tick();
}

double VELK::ParamValue(int index)
{
  const IParameter* param = ParameterAt(index);
  return param ? param->Value() : 0.0;
}

double VELK::ParamNormalised(int index)
{
  const IParameter* param = ParameterAt(index);
  return param ? param->NormalisedValue() : 0.0;
}

double VELK::ParamMinimum(int index)
{
  const IParameter* param = ParameterAt(index);
  return param ? param->Min() : 0.0;
}

void VELK::SetParamInEditor(int index, double value)
{
  // The jobs and MIDI input threads set parameters too: under the lock the host's chunk and the
  // audio block read them with.
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IParameter* param = ParameterAt(index);
  if (!param) return;
  param->SetConstrained(value);
  if (Editor()) Editor()->SyncParameterToControls(index, param->NormalisedValue(), true);
  if (mPageLayers) mPageLayers->Follow(index); // a received routing shows its diagram
}

void VELK::ShowValue(int index)
{
  const IParameter* param = ParameterAt(index);
  if (!ValueDisplay::Follows(index, param)) return;
  const ValueDisplay shown = ValueDisplay::Of(*param);
  SetStatusText(shown.name);
  mLines.Set(StatusLines::kValue, shown.value);
  // Under the host's tempo, tempo and arpeggiator speed send nothing: the controller field stays.
  const bool tempoHeld = IntParam(kOverrideTempo) == 1 &&
                         (index == kGlobalTempo || (index >= kArpSpeed && index < kArpSpeed + kPartCount));
  if (!tempoHeld) SetMidiDisplayText(shown.controller);
}

void VELK::ShowProgramConflict(int part, int otherPart)
{
  if (part < 0 || part >= kPartCount) return;
  mConflict.Show(
      ConflictWindow::Text(otherPart, IntParam(kMultiPartBank + part), IntParam(kMultiPartPatch + part)));
}

void VELK::ShowLayer(const std::string& name)
{
  if (LayerGroup* group = NamedLayer(name))
  {
    group->Hide(false);
    group->RequestRedraw();
  }
}

// ---- editor core: member bytes, texts, pages, librarian ----

void VELK::KeepMemberBytes(int index)
{
  const int v = IntParam(index);
  if (index >= kMIDIFilterDAWCCPassThrough && index <= kMIDIFilterDAWSEPassThrough)
    passThrough[size_t(index - kMIDIFilterDAWCCPassThrough)] = v != 1;
  else if (index >= kMIDIFilterHWCCPassThrough && index <= kMIDIFilterHWSEPassThrough)
    passThrough[size_t(7 + index - kMIDIFilterHWCCPassThrough)] = v != 1;
  switch (index)
  {
  case kGlobalLocalControl:
    localControlOn = LocalControlIsOn(v);
    break;
  case kMIDIFilterToDAWBuffer:
    // The two routes exclude each other.
    if (v == 1)
    {
      queueShortMidi = 1;
      SetParamInEditor(kMIDIFilterDirectToHardware, 0.0);
    }
    break;
  case kMIDIFilterDirectToHardware:
    if (v == 1)
    {
      queueShortMidi = 0;
      SetParamInEditor(kMIDIFilterToDAWBuffer, 0.0);
    }
    break;
  case kMIDIFilterTrackIncomingMIDI:
    ledsShowIncoming = v == 1;
    break;
  case kGlobalMidiChannel:
    deviceId = v;
    break;
  case kCurrentModel:
    model = v;
    break;
  case kQuickTab:
    selectedPart = v < 0 ? 0 : v > 7 ? 7 : v;
    if (mPartView) mPartView->Select(selectedPart);
    break;
  case kSendMIDIClockPointer:
    sendStartStop = v == 1;
    break;
  case kSendMIDIClockInfo:
    sendClock = v == 1;
    clockJobStarted = 0;
    break;
  case kDatatype:
    // The librarian's kind of bank: 0 programs, 1 performances, 2 patterns.
    performanceMode = v == PatchLibrarian::kPerformances;
    patternMode = v == PatchLibrarian::kPatterns;
    if (mLibrarian) mLibrarian->SetMode(v == 1 || v == 2 ? v : int(PatchLibrarian::kPrograms));
    break;
  default:
    break;
  }
}

void VELK::ShowRecordPage(int index)
{
  IParameter* param = ParameterAt(index);
  if (mPageLayers) mPageLayers->Follow(index);
  for (size_t i = 0; i < std::size(kValuePages); ++i)
  {
    if (kValuePages[i].index != index || !mValuePageLayers[i] || !param) continue;
    LayerGroup* group = mValuePageLayers[i];
    const int value = param->IntValue();
    const int page = kValuePages[i].firstPage + value;
    switch (kValuePages[i].kind)
    {
    case PageKind::kPages:
      SelectPage(group, page);
      if (mPageLayers) mPageLayers->FollowAll(); // the page shown picks up its sections' values
      break;
    case PageKind::kInBlock:
      SelectPageInBlock(group, page);
      break;
    case PageKind::kPopup:
      if (value != 0) group->SetCurrentPage(false, page);
      group->Hide(value == 0); // repaints the group either way
      break;
    }
  }
  // A gear closes the window only when the window shows its own part.
  if (mPartSettingsLayer && param && index >= kMultiPartSettings && index < kMultiPartSettings + kPartCount)
  {
    const int page = 101 + (index - kMultiPartSettings);
    const bool open = param->IntValue() != 0;
    if (!open && mPartSettingsLayer->CurrentPage() != page) return;
    if (open) mPartSettingsLayer->SetCurrentPage(false, page);
    mPartSettingsLayer->Hide(!open);
  }
}

void VELK::SetLoadedSlot(int slot)
{
  if (LibrarianViewControl* view = LibrarianView())
  {
    view->loadedSlot = slot;
    view->RequestRedraw(false);
  }
}

LayerGroup* VELK::NamedLayer(const std::string& name) const
{
  if (name == ProgressOverlay::kLayerName && mOverlay.Layer()) return mOverlay.Layer();
  return mDocument.NamedLayer(name);
}

bool VELK::SelectPage(LayerGroup* group, int pageId)
{
  return PageSelection::SelectPage(group, pageId, [this](const std::string& line) { Log(line); });
}

bool VELK::SelectPageInBlock(LayerGroup* group, int pageId)
{
  return PageSelection::SelectPageInBlock(group, pageId, [this](const std::string& line) { Log(line); });
}

void VELK::LibrarianSendSlot(int slot, int side)
{
  if (DeviceSender(*this).SendLibrarianSlot(slot, side, selectedPart.load())) return;
  LibrarianSlot stored;
  if (!mLibrarian->CopySlot(side, slot, &stored) || stored.IsEmpty())
    LibrarianStatus("Slot " + std::to_string(slot + 1) + " is empty");
  else if (!midiOutputReady)
    LibrarianStatus("Set MIDI I/O First!");
  else
    LibrarianStatus("The synthesizer is busy: slot " + std::to_string(slot + 1) + " was not sent");
}

// Bank transfers run on the worker's jobs thread; a refused post (a transfer already running, or
// no output) is said plainly instead of nothing happening.
void VELK::LibrarianRequestBank(int mode, int bank)
{
  if (!midiOutputReady)
  {
    LibrarianStatus("Set MIDI I/O First!");
    return;
  }
  bool posted = false;
  if (mWorker)
  {
    if (mode == PatchLibrarian::kPerformances)
      posted = mWorker->RequestPerformanceBank(bank);
    else if (mode == PatchLibrarian::kPatterns)
      posted = mWorker->RequestPatternBank();
    else
      posted = mWorker->RequestProgramBank(bank);
  }
  if (!posted) LibrarianStatus("A transfer is running: the bank was not requested");
}

void VELK::LibrarianStoreBank(int side, int, int bank)
{
  if (!midiOutputReady)
  {
    LibrarianStatus("Set MIDI I/O First!");
    return;
  }
  LinkJob job;
  job.code = LinkJobCode::kWriteBank;
  job.side = side;
  job.bank = bank;
  if (!mWorker || !mWorker->Post(job)) LibrarianStatus("A transfer is running: the bank was not written");
}

void VELK::LibrarianSelectProgram(int bank, int program)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  const int part = selectedPart.load();
  SetParamInEditor(kMultiPartBank + part, bank);
  SetParamInEditor(kMultiPartPatch + part, program);
  // One change handler run selects both on the synthesizer.
  HandleParameterChange(kMultiPartPatch + part);
}

int VELK::LibrarianPartBank()
{
  return IntParam(kMultiPartBank + selectedPart.load());
}

int VELK::LibrarianPartProgram()
{
  return IntParam(kMultiPartPatch + selectedPart.load());
}

void VELK::LibrarianStatus(const std::string& text)
{
  SetStatusText(text);
}

void VELK::OnEditorIdle()
{
  // The processing thread only counts what it dropped (it builds no text): said here, once a burst.
  const uint64_t overflows = MidiPorts().OutputOverflows();
  const bool rising = overflows != mOutputOverflowsSeen;
  if (rising && !mOutputOverflowing) SetStatusText(kMidiOutputOverflow);
  if (const char* text = mStatusFromProcessing.exchange(nullptr)) SetStatusText(text);
  mOutputOverflowsSeen = overflows;
  mOutputOverflowing = rising;
  if (mRoutes) mRoutes->IdleTick();
}

void VELK::LibrarianTransfer(Transfer transfer, int bank)
{
  if (mRoutes) mRoutes->Transfer(transfer, bank);
}

bool VELK::WaitForPortRecall(int milliseconds)
{
  return !mPorts || mPorts->WaitIdle(milliseconds);
}

bool VELK::DeviceSendShort(const IMidiMessage& message)
{
  IMidiMessage copy = message;
  return SendMidiToDevice(&copy);
}

bool VELK::DeviceSendSysEx(const uint8_t* bytes, int length)
{
  return SendSysExToDevice(bytes, length);
}

Clock& VELK::LinkClock()
{
  return SystemClock();
}

HostTransportInfo VELK::LastTransport()
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  return mTransport;
}

bool VELK::WriteStateChunk(IStateChunk* chunk)
{
  if (!chunk) return false;
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  ProjectState state;
  state.names = mPatchManager->Names();
  state.deviceId = deviceId.load();
  state.model = model.load();
  return state.Write(*chunk, *this);
}

int VELK::ReadStateChunk(IStateChunk* chunk, int position)
{
  if (!chunk || position < 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  ProjectState state;
  position = state.Read(*chunk, position, AutomatedCount(), NonAutomatedCount());
  if (position < 0) return -1;

  // Everything read: apply it at once, each value where its control would put it.
  SetRecalledValues(0, state.values.data(), int(state.values.size()), true);
  // The two routes exclude each other (KeepMemberBytes): a state with both on keeps the one to the
  // DAW buffer. Resolved as part of the recall, so that the other route's control is told once.
  if (IntParam(kMIDIFilterToDAWBuffer) == 1 && IntParam(kMIDIFilterDirectToHardware) == 1)
    SetRecalledValue(kMIDIFilterDirectToHardware, 0.0, true);
  mPatchManager->SetNames(state.names);
  mPatchManager->ShowNamesIn(*this);
  for (int index : {int(kGlobalLocalControl), int(kMIDIFilterTrackIncomingMIDI), int(kMIDIFilterToDAWBuffer),
                    int(kMIDIFilterDirectToHardware), int(kGlobalMidiChannel), int(kCurrentModel),
                    int(kQuickTab), int(kSendMIDIClockPointer), int(kSendMIDIClockInfo), int(kDatatype)})
    KeepMemberBytes(index);
  for (int index = kMIDIFilterDAWCCPassThrough; index <= kMIDIFilterHWSEPassThrough; ++index)
    KeepMemberBytes(index);
  // The recalled tab, views and part show their pages, as choosing them does, and the part
  // settings window is open or closed as the recalled gears leave it.
  for (const ValuePages& pages : kValuePages)
    ShowRecordPage(pages.index);
  for (int part = 0; part < kPartCount; ++part)
    ShowRecordPage(kMultiPartSettings + part);
  if (mPageLayers) mPageLayers->FollowAll();
  if (state.version >= 2)
  {
    deviceId = state.deviceId;
    model = state.model;
  }
  // The ports are selected by name away from this lock (see MidiPortChoice).
  mPorts->Recall(state.names[PatchManager::kMidiInputName], state.names[PatchManager::kMidiOutputName]);
  editorReady = 1;
  return position;
}

// ---- transfers ----

bool VELK::JobsThreadIdle()
{
  return mWorker && mWorker->LaneIdle(TransferWorker::kJobsLane);
}

bool VELK::PostJob(const LinkJob& job)
{
  return mWorker && mWorker->Post(job);
}

void VELK::HandleSysExMessage(ISysExMessage* message, bool fromDevice)
{
  if (!message || !message->bytes || message->size <= 0 || !mWorker) return;
  const uint8_t* bytes = message->bytes;
  const size_t size = size_t(message->size);

  const size_t sysExSwitch = fromDevice ? 13 : 6; // HW SE, DAW SE
  if (transferBusy || !passThrough[sysExSwitch] || incomingMidiBlocked) return;

  // Only program messages carry the part a pending request asked for (byte 8); every other
  // answer goes on, or it would be dropped until the request timed out.
  const int pending = pendingRequestId;
  const bool programMessage =
      size > 8 && (IsDumpOfType(bytes, size, 0x00) || IsDumpOfType(bytes, size, 0x1E));
  if (pending >= 0 && programMessage)
  {
    if (bytes[8] != pending)
    {
      if (!requestProcessed) SetStatusText(kRequestInProgress);
      return;
    }
    if (size < 30 || size > 295) requestProcessed = 1;
    SetStatusText(kRequestProcessed);
  }

  mWorker->ReceiveSysExMessage(bytes, size, fromDevice);

  for (const char* name : {"miniMixer", "miniMixer2"})
    if (LayerGroup* group = mDocument.FoundLayer(name)) group->RequestRedraw();
  if (mWorker->replyComplete) hardwareAnswered = 1;
  if (requestProcessed) SetStatusText(kRequestCompleted);
}

void VELK::HideLayer(const std::string& name)
{
  if (LayerGroup* group = NamedLayer(name))
  {
    group->Hide(true);
    group->RequestRedraw();
  }
}

void VELK::ShowTransferOverlay(bool shown)
{
  // A job's overlay, going up or down, ends the short busy of a single send: the job's answers come in.
  transferBusy = 0;
  IControl* search = mDocument.FirstControlOf(kPatchSearch);
  const bool librarianView = IntParam(kMainTab) == 1;
  if (shown)
  {
    mOverlay.Show(librarianView ? ProgressOverlay::kLibrarianCancel : ProgressOverlay::kEditorCancel);
    if (librarianView)
    {
      HideLayer("categoryLimit");
      HideLayer("searchField");
      if (search) search->SetGreyed(true);
    }
    return;
  }
  mOverlay.Hide();
  if (mWorker) mWorker->editBufferReceive = 0;
  if (librarianView && !performanceMode && !patternMode)
  {
    ShowLayer(IntParam(kPatchSearch) == 1 ? "searchField" : "categoryLimit");
    if (search) search->SetGreyed(false);
  }
}

void VELK::ArmReceive(bool intoLibrarian)
{
  if (mWorker) mWorker->ArmReceive(intoLibrarian);
}

void VELK::FinishReceive()
{
  if (mWorker) mWorker->EndReceive();
  SetParamInEditor(kBankEditUnsaved, 1.0);
  SetParamInEditor(kDiscardBankData, 0.0);
  ShowLayer("discardChangesLayerRight");
  ShowLayer("saveChangesLayer");
  HideLayer("keepBankOpenLayer");
  if (performanceMode)
  {
    HideLayer("LeftPerformancePopupMenu");
    SetStatusText("Multi received to slot(s)");
  }
  else if (patternMode)
  {
    HideLayer("LeftPatternPopupMenu");
    SetStatusText("Pattern received to slot(s)");
  }
  else
  {
    HideLayer("UPPERPOPUPMENU");
    SetStatusText("Program received to slot(s)");
  }
}

DumpContext VELK::CurrentDumpContext()
{
  DumpContext context;
  context.selectedPart = selectedPart;
  context.partChannels = partChannels != 0;
  context.categoryNames = mCategoryNames.empty() ? nullptr : &mCategoryNames;
  return context;
}

void VELK::SetPartTexts(const std::string& info, const std::string& progress)
{
  {
    // A performance received chooses its part: the pages show it.
    std::lock_guard<std::recursive_mutex> lock(ParameterLock());
    KeepMemberBytes(kQuickTab);
  }
  SetInfoText(info);
  SetProgressText(progress);
}

void VELK::LibrarianSlotReceived()
{
  LibrarianViewControl* view = LibrarianView();
  if (!view) return;
  view->RefreshLeft();
  view->RequestRedraw(false);
}

void VELK::RefreshMainView()
{
  HandleParameterChange(kMainTab);
}

void VELK::StoreProjectName(int slot, const std::string& name)
{
  mPatchManager->SetName(slot, name);
}
