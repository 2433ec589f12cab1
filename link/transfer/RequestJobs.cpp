// The jobs that ask the synthesizer for data and wait for its answer: the edit buffer, one part's
// program, one slot, a bank of 128 slots and the device-id handshake.
#include "link/transfer/MIDIMessageSender.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"

#include <string>

namespace
{
constexpr int kBankSize = 128;
constexpr int kNumDeviceIds = 16;
constexpr int kSlotAttempts = 2; // a bank's slot is asked for at most twice
// A program answer to an edit-buffer request is whole once nothing more of it has come for this
// long: a performance's answer begins with the program of part 1 too, and its next message is on
// the cable well within it, even at a MIDI cable's pace.
constexpr int64_t kOneProgramQuietMs = 500;
} // namespace

SysExAddress MIDIMessageSender::Address(int deviceId) const
{
  SysExAddress address;
  address.model = mHost.IntParam(kCurrentModel);
  address.deviceId = deviceId;
  return address;
}

void MIDIMessageSender::SendToDevice(const std::vector<uint8_t>& message)
{
  if (!message.empty()) mHost.DeviceSendSysEx(message.data(), int(message.size()));
}

int MIDIMessageSender::Delay()
{
  return DeviceSender(mHost).GetMidiDelay();
}

bool MIDIMessageSender::Answered() const
{
  // The dispatcher marks the reply complete; the owner's flag follows it after its own handling.
  return mState.hardwareAnswered.load() != 0 || mWorker.replyComplete.load() != 0;
}

MIDIMessageSender::Answer MIDIMessageSender::PollForAnswer(const PollRules& rules,
                                                           const std::function<void(int)>& send,
                                                           const std::function<void()>& beforePoll,
                                                           const std::function<bool()>& complete)
{
  uint32_t taken = mWorker.answerProgress.load();
  const auto arriving = [&]
  {
    const uint32_t now = mWorker.answerProgress.load();
    if (!rules.followArrival || now == taken) return false;
    taken = now;
    return true;
  };
  bool scanned = false;
  const auto answered = [&]
  {
    // The synthesizer listens on the id it answered from: later requests use it too. A slow
    // answer may come in while a later id is tried, so the id is the answer's own.
    const int answering = mWorker.lastAnswerDeviceId.load();
    if (scanned && answering >= 0 && answering < kNumDeviceIds && answering != mState.deviceId.load())
    {
      mState.deviceId = answering;
      mHost.SetParamInEditor(kGlobalMidiChannel, answering);
    }
    return Answer::kAnswered;
  };
  for (int poll = 1;; ++poll)
  {
    if (beforePoll) beforePoll();
    if (!Sleep(rules.waitMs)) return Answer::kCancelled;
    if (Answered() || (complete && complete())) return answered();
    if (arriving())
    {
      poll = 0;
      continue;
    }
    if (rules.scanAt > 0 && poll == rules.scanAt && !scanned)
    {
      scanned = true;
      mWorker.lastAnswerDeviceId = -1;
      for (int id = 0; id < kNumDeviceIds; ++id)
      {
        mHost.SetStatusText(kScanText + std::to_string(id + 1));
        send(id);
        if (!Sleep(rules.scanWaitMs)) return Answer::kCancelled;
        if (Answered() || (complete && complete())) return answered();
        if (arriving())
        {
          poll = 0; // the answer is coming: it gets its whole time
          break;
        }
      }
    }
    if (poll >= rules.timeOutAt) return Answer::kTimedOut;
  }
}

void MIDIMessageSender::EndRequest(Answer answer, const RequestEnd& end)
{
  if (answer != Answer::kAnswered)
  {
    failed = 1;
    // Nothing more is coming: incoming messages must not stay held for an answer.
    mWorker.EndReceive();
  }
  if (answer == Answer::kCancelled)
  {
    mHost.SetStatusText(end.cancelledText);
    return;
  }
  if (answer == Answer::kTimedOut) mHost.SetStatusText(end.timedOutText);
  if (end.settleMs >= 0) Sleep(end.settleMs);
  if (answer != Answer::kAnswered) return;
  switch (end.reception)
  {
  case Reception::kEditor:
    mHost.SetStatusText(kCompletedText);
    break;
  case Reception::kLibrarianEditBuffer:
    mHost.SetStatusText(kCompletedText);
    mTransferHost.FinishReceive();
    break;
  case Reception::kLibrarianSlot:
    mTransferHost.FinishReceive();
    mHost.SetStatusText(kCompletedText);
    break;
  }
}

