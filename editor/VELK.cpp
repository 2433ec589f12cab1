#include "editor/VELK.h"

#include "config/ConfigReader.h"
#include "editor/PageLayers.h"
#include "editor/PageSelection.h"
#include "editor/PartView.h"
#include "editor/PatchManager.h"
#include "editor/PortRecall.h"
#include "editor/TransferRoutes.h"
#include "editor/ValueDisplay.h"
#include "editor/WriteBuildLog.h"
#include "framework/controls/IContactControl.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/BankEditPopupMenu.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchPanePopupMenu.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "librarian/PatchLibrarian.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "link/DeviceSender.h"
#include "link/ParameterOutput.h"
#include "link/ProgressIndicator.h"
#include "link/TransferWorker.h"
#include "link/DumpForms.h"
#include "link/GlobalDump.h"
#include "platform/clock/SystemClock.h"
#include "platform/settings/SettingsStore.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
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

  mPortRecall = std::make_unique<PortRecall>([this](const std::string& input, const std::string& output)
                                             { SelectRecalledPorts(input, output); },
                                             [this] { MidiServerStopped(); });
  // Heard on the MIDI library's thread: the port-selection thread does the work.
  MidiPorts().SetServerGoneListener([this] { mPortRecall->NoteServerGone(); });
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
  if (mProgressLayer && mConfig)
  {
    const double scale = mUISettings.Scale();
    const int w = int(kEditorWidth * scale), h = int(kEditorHeight * scale);
    mProgress = ProgressIndicator::AddTo(mProgressLayer, this, w, h,
                                         mConfig->GetImage("PROGRESS_INDICATOR_ID"), IRectangle(0, 0, w, h));
    if (mProgress) mProgress->Hide(true);
  }
  if (mConfig) mCategoryNames = mConfig->GetValueList("categoryName");
  mWorker = std::make_unique<TransferWorker>(*this, *this);
  mRoutes = std::make_unique<TransferRoutes>(*this, *this, *mWorker);

  FillEmptyPresets("-", 64);
  editorReady = 1;
  Log("Plug-in is ready to load!");
}

// ---- editor core: construction ----

void VELK::BuildEditor()
{
  // The editor, 1500 by 757 pixels at the UI scale; the plug-in base owns it from AttachEditor on.
  const double scale = mUISettings.Scale();
  IGraphicsWin* editor = CreateEditorGraphics(this, int(kEditorWidth * scale), int(kEditorHeight * scale));

  // The configuration builds every layer and control from the definition documents.
  mConfig = std::make_unique<ConfigReader>();
  if (logEnabled) mConfig->SetLogSink([this](const std::string& line) { Log(line); });
  if (!mConfig->Read(editor, this, mLibrarian.get(), mUISettings.colourScheme, scale))
    Log("The user interface document could not be read: the editor opens empty!");
  Log("Configuration read");

  for (const char* name : kNamedLayers)
  {
    LayerGroup* group = mConfig->GetLayer(name);
    if (group)
      mNamedLayers[name] = group;
    else
      Log(std::string("Layer ") + name + " is not in the user interface document");
  }
  mLibrarianView = dynamic_cast<LibrarianViewControl*>(mConfig->GetLibrarianView());
  for (size_t i = 0; i < std::size(kValuePages); ++i)
    mValuePageLayers[i] = mConfig->GetLayer(kValuePages[i].layer);
  mPartSettingsLayer = mConfig->GetLayer("additionalSettings");

  editor->AttachBackgroundFrame(scale);
  AttachEditor(editor);

  // The progress group goes last, so that it draws over every page and is hit first. The link's
  // ProgressIndicator is added to it, and then the two cancel buttons, which must stay above
  // the overlay to be clickable during a transfer.
  auto* progress = new LayerGroup(0, kProgressLayerName);
  if (editor->AddLayerGroup(progress) >= 0)
  {
    mProgressLayer = progress;
    mConfig->RegisterLayer(kProgressLayerName, progress);
    // The cancel buttons live in a page of the progress group: a group draws its own controls
    // (the overlay) first and its pages after them, and hit-tests in the reverse order.
    auto* cancel = new LayerGroup(kCancelPageId, kCancelLayerName);
    if (progress->AddChildGroup(cancel) >= 0)
    {
      progress->SetCurrentPage(false, kCancelPageId);
      for (int i : {kEditorCancel, kLibrarianCancel})
        mCancelButtons[size_t(i)] =
            mConfig->CreateContactButton("Cancel Data Request", kCancelButtonAt[i][0], kCancelButtonAt[i][1],
                                         "BUTTON_LIB_CANCEL_ID", cancel, "Global");
    }
  }

  LookUpNamedControls();
  AddLibrarianMenus();
  mPartView = std::make_unique<PartView>(editor);
  mPageLayers = std::make_unique<PageLayers>(*this, *mConfig, [this](const std::string& line) { Log(line); });

  // Groups are created hidden: show the top-level ones with their first pages, all but the
  // progress group, which the overlay shows while a transfer runs.
  // The popups a parameter opens start closed, as does the patch-conflict window.
  PageSelection::ShowFirstPages(editor,
                                {"additionalSettings", "midiFilterWindow", "bankPatchConflictWindow"});
  if (mProgressLayer) mProgressLayer->Hide(true);

  // The UI settings as parameters, then every value that is not zero to its controls.
  if (IParameter* p = ParameterAt(kUserInterfaceSize)) p->SetClamped(mUISettings.size);
  if (IParameter* p = ParameterAt(kUserInterfaceStyle)) p->SetClamped(mUISettings.colourScheme);
  for (int i = 0; i < NumParameters(); ++i)
    if (IParameter* p = ParameterAt(i); p && p->Value() != 0.0)
    {
      p->SetConstrained(p->Value());
      editor->SyncParameterToControls(i, p->NormalisedValue(), true);
    }
  Log("Editor built");
}

