#include "link/transfer/MIDIMessageSender.h"

#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"

MIDIMessageSender::MIDIMessageSender(TransferWorker& worker, LinkHost& host, TransferHost& transferHost)
    : mWorker(worker), mHost(host), mState(host.State()), mTransferHost(transferHost)
{
}

void MIDIMessageSender::run()
{
  // Adding a job: its routine as a member of this class, and its code's case here.
  using C = LinkJobCode;
  switch (job.code)
  {
  case C::kSendPerformance:
    SendPerformance(job.storeFlag);
    break;
  case C::kSendGlobals:
  {
    BusyScope busy(mTransferHost, !job.quiet);
    SendGlobalSettings();
    mWorker.sendBusy = 0;
    break;
  }
  case C::kSendPartProgram:
    SendPartProgram(job.partOrSlot, job.storeFlag);
    break;
  case C::kBusyPulse:
  case C::kRequestPattern:
    BusyPulse();
    break;
  case C::kRequestPatternBank:
    // The user asked for a bank: the status line says that nothing was asked of the synthesizer.
    BusyPulse();
    mHost.SetStatusText(kNoPatternRequestText);
    break;
  case C::kLoadSlot:
    LoadSlot();
    break;
  case C::kWriteBank:
    WriteBank();
    break;
  case C::kRequestEditBuffer:
    RequestEditBuffer();
    break;
  case C::kRequestPartProgram:
    RequestCurrentProgram();
    break;
  case C::kRequestPerformance:
    RequestSlot(false);
    break;
  case C::kRequestPerformanceBank:
    RequestBank(false);
    break;
  case C::kRequestProgram:
    RequestSlot(true);
    break;
  case C::kRequestProgramBank:
    RequestBank(true);
    break;
  case C::kInitPerformanceSlot:
    SendInitSlot(DumpKind::Performance);
    break;
  case C::kInitProgramSlot:
    SendInitSlot(DumpKind::Program);
    break;
  case C::kInitPatternSlot:
    SendInitSlot(DumpKind::Pattern);
    break;
  case C::kConnect:
    Connect();
    break;
  case C::kNone:
    break;
  case C::kTransportStart:
    SendTransport(0xFA);
    break;
  case C::kMidiClock:
    RunMidiClock();
    break;
  case C::kTransportStop:
    SendTransport(0xFC);
    break;
  }
}

bool MIDIMessageSender::Sleep(int64_t ms)
{
  if (Cancelled() || mJobStop.stop_requested()) return false;
  return mHost.LinkClock().SleepMs(ms, mJobStop.get_token()) && !Cancelled();
}

void MIDIMessageSender::Cancel()
{
  std::lock_guard<std::mutex> lock(mStopMutex);
  cancel = 1;
  mJobStop.request_stop();
}

void MIDIMessageSender::BeginJob(std::stop_token workerStop)
{
  std::lock_guard<std::mutex> lock(mStopMutex);
  // A cancel pressed while no job ran is not meant for this one.
  cancel = 0;
  failed = 0;
  mJobStop = std::stop_source();
  mWorkerStopLink.emplace(std::move(workerStop), std::function<void()>([this] { mJobStop.request_stop(); }));
}

void MIDIMessageSender::EndJob()
{
  std::lock_guard<std::mutex> lock(mStopMutex);
  mWorkerStopLink.reset();
}

MIDIMessageSender::BusyScope::BusyScope(TransferHost& host, bool shown) : mHost(host), mShown(shown)
{
  if (!mShown) return;
  try
  {
    mHost.ShowTransferOverlay(true);
  }
  catch (...)
  {
    // Shown halfway: hidden again before the failure goes on to the job's thread.
    mHost.ShowTransferOverlay(false);
    throw;
  }
}

MIDIMessageSender::BusyScope::~BusyScope()
{
  if (mShown) mHost.ShowTransferOverlay(false);
}

void MIDIMessageSender::BusyPulse()
{
  {
    BusyScope busy(mTransferHost);
  }
  mWorker.sendBusy = 0;
}
