#pragma once

#include "link/host/LinkHost.h"
#include "link/transfer/MIDIMessageSender.h"
#include "link/dumps/ReceivedDumps.h"
#include "link/transfer/TransferBuffer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

class TransferHost;

// Everything that takes longer than one message runs here, on one of three threads: jobs (codes
// 0 to 19), transport (20, 22) and clock (21). There is no queue: a post claims its thread, and a
// post to a busy thread is refused (the poster's answer is false) and leaves everything as it was.
// The threads wait between jobs and are started with the worker, so a post never creates a
// thread and may come from the audio callback. Destroying the worker cancels every job, ends
// every sleep and joins the three threads.
//
// The receive side (ReceiveSysExMessage, on the MIDI input thread) collects answers into the
// armed receive record or offers them to the dump parsers; the jobs poll the bytes it sets.
class TransferWorker
{
public:
  enum Lane
  {
    kJobsLane = 0,
    kTransportLane = 1,
    kClockLane = 2,
    kNumLanes = 3
  };
  // How long destruction waits for each thread once its job was told to end.
  static constexpr long kJoinBoundMs = 5000;

  TransferWorker(LinkHost& host, TransferHost& transferHost);
  ~TransferWorker();
  TransferWorker(const TransferWorker&) = delete;
  TransferWorker& operator=(const TransferWorker&) = delete;

  static Lane LaneOf(LinkJobCode code)
  {
    using C = LinkJobCode;
    return code == C::kMidiClock                                       ? kClockLane
           : (code == C::kTransportStart || code == C::kTransportStop) ? kTransportLane
                                                                       : kJobsLane;
  }

  // ---- posting (each answers whether the job was started; false: its thread was busy) ----
  bool Post(const LinkJob& job);
  bool LaneIdle(Lane lane) const;
  bool RequestCurrentProgram(int part, bool toEditor);
  bool RequestPerformanceToLibrarian(int bank);
  bool RequestProgram(bool editBuffer, int bank);
  bool RequestProgramBank(int bank);
  bool RequestPatternBank();
  bool SendCurrentPerformance(bool store);
  bool RequestEditBuffer(bool toEditor);
  bool SendPartProgram(int part, bool store);
  bool RequestPerformance(int bank);
  bool RequestPerformanceBank(int bank);
  bool RequestPattern(int slot, bool toEditor);
  bool LoadSlot(const LibrarianSlot& slot, int part, bool reselectParts);
  bool PostBusyPulse();
  // The posts of one processing block on the audio thread: transport Start and Stop, the clock
  // job and the deferred job-7 request. Allocates nothing and never waits.
  void PostFromAudioBlock(bool transportPlaying);
  // Cancel button: the running job of the jobs thread ends at its next wait.
  void CancelJob();
  // Cancels every job, ends every sleep and joins the three threads; afterwards every post is
  // refused. The destructor does it too; an owner whose jobs reach the worker through the owner
  // calls it first, so that no job reads the owner's pointer while it is being cleared.
  void Shutdown();

  // ---- receiving (MIDI input thread) ----
  void ReceiveSysExMessage(const uint8_t* bytes, size_t size, bool fromDevice);
  // Prepares the next reception: into the editor's parameters, or into a librarian slot of the
  // current mode's kind (the one record armed, the others disarmed). A request says what it asked
  // for (form, device id, and a memory request's bank and slot): only its answer fills the record.
  void ArmReceive(bool intoLibrarian, const TransferBuffer::Expect& expect = {});
  // A device-id scan asked the id: the armed record takes its answer too.
  void AcceptAnswerFrom(int deviceId);
  // Ends a reception into the librarian: edit-buffer receive off, every record disarmed.
  void EndReceive();
  // Whether the record of a kind is armed, and a copy of its slot (for tests and the jobs).
  bool RecordArmed(DumpKind kind);
  LibrarianSlot RecordSlot(DumpKind kind);
  // The last global-settings message of each type (0: 0x0F, 1: 0x15) the synthesizer sent; empty
  // until one came. Sending the settings back keeps what they hold beyond the editor's settings.
  std::vector<uint8_t> ReceivedGlobals(int which);