namespace
{
void CollectInGroup(LayerGroup* group, int paramIdx, std::vector<IControl*>& out)
{
  if (!group) return;
  for (int i = 0; i < group->NumControls(); ++i)
    if (IControl* c = group->GetControl(i); c && c->ParamIdx() == paramIdx) out.push_back(c);
  for (int i = 0; i < group->NumChildren(); ++i)
    CollectInGroup(group->GetChild(i), paramIdx, out);
}

// Every control bound to the parameter.
void CollectControls(IGraphics* graphics, int paramIdx, std::vector<IControl*>& out)
{
  if (!graphics) return;
  for (int i = 0; i < graphics->NumControls(); ++i)
    if (IControl* c = graphics->GetControl(i); c && c->ParamIdx() == paramIdx) out.push_back(c);
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
    CollectInGroup(graphics->GetLayerGroup(i), paramIdx, out);
}

// The first text control of the parameter: the displays carry no parameter of their own (their
// text is written, never a value), so their factory lists them in the parameter's record; then
// the editor's own list and the groups.
ITextControl* FindTextControl(IGraphics* graphics, IParameter* param, int paramIdx)
{
  std::vector<IControl*> controls;
  if (MidiMapRecord* record = param ? param->MidiMap() : nullptr) controls = record->boundControls;
  CollectControls(graphics, paramIdx, controls);
  for (IControl* c : controls)
    if (auto* t = dynamic_cast<ITextControl*>(c)) return t;
  return nullptr;
}
} // namespace

namespace
{
// The group that holds the control, searched from the group down.
LayerGroup* GroupHolding(LayerGroup* group, const IControl* control)
{
  if (!group) return nullptr;
  for (int i = 0; i < group->NumControls(); ++i)
    if (group->GetControl(i) == control) return group;
  for (int i = 0; i < group->NumChildren(); ++i)
    if (LayerGroup* g = GroupHolding(group->GetChild(i), control)) return g;
  return nullptr;
}
} // namespace

