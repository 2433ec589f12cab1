#include "editor/VELK.h"

#include "editor/PatchManager.h"
#include "editor/WriteBuildLog.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "link/DeviceSender.h"
#include "link/ParameterOutput.h"
#include "platform/clock/SystemClock.h"
#include "platform/settings/SettingsStore.h"

#include <cmath>
#include <cstring>
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

  mPatchManager = std::make_unique<PatchManager>();
  Log("Project names ready");

  // The editor, 1500 by 757 pixels at the UI scale; the background becomes control 0 and the
  // plug-in base owns the editor from AttachEditor on.
  const double uiScale = 1.0;
  IGraphicsWin* editor = CreateEditorGraphics(this, int(1500 * uiScale), int(757 * uiScale));
  editor->AttachBackgroundFrame(uiScale);
  AttachEditor(editor);

  FillEmptyPresets("-", 64);
  editorReady = 1;
  Log("Plug-in is ready to load!");
}

VELK::~VELK()
{
  midiOutputReady = 0;
  mLinkStop.request_stop();
  CloseMidiPorts(); // no input handler may run while the object is torn down
  mPatchManager.reset();
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
  SendParamToHardware(index);
}

void VELK::HandleSecondaryParameterChange(int index)
{
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());
  inSecondaryChange = 1;
  IEffectVST::HandleSecondaryParameterChange(index);
  SendParamToHardware(index); // bookkeeping and controls only: nothing leaves during a secondary change
  inSecondaryChange = 0;
}

void VELK::SendParamToHardware(int index)
{
  IParameter* param = ParameterAt(index);
  if (param && param->MidiMap())
    ParameterOutput(*this).SendParamToHardware(param->MidiMap(), index, param->Value());
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
  IParameter* param = ParameterAt(index);
  if (!param) return;
  param->SetClamped(value);
  if (Editor()) Editor()->SyncParameterToControls(index, param->Value(), false);
}

void VELK::SetStatusText(const std::string& text)
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  mStatusText = text;
}

void VELK::SetMidiDisplayText(const std::string& text)
{
  std::lock_guard<std::mutex> lock(mTextMutex);
  mMidiDisplayText = text;
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
  Log("Layer \"" + name + "\" is not available yet");
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
  return ok;
}

int VELK::ReadStateChunk(IStateChunk* chunk, int position)
{
  if (!chunk || position < 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(ParameterLock());

  int32_t tag = 0, version = 0;
  position = chunk->GetInt(tag, position);
  position = chunk->GetInt(version, position);
  if (position < 0 || tag != kStateTag || version != kStateVersion) return -1;

  // Automated block: one double per automated parameter (none in this plug-in).
  const int automated = AutomatedCount();
  std::vector<double> values(size_t(NumParameters()), 0.0);
  for (int i = 0; i < automated && position >= 0; ++i)
    position = chunk->GetDouble(values[size_t(i)], position);

  int32_t count = 0;
  position = chunk->GetInt(count, position);
  if (position < 0 || count != NonAutomatedCount() || !chunk->CanRead(position, int64_t(count) * 8))
    return -1;
  for (int i = 0; i < count && position >= 0; ++i)
    position = chunk->GetDouble(values[size_t(automated + i)], position);
  if (position < 0) return -1;
  for (double v : values)
    if (!std::isfinite(v)) return -1;

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

  // Everything read: apply it at once.
  for (int i = 0; i < NumParameters(); ++i)
    ParameterAt(i)->SetClamped(values[size_t(i)]);
  mPatchManager->SetNames(names);
  editorReady = 1;
  return position;
}
