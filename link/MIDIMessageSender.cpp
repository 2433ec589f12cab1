#include "link/MIDIMessageSender.h"

#include "link/TransferHost.h"
#include "link/TransferWorker.h"

MIDIMessageSender::MIDIMessageSender(TransferWorker& worker, LinkHost& host, TransferHost& transferHost)
    : mWorker(worker), mHost(host), mTransferHost(transferHost)
{
}

void MIDIMessageSender::run()
{
  // Adding a job: its routine as a member of this class, and its code's case here.
  switch (job.code)
  {
  case 0:
    SendPerformance(job.storeFlag);
    break;
  case 1:
  {
    BusyScope busy(mTransferHost, !job.quiet);
    SendGlobalSettings();
    mWorker.sendBusy = 0;
    break;
  }
  case 2:
    SendPartProgram(job.partOrSlot, job.storeFlag);
    break;
  case 3:
  case 8:
  case 13:
  case 14:
    BusyPulse();
    break;
  case 4:
    LoadSlot();
    break;
  case 5:
    WriteBank();
    break;
  case 6:
    RequestEditBuffer();
    break;
  case 7:
    RequestCurrentProgram();
    break;
  case 9:
    RequestSlot(false);
    break;
  case 10:
    RequestBank(false);
    break;
  case 11:
    RequestSlot(true);
    break;
  case 12:
    RequestBank(true);
    break;
  case 15:
    SendInitSlot(DumpKind::Performance);
    break;
  case 16:
    SendInitSlot(DumpKind::Program);
    break;
  case 17:
    SendInitSlot(DumpKind::Pattern);
    break;
  case 18:
    Connect();
    break;
  case 19:
    break;
  case 20:
    SendTransport(0xFA);
    break;
  case 21:
    RunMidiClock();
    break;
  case 22:
    SendTransport(0xFC);
    break;
  default:
    if (job.code >= 0 && job.code <= kLastJobCode) NotAvailable();
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

void MIDIMessageSender::NotAvailable()
{
  mHost.SetStatusText(kNotAvailableText);
  mWorker.sendBusy = 0;
}