void VELK::AddLibrarianMenus()
{
  IGraphics* graphics = dynamic_cast<IGraphics*>(Editor());
  if (!graphics || !mLibrarianView) return;
  LayerGroup* page = nullptr;
  for (int i = 0; i < graphics->NumLayerGroups() && !page; ++i)
    page = GroupHolding(graphics->GetLayerGroup(i), mLibrarianView);
  // A row of buttons just above the view, each over a column of slots (the left pane's four, the right
  // pane's first), shown and hidden with the page that holds it.
  const double scale = UiScale();
  const IRectangle& view = mLibrarianView->Rect();
  const int h = int(kLibrarianMenuHeight * scale), inset = int(4 * scale);
  const int top = view.T - h - int(4 * scale);
  auto at = [&](int side, int column)
  {
    const IRectangle cell = mLibrarianView->CellRect(side, column * LibrarianViewControl::kRows);
    return IRectangle(cell.L + inset, top, cell.R - inset, top + h);
  };
  IControl* menus[] = {
      new LeftPatchPopupMenu(this, at(0, 0), IBitmapStrip(), "Hardware", mLibrarian.get(), mLibrarianView),
      new BankEditPopupMenu(this, at(0, 1), IBitmapStrip(), "Edit Slot", mLibrarianView),
      new ProgramNumberPopupMenu(this, at(0, 2), IBitmapStrip(), "Program"),
      new BankNumberPopupMenu(this, at(0, 3), IBitmapStrip(), "Bank"),
      new RightPatchPopupMenu(this, at(1, 0), IBitmapStrip(), "Right Bank", mLibrarian.get(), mLibrarianView)};
  for (IControl* menu : menus)
  {
    ITextStyle& style = menu->TextStyle();
    style = ITextStyle(ConfigReader::kTextFace, int(12 * scale), IColour(255, 230, 230, 230));
    if (page)
      page->AddControl(menu);
    else
      graphics->AddControl(menu);
  }
}

void VELK::LookUpNamedControls()
{
  IGraphics* graphics = dynamic_cast<IGraphics*>(Editor());
  // The name list: the multi name and the eight part names redraw when a name is set.
  for (int n = 0; n <= PatchManager::kFirstPartName + 7; ++n)
    CollectControls(graphics, n == PatchManager::kMultiName ? int(kMultiName) : kPatchName + n - 1,
                    mNameControls[size_t(n)]);
  mPatchManager->SetListener(
      [this](int n)
      {
        if (n >= 0 && n < int(mNameControls.size()))
          for (IControl* c : mNameControls[size_t(n)])
            c->RequestRedraw(false);
      });
  statusDisplay = FindTextControl(graphics, ParameterAt(kControlDisplayName), kControlDisplayName);
  midiDisplay = FindTextControl(graphics, ParameterAt(kControlDisplayCC), kControlDisplayCC);
  mValueDisplay = FindTextControl(graphics, ParameterAt(kControlDisplayValue), kControlDisplayValue);
  mInfoDisplay = FindTextControl(graphics, ParameterAt(kControlDisplayCategory), kControlDisplayCategory);
  mProgressDisplay = FindTextControl(graphics, ParameterAt(kControlDisplayPatch), kControlDisplayPatch);
}

VELK::~VELK()
{
  midiOutputReady = 0;
  mLinkStop.request_stop();
  // A recalled port selection must not run into the closing ports.
  if (mPortRecall) mPortRecall->Stop();
  CloseMidiPorts(); // no input handler may run while the object is torn down
  // Its jobs use everything below: cancelled, their sleeps ended, its threads joined first.
  if (mWorker) mWorker->Shutdown();
  mRoutes.reset();
  mWorker.reset();
  mPatchManager.reset();
  // The release pass drops this editor's cached bitmaps; the reader (which detaches its MIDI map
  // records from the parameters) goes before the editor and the parameters.
  if (mConfig)
  {
    if (IGraphics* graphics = dynamic_cast<IGraphics*>(Editor())) mConfig->ReleaseImages(graphics);
    mConfig.reset();
  }
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

void VELK::HandleParameterChange(int index)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IEffectVST::HandleParameterChange(index);
  KeepMemberBytes(index);
  // A name typed into the editor is the project's (its text entry changes the value to tell).
  if (index == kMultiName || (index >= kPatchName && index < kPatchName + kPartCount))
    mPatchManager->TakeNameFrom(*this, index == kMultiName ? PatchManager::kMultiName
                                                           : PatchManager::kFirstPartName + index - kPatchName);
  ShowRecordPage(index);
  if (mWorker)
  {
    if (index == kCancelDataRequest && ParamValue(index) != 0.0) mWorker->CancelJob();
    if (index == kSendMIDIClockInfo) mWorker->clockRun = ParamValue(index) == 1.0;
  }
  // The UI settings take effect when the editor is next built; the file keeps them.
  if (index == kUserInterfaceSize || index == kUserInterfaceStyle)
  {
    const int v = int(ParamValue(index));
    if (index == kUserInterfaceSize)
      mUISettings.size = v < 0 || v > 2 ? int(UISettings::kNormal) : v;
    else
      mUISettings.colourScheme = v == 1 ? 1 : 0;
    if (!mUISettings.Save(mDataFolder)) Log("UI settings could not be saved!");
  }
  if (index == kDeviceOutSelection || index == kDeviceInSelection) SelectPortFromMenu(index);
  ShowValue(index);
  SendParamToHardware(index);
  if (mRoutes) mRoutes->ParameterChanged(index);
}

