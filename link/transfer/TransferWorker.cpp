#include "link/transfer/TransferWorker.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/host/TransferHost.h"
#include "platform/thread/WakeSignal.h"

#include <Poco/Runnable.h>
#include <Poco/Thread.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace
{
constexpr uint8_t kProgramMainType = 0x00;
constexpr uint8_t kProgramSecondType = 0x1E;
constexpr uint8_t kPerformanceCommonType = 0x05;
constexpr uint8_t kPerformanceVocoderType = 0x1B;
constexpr uint8_t kPerformancePartsType = 0x20;
} // namespace

struct TransferWorker::LaneThread : Poco::Runnable
{
  LaneThread(TransferWorker& worker, LinkHost& host, TransferHost& transferHost)
      : owner(worker), sender(worker, host, transferHost)
  {
  }
  void run() override;

  TransferWorker& owner;
  MIDIMessageSender sender;
  std::atomic<uint8_t> state{kIdle};
  std::atomic<bool> quit{false};
  WakeSignal wake;
  Poco::Thread thread;
  bool started = false;
};

MIDIMessageSender& TransferWorker::Sender(Lane lane)
{
  return mLanes[size_t(lane)]->sender;
}

TransferWorker::TransferWorker(LinkHost& host, TransferHost& transferHost)
    : mHost(host), mState(host.State()), mTransferHost(transferHost)
{
  mOwnerStopLink.emplace(host.LinkStop(), std::function<void()>([this] { mStop.request_stop(); }));
  static const char* const kNames[kNumLanes] = {"VELK jobs", "VELK transport", "VELK clock"};
  for (int i = 0; i < kNumLanes; ++i)
  {
    mLanes[size_t(i)] = std::make_unique<LaneThread>(*this, host, transferHost);
    LaneThread& lane = *mLanes[size_t(i)];
    try
    {
      lane.thread.setName(kNames[i]);
      lane.thread.start(lane);
      lane.started = true;
    }
    catch (...)
    {
      // A lane without its thread refuses every post; the plug-in goes on without that transfer.
      lane.started = false;
    }
  }
}

TransferWorker::~TransferWorker()
{
  Shutdown();
  mOwnerStopLink.reset();
}

void TransferWorker::Shutdown()
{
  if (mJoined) return;
  mJoined = true;
  mStopping = true;
  mStop.request_stop(); // ends the sleep of every running job
  for (auto& lane : mLanes)
  {
    lane->sender.Cancel();
    lane->quit = true;
    lane->wake.Post();
  }
  for (auto& lane : mLanes)
  {
    if (!lane->started) continue;
    try
    {
      // Every wait of a job ends on the stop, so the bound is only a guard: a job that still
      // runs after it is waited for, since freeing what it uses would be worse than a slow close.
      if (!lane->thread.tryJoin(kJoinBoundMs)) lane->thread.join();
    }
    catch (...)
    {
    }
  }
}

void TransferWorker::LaneThread::run()
{
  for (;;)
  {
    // Asleep until a post or the shutdown wakes the lane: an idle plug-in costs the machine nothing.
    // Posts are counted, so the shutdown's wake cannot be missed.
    wake.Wait();
    if (quit) break;
    // A pending request id belongs to the job that set it: none is left for the next job, and
    // none outlives this one, or a later answer would be cut to the one part it names.
    const bool jobsLane = &owner.Sender(kJobsLane) == &sender;
    if (jobsLane) owner.mState.pendingRequestId = -1;
    {
      ClockThreadScope scope(owner.mHost.LinkClock());
      sender.BeginJob(owner.mStop.get_token());
      try
      {
        sender.run();
      }
      catch (...)
      {
        // A job's failure must not take the host down; the job reports its own texts.
      }
      sender.EndJob();
    }
    if (jobsLane) owner.mState.pendingRequestId = -1;
    // Freed here rather than by the next poster, which may be the audio callback.
    sender.job.slot = LibrarianSlot();
    state.store(kIdle);
  }
}

// ---- posting ----

bool TransferWorker::LaneIdle(Lane lane) const
{
  const LaneThread& l = *mLanes[size_t(lane)];
  return l.started && l.state.load() == kIdle;
}