bool MIDIMessageSender::OneProgramAnswerComplete()
{
  // In the librarian's performance mode the answer is a performance, which its last message
  // completes. Otherwise one program is the answer: at once when it is not part 1's (a performance
  // begins with part 1), else once nothing more has followed it.
  if (mState.performanceMode || mWorker.editBufferPrograms.load() != 1) return false;
  if (mWorker.editBufferFirstPart.load() != 0) return true;
  return mHost.LinkClock().NowMs() - mWorker.editBufferLastTakenMs.load() >= kOneProgramQuietMs;
}

void MIDIMessageSender::RequestEditBuffer()
{
  BusyScope busy(mTransferHost);
  DeviceSender sender(mHost);
  const int delay = Delay();
  const auto sendWithId = [&](int id)
  {
    const std::vector<uint8_t> request = BuildEditBufferRequest(Address(id));
    sender.SendSysExToHardware(request.data(), int(request.size()));
  };

  Answer answer;
  if (!job.toEditorFlag)
  {
    mWorker.ArmReceive(true, TransferBuffer::Expect::Edit(mState.deviceId));
    sendWithId(mState.deviceId);
    const PollRules rules{25, 0, 0, 200};
    answer = PollForAnswer(rules, sendWithId, [&] { mHost.SetStatusText("Processing, please wait..."); });
  }
  else
  {
    mWorker.ArmReceive(false);
    mWorker.editBufferPrograms = 0;
    mWorker.editBufferFirstPart = -1;
    mWorker.editBufferViewRefresh = 1;
    mWorker.editBufferPolling = 1; // before the request: its answer may come before the first poll
    sendWithId(mState.deviceId);
    const PollRules rules{delay, 30, delay, 40};
    answer = PollForAnswer(
        rules, sendWithId, [&] { mWorker.editBufferPolling = 1; },
        [&] { return OneProgramAnswerComplete(); });
    mWorker.editBufferPolling = 0;
  }

  EndRequest(answer, {.reception = job.toEditorFlag ? Reception::kEditor : Reception::kLibrarianEditBuffer,
                      .settleMs = delay / 2});
}

void MIDIMessageSender::RequestCurrentProgram()
{
  BusyScope busy(mTransferHost);
  const int delay = Delay();
  const int part = job.partOrSlot;
  if (job.toEditorFlag)
    mWorker.ArmReceive(false);
  else
    mWorker.ArmReceive(true, TransferBuffer::Expect::Edit(mState.deviceId));
  mState.pendingRequestId = part;
  if (job.programChange >= 0) DeviceSender(mHost).SendPartProgramChange(job.programChange, part);
  SendToDevice(BuildEditBufferRequest(Address()));

  Answer answer = Answer::kCancelled;
  if (Sleep(delay))
  {
    mHost.SetStatusText(kProcessingText);
    if (Answered())
    {
      answer = Answer::kAnswered;
    }
    else
    {
      const PollRules rules{delay, 0, 0, 35};
      answer = PollForAnswer(rules, [](int) {});
    }
  }
  EndRequest(answer, {.reception = job.toEditorFlag ? Reception::kEditor : Reception::kLibrarianEditBuffer,
                      .settleMs = !job.toEditorFlag || answer == Answer::kTimedOut ? delay : -1});
}