// The device menus: the chosen entry's text is the port's name, entry 0 ("Select MIDI Device")
// closes the port. Opening may wait on the MIDI system and its input thread, so it runs on the
// port-selection thread, away from the parameter lock held here.
void VELK::SelectPortFromMenu(int index)
{
  const IParameter* param = ParameterAt(index);
  if (!param) return;
  const bool output = index == kDeviceOutSelection;
  const int value = int(param->Value());
  const char* text = value > 0 ? param->ValueText(value) : nullptr;
  const int nameSlot = output ? PatchManager::kMidiOutputName : PatchManager::kMidiInputName;
  if (!text || !*text || std::string(text) == IMidiPorts::kNoDeviceName)
  {
    if (output)
    {
      midiOutputReady = 0;
      MidiPorts().CloseMidiOutput();
    }
    else
      MidiPorts().CloseMidiInput();
    GetPatchManager()->SetNameExact(nameSlot, IMidiPorts::kNoDeviceName);
    return;
  }
  GetPatchManager()->SetNameExact(nameSlot, text);
  // A newly chosen output is followed by the device-id handshake, which finds the synthesizer.
  if (output) mConnectAfterSelection = true;
  if (mPortRecall) mPortRecall->Request(output ? "" : text, output ? text : "");
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
  return mLibrarianView ? mLibrarianView->side.load() : 0;
}

void VELK::StoreReceivedProgram(int program)
{
  if (mLibrarianView)
  {
    mLibrarianView->selectedLeftCell = program;
    mLibrarianView->loadedSlot = program;
  }
  if (mLibrarian) mLibrarian->selectedLeftSlot = program;
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

void VELK::SetStatusText(const std::string& text)
{
  {
    std::lock_guard<std::mutex> lock(mTextMutex);
    mStatusText = text;
  }
  if (statusDisplay) statusDisplay->SetText(text.c_str());
}

void VELK::SetMidiDisplayText(const std::string& text)
{
  {
    std::lock_guard<std::mutex> lock(mTextMutex);
    mMidiDisplayText = text;
  }
  if (midiDisplay) midiDisplay->SetText(text.c_str());
}

void VELK::SetValueDisplayText(const std::string& text)
{
  {
    std::lock_guard<std::mutex> lock(mTextMutex);
    mValueDisplayText = text;
  }
  if (mValueDisplay) mValueDisplay->SetText(text.c_str());
}

std::string VELK::ValueDisplayText()
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mValueDisplayText;
}

void VELK::ShowValue(int index)
{
  const IParameter* param = ParameterAt(index);
  if (!ValueDisplay::Follows(index, param)) return;
  const ValueDisplay shown = ValueDisplay::Of(*param);
  SetStatusText(shown.name);
  SetValueDisplayText(shown.value);
  // Under the host's tempo, tempo and arpeggiator speed send nothing: the controller field stays.
  const bool tempoHeld = ParamValue(kOverrideTempo) == 1.0 &&
                         (index == kGlobalTempo || (index >= kArpSpeed && index < kArpSpeed + kPartCount));
  if (!tempoHeld) SetMidiDisplayText(shown.controller);
}

std::string VELK::StatusText()
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mStatusText;
}

std::string VELK::MidiDisplayText()
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mMidiDisplayText;
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
  const int v = int(ParamValue(index));
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
    const int value = int(param->Value());
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
    const bool open = param->Value() != 0.0;
    if (!open && mPartSettingsLayer->CurrentPage() != page) return;
    if (open) mPartSettingsLayer->SetCurrentPage(false, page);
    mPartSettingsLayer->Hide(!open);
  }
}