bool TransferWorker::Claim(Lane lane)
{
  LaneThread& l = *mLanes[size_t(lane)];
  if (mStopping || !l.started) return false;
  uint8_t idle = kIdle;
  return l.state.compare_exchange_strong(idle, kClaimed);
}

void TransferWorker::Start(Lane lane)
{
  mLanes[size_t(lane)]->wake.Post();
}

bool TransferWorker::Post(const LinkJob& job)
{
  const Lane lane = LaneOf(job.code);
  if (!Claim(lane)) return false;
  MIDIMessageSender& sender = mLanes[size_t(lane)]->sender;
  sender.job = job;
  switch (job.code)
  {
  case LinkJobCode::kSendPerformance:
  case LinkJobCode::kSendPartProgram:
  case LinkJobCode::kBusyPulse:
  case LinkJobCode::kLoadSlot:
    sendBusy = 1;
    break;
  case LinkJobCode::kRequestEditBuffer:
  case LinkJobCode::kRequestPartProgram:
    if (job.toEditorFlag) editBufferReceive = 1;
    break;
  case LinkJobCode::kRequestPattern:
    // Nothing is sent for a pattern, so no answer comes: an edit-buffer reception opened here stayed
    // open and took the next dump of any kind, the handshake's globals among them.
    break;
  case LinkJobCode::kRequestPerformance:
  case LinkJobCode::kRequestPerformanceBank:
    replyComplete = 0;
    break;
  default:
    break;
  }
  Start(lane);
  return true;
}

namespace
{
LinkJob Job(LinkJobCode code, int partOrSlot = 0)
{
  LinkJob job;
  job.code = code;
  job.partOrSlot = partOrSlot;
  return job;
}
} // namespace

bool TransferWorker::RequestCurrentProgram(int part, bool toEditor)
{
  LinkJob job = Job(LinkJobCode::kRequestPartProgram, part);
  job.toEditorFlag = toEditor;
  return Post(job);
}

bool TransferWorker::RequestPerformanceToLibrarian(int bank)
{
  // The record is armed only once the thread is ours: arming clears the slot, which a running
  // request may be filling.
  if (!Claim(kJobsLane)) return false;
  {
    std::lock_guard<std::mutex> lock(mReceiveMutex);
    PatchLibrarian* librarian = mHost.Librarian();
    mPerformanceRecord.Arm(uint32_t(librarian ? librarian->receiveTargetSlot.load() : 0));
  }
  replyComplete = 0;
  LinkJob job = Job(LinkJobCode::kRequestPerformance);
  job.bank = bank;
  mLanes[kJobsLane]->sender.job = job;
  Start(kJobsLane);
  return true;
}

bool TransferWorker::RequestProgram(bool editBuffer, int bank)
{
  if (!Claim(kJobsLane)) return false;
  {
    std::lock_guard<std::mutex> lock(mReceiveMutex);
    PatchLibrarian* librarian = mHost.Librarian();
    mProgramRecord.Arm(uint32_t(librarian ? librarian->receiveTargetSlot.load() : 0));
  }
  replyComplete = 0;
  // An edit-buffer answer is taken only from the part asked for: the selected one.
  LinkJob job = Job(LinkJobCode::kRequestProgram, mState.selectedPart.load());
  job.bank = bank;
  job.editBufferFlag = editBuffer;
  mLanes[kJobsLane]->sender.job = job;
  Start(kJobsLane);
  return true;
}

bool TransferWorker::RequestProgramBank(int bank)
{
  if (!Claim(kJobsLane)) return false;
  {
    std::lock_guard<std::mutex> lock(mReceiveMutex);
    mProgramRecord.Arm(0);
  }
  replyComplete = 0;
  LinkJob job = Job(LinkJobCode::kRequestProgramBank);
  job.bank = bank;
  mLanes[kJobsLane]->sender.job = job;
  Start(kJobsLane);
  return true;
}

bool TransferWorker::RequestPatternBank()
{
  // Patterns are not requested: nothing is sent, so no record is armed for an answer that is not
  // coming (an armed one took the next pattern dump into whatever bank the left pane then held).
  return Post(Job(LinkJobCode::kRequestPatternBank));
}

bool TransferWorker::SendCurrentPerformance(bool store)
{
  LinkJob job = Job(LinkJobCode::kSendPerformance);
  job.storeFlag = store;
  return Post(job);
}