void MIDIMessageSender::RequestSlot(bool program)
{
  BusyScope busy(mTransferHost);
  const int delay = Delay();
  PatchLibrarian* librarian = mHost.Librarian();
  int slot = librarian ? librarian->selectedLeftSlot.load() : 0;
  slot = slot < 0 ? 0 : slot > 127 ? 127 : slot;
  const int bankCode = program ? job.bank + 5 : job.bank + 1;
  const bool editBuffer = program && job.editBufferFlag;

  mWorker.ArmReceive(true, editBuffer ? TransferBuffer::Expect::Edit(mState.deviceId)
                                      : TransferBuffer::Expect::Memory(bankCode, slot, mState.deviceId));
  if (!program) mWorker.messageConsumed = 1;
  if (program) mState.pendingRequestId = editBuffer ? job.partOrSlot : -1;
  const auto sendWithId = [&](int id)
  {
    mWorker.AcceptAnswerFrom(id);
    if (editBuffer)
      SendToDevice(BuildEditBufferRequest(Address(id)));
    else
      SendToDevice(BuildMemoryRequest(Address(id), bankCode, slot));
  };
  sendWithId(mState.deviceId);
  if (program) mHost.SetStatusText(kProcessingText);

  const PollRules rules{delay, 25, delay, 30, true};
  EndRequest(PollForAnswer(rules, sendWithId), {.reception = Reception::kLibrarianSlot});
}

void MIDIMessageSender::RequestBank(bool program)
{
  const int delay = Delay();
  const int bankCode = program ? job.bank + 5 : job.bank + 1;
  PatchLibrarian* librarian = mHost.Librarian();
  const auto selectSlot = [&](int n)
  {
    if (!librarian) return;
    librarian->selectedLeftSlot = n;
    librarian->receiveTargetSlot = n;
  };
  Answer answer = Answer::kAnswered;
  int n = 0;
  {
    BusyScope busy(mTransferHost);
    if (!program) mWorker.messageConsumed = 1;
    for (; n < kBankSize; ++n)
    {
      selectSlot(n);
      // Armed once for the slot: whatever of its answer has come is kept through the scan and
      // the second asking, and only this slot's answer fills it.
      mWorker.ArmReceive(true, TransferBuffer::Expect::Memory(bankCode, n, mState.deviceId));
      const auto sendWithId = [&](int id)
      {
        mWorker.AcceptAnswerFrom(id);
        SendToDevice(BuildMemoryRequest(Address(id), bankCode, n));
      };
      const PollRules rules{delay, 25, delay, 30, true};
      // A slot whose answer was lost (a message dropped on the way) is asked for again. One that
      // does not come the second time ends the bank: waiting out every remaining slot would take
      // minutes and end the same way.
      for (int attempt = 0; attempt < kSlotAttempts; ++attempt)
      {
        sendWithId(mState.deviceId);
        answer = PollForAnswer(rules, sendWithId);
        if (answer != Answer::kTimedOut) break;
      }
      if (answer != Answer::kAnswered) break;
      mHost.SetStatusText("Please wait! " + std::to_string(int(n / 1.28)) + "% received..");
      mTransferHost.SetPartTexts("", "Processed " + std::to_string(n) + "/127");
      if (!Sleep(delay / 4))
      {
        answer = Answer::kCancelled;
        ++n;
        break;
      }
    }
  }
  selectSlot(0);
  EndRequest(answer,
             {.reception = Reception::kLibrarianSlot,
              .timedOutText = std::string(kTimedOutText) + " No answer for slot " + SlotNumber(n) + ".",
              .cancelledText = program ? "Data request cancelled!" : kCancelledText});
  if (answer == Answer::kCancelled) mHost.RunChangeHandler(kRefreshFolders);
}

void MIDIMessageSender::Connect()
{
  BusyScope busy(mTransferHost);
  DeviceSender sender(mHost);
  mWorker.ArmReceive(false);
  mWorker.editBufferReceive = 0;
  mHost.SetStatusText("Connecting to Hardware");
  const auto sendWithId = [&](int id)
  {
    const std::vector<uint8_t> request = BuildDeviceIdRequest(Address(id));
    sender.SendSysExToHardware(request.data(), int(request.size()));
  };
  sendWithId(mState.deviceId);

  const PollRules rules{1000, 25, 500, 35};
  const Answer answer = PollForAnswer(rules, sendWithId);
  // The editor's controllers were held back for the handshake only.
  mState.connectPending = 0;
  if (answer == Answer::kAnswered)
  {
    mHost.SetStatusText("Plug-in is ready to go!");
    return;
  }
  failed = 1;
  mHost.SetStatusText(answer == Answer::kCancelled ? kCancelledText : kNoResponseText);
}