void VELK::SetLoadedSlot(int slot)
{
  if (mLibrarianView)
  {
    mLibrarianView->loadedSlot = slot;
    mLibrarianView->RequestRedraw(false);
  }
}

LayerGroup* VELK::NamedLayer(const std::string& name) const
{
  const auto it = mNamedLayers.find(name);
  if (it != mNamedLayers.end()) return it->second;
  if (name == kProgressLayerName && mProgressLayer) return mProgressLayer;
  LayerGroup* group = mConfig ? mConfig->GetLayer(name) : nullptr;
  if (!group) Log("Layer " + name + " is not in the user interface document");
  return group;
}

void VELK::SetLineText(ITextControl* control, std::string& store, std::string& text)
{
  {
    std::lock_guard<std::mutex> lock(mTextMutex);
    store = text;
  }
  if (control) control->SetText(text.c_str());
  text.clear();
}

void VELK::SetInfoText(std::string& text)
{
  SetLineText(mInfoDisplay, mInfoText, text);
}

void VELK::SetProgressText(std::string& text)
{
  SetLineText(mProgressDisplay, mProgressText, text);
}

std::string VELK::InfoText()
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mInfoText;
}

std::string VELK::ProgressText()
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mProgressText;
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
  job.code = 5;
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
  return int(ParamValue(kMultiPartBank + selectedPart.load()));
}

int VELK::LibrarianPartProgram()
{
  return int(ParamValue(kMultiPartPatch + selectedPart.load()));
}

void VELK::LibrarianStatus(const std::string& text)
{
  SetStatusText(text);
}

void VELK::OnEditorIdle()
{
  if (mRoutes) mRoutes->IdleTick();
}

void VELK::LibrarianTransfer(Transfer transfer, int bank)
{
  if (mRoutes) mRoutes->Transfer(transfer, bank);
}

// ---- editor core: project recall of the MIDI ports ----

void VELK::SelectRecalledPorts(const std::string& input, const std::string& output)
{
  const bool outputChosen = !output.empty() && output != IMidiPorts::kNoDeviceName;
  if (outputChosen)
  {
    // Selection goes by the name; a non-zero index only says that a device is wanted.
    int index = 1;
    const bool open = SelectMidiOutputPort(index, output) > 0;
    midiOutputReady = open;
    ShowChosenPort(kDeviceOutSelection, open ? index : 0, output);
    if (!open) Log("MIDI output \"" + output + "\" of the project is not present");
  }
  if (!input.empty() && input != IMidiPorts::kNoDeviceName)
  {
    int index = 1;
    const bool open = SelectMidiInputPort(index, input) > 0;
    ShowChosenPort(kDeviceInSelection, open ? index : 0, input);
    if (!open) Log("MIDI input \"" + input + "\" of the project is not present");
  }
  // The handshake goes out once the input listens too, or the synthesizer's answer would be lost;
  // only after the output it is asked for (an input chosen meanwhile leaves the request waiting).
  if (outputChosen && mConnectAfterSelection.exchange(false) && midiOutputReady)
    DeviceSender(*this).RequestConnect();
}

// A recalled port shows in its device menu, as a chosen one does (entry 0 when it could not be
// opened), with the ports listed now. Only the menu's value moves: the port is open already, and a
// change handler would select it again.
void VELK::ShowChosenPort(int menu, int entry, const std::string& name)
{
  const std::vector<std::string> ports =
      menu == kDeviceOutSelection ? MidiPorts().ListMidiOutputPorts() : MidiPorts().ListMidiInputPorts();
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  IParameter* param = ParameterAt(menu);
  if (!param) return;
  IDeviceMenuControl::ShowPorts(*param, ports);
  const bool listed = entry > 0 && entry < int(ports.size()) && ports[size_t(entry)] == name;
  SetParamInEditor(menu, listed ? entry : 0);
}