bool TransferWorker::RequestEditBuffer(bool toEditor)
{
  LinkJob job = Job(LinkJobCode::kRequestEditBuffer);
  job.toEditorFlag = toEditor;
  return Post(job);
}

bool TransferWorker::SendPartProgram(int part, bool store)
{
  LinkJob job = Job(LinkJobCode::kSendPartProgram, part);
  job.storeFlag = store;
  return Post(job);
}

bool TransferWorker::RequestPerformance(int bank)
{
  LinkJob job = Job(LinkJobCode::kRequestPerformance);
  job.bank = bank;
  return Post(job);
}

bool TransferWorker::RequestPerformanceBank(int bank)
{
  LinkJob job = Job(LinkJobCode::kRequestPerformanceBank);
  job.bank = bank;
  return Post(job);
}

bool TransferWorker::RequestPattern(int slot, bool toEditor)
{
  LinkJob job = Job(LinkJobCode::kRequestPattern, slot);
  job.toEditorFlag = toEditor;
  return Post(job);
}

bool TransferWorker::LoadSlot(const LibrarianSlot& slot, int part, bool reselectParts)
{
  LinkJob job = Job(LinkJobCode::kLoadSlot, part);
  job.slot.CopyFrom(slot);
  job.reselectParts = reselectParts;
  return Post(job);
}

bool TransferWorker::PostBusyPulse()
{
  return Post(Job(LinkJobCode::kBusyPulse));
}

void TransferWorker::PostFromAudioBlock(bool transportPlaying)
{
  // Start and Stop follow the transport; the mark changes even when the post is refused, so a
  // Stop is never sent without a Start before it.
  if (transportPlaying && !mState.queueShortMidi && !mState.transportStartSent)
  {
    Post(Job(LinkJobCode::kTransportStart));
    mState.transportStartSent = 1;
  }
  else if (!transportPlaying && mState.transportStartSent)
  {
    Post(Job(LinkJobCode::kTransportStop));
    mState.transportStartSent = 0;
  }

  // The clock runs while it is on, the output is open and the host processes blocks. A job that
  // ran clears the started mark when it ends (the switch went off, the output went, the host
  // suspended the plug-in), so a block starts it again once it is wanted. The lane is claimed
  // before the run flag is set: a job on its way out cannot clear the flag under its successor.
  if (hostSuspended.load()) hostSuspended = 0;
  if (mState.sendClock && mState.midiOutputReady && !mState.clockJobStarted && Claim(kClockLane))
  {
    clockRun = 1;
    mState.clockJobStarted = 1;
    mLanes[kClockLane]->sender.job.code = LinkJobCode::kMidiClock;
    Start(kClockLane);
  }

  // A program request that had to wait for the jobs thread goes out once it is free.
  // The job is built whole here, so that nothing of the job before (its program change above all)
  // goes out again with this one.
  if (mState.deferredPartRequest)
  {
    LinkJob job = Job(LinkJobCode::kRequestPartProgram, mState.selectedPart.load());
    job.toEditorFlag = true;
    if (Post(job)) mState.deferredPartRequest = 0;
  }
}

void TransferWorker::CancelJob()
{
  mLanes[kJobsLane]->sender.Cancel();
}

// ---- receiving ----

TransferBuffer& TransferWorker::Record(DumpKind kind)
{
  switch (kind)
  {
  case DumpKind::Performance:
    return mPerformanceRecord;
  case DumpKind::Program:
    return mProgramRecord;
  case DumpKind::Pattern:
    break;
  }
  return mPatternRecord;
}

bool TransferWorker::RecordArmed(DumpKind kind)
{
  std::lock_guard<std::mutex> lock(mReceiveMutex);
  return Record(kind).Armed();
}

LibrarianSlot TransferWorker::RecordSlot(DumpKind kind)
{
  std::lock_guard<std::mutex> lock(mReceiveMutex);
  LibrarianSlot copy;
  copy.CopyFrom(Record(kind).Slot());
  return copy;
}

std::vector<uint8_t> TransferWorker::ReceivedGlobals(int which)
{
  if (which != 0 && which != 1) return {};
  return mReceived.Last(which == 0 ? kSysExGlobalSettings : kSysExGlobalSettings2);
}