  MIDIMessageSender& Sender(Lane lane);
  // The performance and global-settings messages last taken into the editor, for the builders.
  const ReceivedDumps& Received() const { return mReceived; }

  // ---- bytes shared by the jobs and the receive dispatcher (one name each; link/README.md) ----
  std::atomic<uint8_t> editBufferReceive{0};     // received edit-buffer dumps go to the parameters
  std::atomic<uint8_t> editBufferPolling{0};     // an edit-buffer request is waiting for its answer
  std::atomic<uint8_t> editBufferViewRefresh{0}; // the answer is in: the editor's view follows it
  std::atomic<uint8_t> globalsReceived{0};
  std::atomic<uint8_t> slotLoad{0};
  std::atomic<uint8_t> discardOutputs{0};
  std::atomic<uint8_t> messageConsumed{0};
  std::atomic<uint8_t> replyComplete{0};
  // Counts the dumps of its kind that reached an armed record (taken or not): a request sees its
  // answer coming, or the cable busy with answers ahead of it.
  std::atomic<uint32_t> answerProgress{0};
  // Counts the messages an armed record refused (another form, device, slot or bank, a repeat, or
  // a slot of another kind than the left pane holds).
  std::atomic<uint32_t> refusedMessages{0};
  // An edit-buffer request into the editor: the programs taken whole while it waits, the part of
  // the first, and when (link clock) the last message of its answer was taken. A program answer
  // of one program is complete once no more of it follows (see RequestEditBuffer).
  std::atomic<uint32_t> editBufferPrograms{0};
  std::atomic<int32_t> editBufferFirstPart{-1};
  std::atomic<int64_t> editBufferLastTakenMs{0};
  // The device id (byte 6) of the synthesizer's last message: who answered a scan, which may be an
  // id tried before the one being tried when its answer is seen.
  std::atomic<int32_t> lastAnswerDeviceId{-1};
  std::atomic<uint8_t> sendBusy{0};
  // The time of the last program change.
  std::atomic<int64_t> lastProgramChangeMs{0};
  // The clock job runs while set.
  std::atomic<uint8_t> clockRun{0};
  // The host suspended the plug-in (the owner, on the host's thread): no clock until its next
  // audio block, which clears it.
  std::atomic<uint8_t> hostSuspended{0};

private:
  enum LaneState : uint8_t
  {
    kIdle = 0,
    kClaimed = 1, // a poster writes the record, or the job runs
  };
  // One thread and its job record; defined with the implementation, so that the thread library
  // stays out of this header.
  struct LaneThread;

  // Claims the lane for a job: false when it runs one (or the worker is going).
  bool Claim(Lane lane);
  // Hands the claimed lane's record to its thread.
  void Start(Lane lane);
  TransferBuffer& Record(DumpKind kind);
  void StoreCompletedSlot(DumpKind kind, const LibrarianSlot& slot);
  void ParseEditBuffer(const uint8_t* bytes, size_t size);

  LinkHost& mHost;
  LinkState& mState;
  TransferHost& mTransferHost;
  std::array<std::unique_ptr<LaneThread>, kNumLanes> mLanes;
  std::stop_source mStop;
  // The owner's stop (its teardown begins) ends the jobs' sleeps at once, before they are joined.
  std::optional<std::stop_callback<std::function<void()>>> mOwnerStopLink;
  std::atomic<bool> mStopping{false};
  bool mJoined = false; // the owner's thread only

  // The records are armed by posters and the editor and filled on the MIDI input thread.
  std::mutex mReceiveMutex;
  ReceivedDumps mReceived;
  TransferBuffer mPerformanceRecord{DumpKind::Performance};
  TransferBuffer mProgramRecord{DumpKind::Program};
  TransferBuffer mPatternRecord{DumpKind::Pattern};
};