void VELK::MidiServerStopped()
{
  if (!MidiPorts().DropLostClients()) return;
  midiOutputReady = 0;
  // A transfer under way can reach nothing now: it ends, and so frees the jobs thread for the
  // handshake that follows the ports chosen again. Its last status text comes before ours.
  if (mWorker)
  {
    mWorker->CancelJob();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!JobsThreadIdle() && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // The project keeps the ports' names: recalling it, or choosing the ports again, once the
  // server is back makes new clients. The menus show that nothing is open now (and list the ports
  // again when opened: listing here would make a client at once).
  {
    std::lock_guard<std::recursive_mutex> lock(ParameterLock());
    for (int menu : {int(kDeviceOutSelection), int(kDeviceInSelection)})
    {
      if (IParameter* param = ParameterAt(menu)) IDeviceMenuControl::ShowPorts(*param, {});
      SetParamInEditor(menu, 0);
    }
  }
  SetStatusText(kMidiServerStopped);
  Log("The MIDI server stopped: the MIDI ports are closed");
}

bool VELK::WaitForPortRecall(int milliseconds)
{
  return !mPortRecall || mPortRecall->WaitIdle(milliseconds);
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
  bool ok = chunk->PutInt(kStateTag) && chunk->PutInt(kStateVersion);
  ok = ok && SerializeParams(chunk);
  ok = ok && chunk->PutInt(NonAutomatedCount()) && SerializeNonAutomatedParams(chunk, NonAutomatedCount());
  const auto names = mPatchManager->Names();
  ok = ok && chunk->PutInt(PatchManager::kNumNames);
  for (const std::string& name : names)
    ok = ok && chunk->PutString(name.c_str());
  // Version 2: the device id and model the plug-in was talking to.
  ok = ok && chunk->PutInt(deviceId.load()) && chunk->PutInt(model.load());
  return ok;
}

int VELK::ReadStateChunk(IStateChunk* chunk, int position)
{
  if (!chunk || position < 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());

  int32_t tag = 0, version = 0;
  position = chunk->GetInt(tag, position);
  position = chunk->GetInt(version, position);
  if (position < 0 || tag != kStateTag || version < kOldestStateVersion || version > kStateVersion) return -1;

  // The automated block (one double per automated parameter, none in this plug-in), the count and
  // the non-automated block; each value must be a number. They are read where they are, now to
  // check them and again to apply them once the whole state is known to be good.
  auto finiteValues = [&](int at, int n)
  {
    double v = 0.0;
    for (int i = 0; i < n; ++i)
      if (chunk->GetDouble(v, at + 8 * i) < 0 || !std::isfinite(v)) return false;
    return true;
  };
  const int automated = AutomatedCount();
  const int automatedAt = position;
  if (!chunk->CanRead(position, int64_t(automated) * 8) || !finiteValues(position, automated)) return -1;
  position += 8 * automated;
  int32_t count = 0;
  position = chunk->GetInt(count, position);
  if (position < 0 || count != NonAutomatedCount() || !chunk->CanRead(position, int64_t(count) * 8) ||
      !finiteValues(position, count))
    return -1;
  const int valuesAt = position;
  position += 8 * count;

  int32_t nameCount = 0;
  position = chunk->GetInt(nameCount, position);
  if (position < 0 || nameCount != PatchManager::kNumNames) return -1;
  std::array<std::string, PatchManager::kNumNames> names;
  for (std::string& name : names)
  {
    int32_t length = 0;
    position = chunk->GetInt(length, position);
    if (position < 0 || length < 0 || length > PatchManager::kMaxNameLength ||
        !chunk->CanRead(position, length))
      return -1;
    if (length > 0)
    {
      const char* bytes = reinterpret_cast<const char*>(chunk->Data()) + position;
      if (std::memchr(bytes, 0, size_t(length))) return -1; // a name never holds a terminator
      name.assign(bytes, size_t(length));
    }
    position += length;
  }

  int32_t savedDeviceId = -1, savedModel = -1;
  if (version >= 2)
  {
    position = chunk->GetInt(savedDeviceId, position);
    position = chunk->GetInt(savedModel, position);
    if (position < 0 || savedDeviceId < 0 || savedDeviceId > 127 || savedModel < 0 || savedModel > 2)
      return -1;
  }
  // The project state is the last thing of every chunk the plug-in writes (it has no preset slots
  // whose states would follow one another): bytes after it make another chunk.
  if (position != chunk->Size()) return -1;

  // Everything read: apply it at once, each value where its control would put it.
  for (int i = 0; i < automated + count; ++i)
  {
    double v = 0.0;
    chunk->GetDouble(v, i < automated ? automatedAt + 8 * i : valuesAt + 8 * (i - automated));
    SetRecalledValue(i, v, true);
  }
  mPatchManager->SetNames(names);
  mPatchManager->ShowNamesIn(*this);
  for (int index : {int(kGlobalLocalControl), int(kMIDIFilterTrackIncomingMIDI), int(kMIDIFilterToDAWBuffer),
                    int(kMIDIFilterDirectToHardware), int(kGlobalMidiChannel), int(kCurrentModel),
                    int(kQuickTab), int(kSendMIDIClockPointer), int(kSendMIDIClockInfo), int(kDatatype)})
    KeepMemberBytes(index);
  for (int index = kMIDIFilterDAWCCPassThrough; index <= kMIDIFilterHWSEPassThrough; ++index)
    KeepMemberBytes(index);
  // The recalled tab, views and part show their pages, as choosing them does.
  for (const ValuePages& pages : kValuePages)
    ShowRecordPage(pages.index);
  if (mPageLayers) mPageLayers->FollowAll();
  if (version >= 2)
  {
    deviceId = savedDeviceId;
    model = savedModel;
  }
  // The ports are selected by name away from this lock (see PortRecall).
  const std::string input = names[PatchManager::kMidiInputName],
                    output = names[PatchManager::kMidiOutputName];
  if (mPortRecall && (!input.empty() || !output.empty()))
  {
    // A project that names its synthesizer's port brings the link up, as choosing the port does.
    if (!output.empty() && output != IMidiPorts::kNoDeviceName) mConnectAfterSelection = true;
    mPortRecall->Request(input, output);
  }
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
    if (auto it = mNamedLayers.find(name); it != mNamedLayers.end()) it->second->RequestRedraw();
  if (mWorker->replyComplete) hardwareAnswered = 1;
  if (requestProcessed) SetStatusText(kRequestCompleted);
}

namespace
{
IControl* FirstControlOf(IGraphics* graphics, int paramIdx)
{
  std::vector<IControl*> controls;
  CollectControls(graphics, paramIdx, controls);
  return controls.empty() ? nullptr : controls.front();
}
} // namespace

void VELK::HideLayer(const std::string& name)
{
  if (LayerGroup* group = NamedLayer(name))
  {
    group->Hide(true);
    group->RequestRedraw();
  }
}

void VELK::SetTransferBusy(bool on)
{
  transferBusy = 0;
  IGraphics* graphics = dynamic_cast<IGraphics*>(Editor());
  IControl* search = FirstControlOf(graphics, kPatchSearch);
  const bool librarianView = IntParam(kMainTab) == 1;
  if (on)
  {
    if (mProgressLayer)
    {
      mProgressLayer->Hide(false);
      mProgressLayer->RequestRedraw();
    }
    if (mProgress) mProgress->Hide(false);
    for (IContactControl* button : mCancelButtons)
      if (button) button->Hide(true);
    IContactControl* cancel = mCancelButtons[librarianView ? kLibrarianCancel : kEditorCancel];
    if (cancel) cancel->Hide(false);
    if (librarianView)
    {
      HideLayer("categoryLimit");
      HideLayer("searchField");
      if (search) search->SetGreyed(true);
    }
    return;
  }
  if (mProgressLayer)
  {
    mProgressLayer->Hide(true);
    mProgressLayer->RequestRedraw();
  }
  if (mProgress) mProgress->Hide(true);
  for (IContactControl* button : mCancelButtons)
    if (button) button->Hide(true);
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
  std::string i = info, p = progress;
  SetInfoText(i);
  SetProgressText(p);
}

void VELK::LibrarianSlotReceived()
{
  if (!mLibrarianView) return;
  mLibrarianView->RefreshLeft();
  mLibrarianView->RequestRedraw(false);
}

void VELK::RefreshMainView()
{
  HandleParameterChange(kMainTab);
}

void VELK::StoreProjectName(int slot, const std::string& name)
{
  mPatchManager->SetName(slot, name);
}