void TransferWorker::ArmReceive(bool intoLibrarian, const TransferBuffer::Expect& expect)
{
  mState.requestProcessed = 0;
  {
    std::lock_guard<std::mutex> lock(mReceiveMutex);
    mPerformanceRecord.Disarm();
    mProgramRecord.Disarm();
    mPatternRecord.Disarm();
    if (intoLibrarian)
    {
      editBufferReceive = 0;
      PatchLibrarian* librarian = mHost.Librarian();
      const uint32_t slot = uint32_t(librarian ? librarian->receiveTargetSlot.load() : 0);
      const DumpKind kind = mState.patternMode       ? DumpKind::Pattern
                            : mState.performanceMode ? DumpKind::Performance
                                                     : DumpKind::Program;
      Record(kind).Arm(slot, expect);
    }
    else
    {
      editBufferReceive = 1;
    }
  }
  mState.hardwareAnswered = 0;
  replyComplete = 0;
}

void TransferWorker::AcceptAnswerFrom(int deviceId)
{
  std::lock_guard<std::mutex> lock(mReceiveMutex);
  for (TransferBuffer* record : {&mPerformanceRecord, &mProgramRecord, &mPatternRecord})
    if (record->Armed()) record->AcceptDeviceId(deviceId);
}

void TransferWorker::EndReceive()
{
  editBufferReceive = 0;
  std::lock_guard<std::mutex> lock(mReceiveMutex);
  mPerformanceRecord.Disarm();
  mProgramRecord.Disarm();
  mPatternRecord.Disarm();
}

void TransferWorker::StoreCompletedSlot(DumpKind kind, const LibrarianSlot& slot)
{
  if (PatchLibrarian* librarian = mHost.Librarian())
  {
    // The left pane holds the bank of the librarian's mode: a slot of another kind is never stored
    // there (the mode changed while the record was armed).
    const int mode = kind == DumpKind::Pattern       ? PatchLibrarian::kPatterns
                     : kind == DumpKind::Performance ? PatchLibrarian::kPerformances
                                                     : PatchLibrarian::kPrograms;
    if (librarian->GetMode() != mode)
    {
      ++refusedMessages;
      return;
    }
    librarian->StoreReceivedSlot(slot);
  }
  mTransferHost.LibrarianSlotReceived();
  editBufferReceive = 0;
  messageConsumed = 0;
  replyComplete = 1;
}

void TransferWorker::ReceiveSysExMessage(const uint8_t* bytes, size_t size, bool fromDevice)
{
  if (!fromDevice || !bytes || size < 8) return;
  if (bytes[1] != 0x00 || bytes[2] != 0x20 || bytes[3] > 0x29) return;
  lastAnswerDeviceId = bytes[6] & 0x7F;

  // An armed record takes the message, whatever it is: a stray message is refused by the
  // collector and leaves the slot incomplete rather than reaching the editor.
  {
    std::unique_lock<std::mutex> lock(mReceiveMutex);
    for (TransferBuffer* record : {&mPerformanceRecord, &mProgramRecord, &mPatternRecord})
    {
      if (!record->Armed()) continue;
      messageConsumed = 1;
      const TransferBuffer::Collected collected = record->Collect(bytes, size);
      // A dump of the slot's kind shows the answer on its way, even one refused (a repeat, or the
      // late answer to an earlier request, on the cable ahead of this one's).
      if (collected != TransferBuffer::Collected::Refused ||
          SlotMessageIndex(record->Kind(), bytes, size) >= 0)
        ++answerProgress;
      if (collected == TransferBuffer::Collected::Refused) ++refusedMessages;
      if (collected != TransferBuffer::Collected::Complete) return;
      LibrarianSlot slot;
      slot.CopyFrom(record->Slot());
      const DumpKind kind = record->Kind();
      lock.unlock(); // the librarian and the view take their own locks
      StoreCompletedSlot(kind, slot);
      return;
    }
  }

  if (size >= 25 && editBufferReceive)
  {
    messageConsumed = 1;
    ParseEditBuffer(bytes, size);
    if (editBufferPolling) editBufferViewRefresh = 0;
  }
  else if (size >= 250 && mState.connectPending)
  {
    // The synthesizer that answers the handshake tells its device id.
    const int id = bytes[6];
    if (id != mState.deviceId)
    {
      mHost.SetParamInEditor(kGlobalMidiChannel, id);
      mState.deviceId = id;
    }
    const DumpContext context = mTransferHost.CurrentDumpContext();
    IEffectBase& plug = mTransferHost.DumpPlug();
    DumpResult result = ParseGlobalDumpA(plug, bytes, size, context);
    if (result.status == DumpStatus::NotThisType) result = ParseGlobalDumpB(plug, bytes, size, context);
    if (result.Taken())
    {
      mReceived.Keep(bytes, size);
      if (result.localControlOn >= 0) mState.localControlOn = uint8_t(result.localControlOn);
      // The second message completes the answer: ending on the first would drop the second's
      // settings, which arrive after the handshake's reception closed.
      if (bytes[7] == kSysExGlobalSettings2)
      {
        globalsReceived = 1;
        replyComplete = 1;
      }
    }
    else if (result.status == DumpStatus::Refused)
    {
      mHost.SetStatusText(result.statusText);
    }
  }
  else if (size <= 24 && !editBufferReceive)
  {
    editBufferPolling = 0;
    editBufferViewRefresh = 0;
  }

  if (editBufferViewRefresh.exchange(0)) mTransferHost.RefreshMainView();
  messageConsumed = 0;
}

