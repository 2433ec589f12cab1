#pragma once

#include "link/dumps/DumpForms.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "link/dumps/SysExFrame.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

class TransferHost;
class TransferWorker;

// The job record of one worker thread and its dispatcher: the poster writes the job into `job`
// while the thread is idle, the thread runs it. Jobs wait only through Sleep, which ends early on
// a cancel or when the worker goes, so every job can be abandoned at any of its waits.
class MIDIMessageSender
{
public:
  MIDIMessageSender(TransferWorker& worker, LinkHost& host, TransferHost& transferHost);

  // The job switch: runs the job in `job` to its end on the calling thread.
  void run();

  // ---- for the jobs ----
  // Sleeps ms on the link's clock; false when the job was cancelled or the worker is going.
  bool Sleep(int64_t ms);
  bool Cancelled() const { return cancel.load() != 0; }

  // Raises the cancel flag and ends a running sleep of this record's job.
  void Cancel();
  // Called by the worker thread before and after a job (cancel flag cleared; a fresh stop for
  // its sleeps, which the worker's own stop also ends).
  void BeginJob(std::stop_token workerStop);
  void EndJob();

  LinkJob job;
  std::atomic<uint8_t> failed{0};
  std::atomic<uint8_t> cancel{0};

  // The overlay for as long as a job runs: on at construction, off again on every way out of the
  // job (completed, cancelled, timed out or thrown). Not shown at all when `shown` is false.
  class BusyScope
  {
  public:
    explicit BusyScope(TransferHost& host, bool shown = true);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    TransferHost& mHost;
    bool mShown;
  };

  static constexpr const char* kTimedOutText = "CONNECTION TIMED OUT!";
  static constexpr const char* kNoResponseText = "No response from Hardware";
  static constexpr const char* kCancelledText = "Data request CANCELLED!";
  static constexpr const char* kCompletedText = "Data request completed!";
  static constexpr const char* kProcessingText = "Data processing, please wait...";
  static constexpr const char* kScanText = "Please wait, checking DeviceID ";
  static constexpr const char* kNoPatternRequestText =
      "Nothing was requested: patterns are not received from the hardware";
  static constexpr const char* kNoGlobalsText =
      "Global settings not sent: the synthesizer's own were never received";
  // A slot (0 to 127) numbered as the librarian's lists show it: "001" to "128".
  static std::string SlotNumber(int slot);

private:
  // How a wait for the synthesizer's answer ended.
  enum class Answer
  {
    kAnswered,
    kCancelled,
    kTimedOut
  };
  // One request's poll rules: the wait per poll, the poll that starts the device-id scan (0: no
  // scan) with its wait per tried id, and the poll that gives up. A reception into a librarian
  // slot follows its answer arriving: each dump of its kind that comes in starts the count again
  // and ends a scan at the next id, since a slow or busy cable is not a missing answer.
  struct PollRules
  {
    int64_t waitMs;
    int scanAt;
    int64_t scanWaitMs;
    int timeOutAt;
    bool followArrival = false;
  };

  // ---- request jobs (RequestJobs.cpp) ----
  void RequestEditBuffer();       // kRequestEditBuffer
  void RequestCurrentProgram();   // kRequestPartProgram
  void RequestSlot(bool program); // kRequestPerformance, kRequestProgram
  void RequestBank(bool program); // kRequestPerformanceBank, kRequestProgramBank
  void Connect();                 // kConnect
  // Waits for the answer poll by poll; `send` puts the request out again with a device id during
  // the scan (the receive record stays as it is: what has come of the answer is kept),
  // `beforePoll` runs before each wait. A scan answered on another id adopts it.
  // `complete`, when given, is asked after each wait too: an answer the dispatcher cannot tell is
  // whole (see RequestEditBuffer).
  Answer PollForAnswer(const PollRules& rules, const std::function<void(int)>& send,
                       const std::function<void()>& beforePoll = {},
                       const std::function<bool()>& complete = {});
  bool Answered() const;
  // Whether an edit-buffer request's answer of one program is whole (RequestEditBuffer).
  bool OneProgramAnswerComplete();
  // Where a request's answer went, which decides how its end is reported: a reception into the
  // librarian ends with FinishReceive (the bank shows as unsaved, with its own status text), for a
  // slot before the completion text and for an edit buffer after it.
  enum class Reception
  {
    kEditor,
    kLibrarianEditBuffer,
    kLibrarianSlot
  };
  struct RequestEnd
  {
    Reception reception = Reception::kEditor;
    int64_t settleMs = -1; // waited before a completion or after a time-out is reported; -1: none
    std::string timedOutText = kTimedOutText;
    const char* cancelledText = kCancelledText;
  };
  // The common end of the requests: one that failed turns the reception off again; the status line
  // says how it ended (nothing more is waited for after a cancel).
  void EndRequest(Answer answer, const RequestEnd& end);
  SysExAddress Address(int deviceId) const;
  SysExAddress Address() const { return Address(mState.deviceId.load()); }
  // Straight to the output port (no light, no log), as the synthesizer's requests go.
  void SendToDevice(const std::vector<uint8_t>& message);
  int Delay();

  // ---- send jobs (SendJobs.cpp) ----
  void SendPerformance(bool store);           // kSendPerformance
  bool SendGlobalSettings();                  // kSendGlobals; false when cancelled
  bool SendPartProgram(int part, bool store); // kSendPartProgram; false when cancelled
  // Paced send of built messages through the gated SysEx send; false when a wait was cut short.
  bool SendPaced(const std::vector<uint8_t>& message, int64_t waitMs);
  // Hands one slot's messages to the receive side as the synthesizer's, into the record of the
  // current mode armed once for all of them.
  void InjectSlot(const std::vector<std::vector<uint8_t>>& messages);

  // ---- slot jobs (BankJobs.cpp) ----
  void LoadSlot();                  // kLoadSlot
  void WriteBank();                 // kWriteBank
  void SendInitSlot(DumpKind kind); // kInitPerformanceSlot, kInitProgramSlot, kInitPatternSlot
  // The kind of slot the librarian's current mode holds.
  DumpKind CurrentKind() const;

  // ---- transport and clock (ClockJobs.cpp) ----
  void SendTransport(uint8_t status); // kTransportStart (FA), kTransportStop (FC)
  void RunMidiClock();                // kMidiClock
  // The clock's tempo in whole beats per minute: the host's, or the configured list entry; 0
  // when there is none.
  int ClockTempo();
  // Sleeps until the link clock reaches deadlineNs; false when the job was stopped.
  bool SleepUntilNs(int64_t deadlineNs);

  // kBusyPulse, kRequestPattern, kRequestPatternBank: the overlay on, then off again; a dump
  // job's busy mark cleared.
  void BusyPulse();

  TransferWorker& mWorker;
  LinkHost& mHost;
  LinkState& mState;
  TransferHost& mTransferHost;

  std::mutex mStopMutex; // BeginJob / EndJob against Cancel from another thread
  std::stop_source mJobStop;
  std::optional<std::stop_callback<std::function<void()>>> mWorkerStopLink;
};