void TransferWorker::ParseEditBuffer(const uint8_t* bytes, size_t size)
{
  const DumpContext context = mTransferHost.CurrentDumpContext();
  IEffectBase& plug = mTransferHost.DumpPlug();
  const uint8_t type = bytes[7];
  DumpResult result;
  switch (type)
  {
  case kProgramMainType:
    // The main message starts a program; the second one completes it.
    result = ParseProgramDump(plug, bytes, size, context);
    if (result.Taken())
    {
      replyComplete = 0;
      mTransferHost.StoreProjectName(1 + result.part, result.name);
    }
    break;
  case kProgramSecondType:
    result = ParseProgramDumpB(plug, bytes, size, context);
    // A program completes the reply, unless an edit-buffer request waits and this is one of a
    // performance's part programs (the last part, or not the part asked for): the performance's
    // own messages follow, and the request ending now would close the reception before them.
    if (result.Taken() &&
        !(editBufferPolling && (bytes[8] == 7 || bytes[8] != mState.pendingRequestId.load())))
      replyComplete = 1;
    if (result.Taken() && editBufferPolling)
    {
      // The edit-buffer request decides whether this program is its whole answer.
      int32_t none = -1;
      editBufferFirstPart.compare_exchange_strong(none, int32_t(bytes[8]));
      editBufferLastTakenMs = mHost.LinkClock().NowMs(); // before the count, which the job reads first
      ++editBufferPrograms;
    }
    break;
  case kPerformanceCommonType:
    result = ParsePerformanceCommon(plug, bytes, size, context);
    if (result.Taken())
    {
      mReceived.Keep(bytes, size);
      mTransferHost.StoreProjectName(0, result.name);
      // Later requests and texts address the part the performance selects.
      if (result.selectedPart >= 0) mState.selectedPart = result.selectedPart;
      if (!replyComplete && !editBufferPolling) replyComplete = 1;
      if (result.outputsLocked) discardOutputs = 1;
    }
    break;
  case kPerformanceVocoderType:
    result = ParsePerformanceType1B(plug, bytes, size, context);
    if (result.Taken())
    {
      mReceived.Keep(bytes, size);
      replyComplete = editBufferPolling ? 0 : 1;
    }
    break;
  case kPerformancePartsType:
    result = ParsePerformanceParts(plug, bytes, size, context);
    if (result.Taken())
    {
      mReceived.Keep(bytes, size);
      // The last message of a performance: its reply is complete, and a waiting edit-buffer
      // request has its answer.
      replyComplete = 1;
      if (editBufferPolling.exchange(0)) editBufferViewRefresh = 1;
      mState.pendingRequestId = -1;
    }
    break;
  default:
    return;
  }
  if (result.Taken() && editBufferPolling) editBufferLastTakenMs = mHost.LinkClock().NowMs();
  if (result.status == DumpStatus::Refused)
    mHost.SetStatusText(result.statusText);
  else if (result.Taken() && result.showsSelectedPart)
    mTransferHost.SetPartTexts(result.infoText, result.progressText);
}
