#include "editor/TransferRoutes.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "link/transfer/TransferWorker.h"

TransferRoutes::TransferRoutes(LinkHost& host, IEffectBase& plug, TransferWorker& worker)
    : mHost(host), mState(host.State()), mWorker(worker), mSettled(plug)
{
}

void TransferRoutes::SetTargetToSelectedSlot()
{
  // The jobs fill the left pane's selected slot; the received messages carry its number.
  if (PatchLibrarian* librarian = mHost.Librarian())
    librarian->receiveTargetSlot = librarian->selectedLeftSlot.load();
}

void TransferRoutes::Transfer(ILibrarianHost::Transfer transfer, int bank)
{
  using T = ILibrarianHost::Transfer;
  // Storing and initialising a slot stay inside the editor; everything else talks to the synthesizer.
  const bool local = transfer == T::kStoreCurrent || transfer == T::kInitialiseSlot;
  if (!local && !mState.midiOutputReady)
  {
    mHost.SetStatusText(DeviceSender::kSetMidiFirst);
    return;
  }
  PatchLibrarian* librarian = mHost.Librarian();
  const int mode = librarian ? librarian->GetMode() : int(PatchLibrarian::kPrograms);
  const bool performances = mode == PatchLibrarian::kPerformances;
  const int part = mState.selectedPart.load();
  bool posted = false;
  switch (transfer)
  {
  case T::kReceiveSlot:
    if (mode == PatchLibrarian::kPatterns) return;
    SetTargetToSelectedSlot();
    posted = performances ? mWorker.RequestPerformanceToLibrarian(bank) : mWorker.RequestProgram(false, bank);
    break;
  case T::kReceiveEditBuffer:
    if (mode == PatchLibrarian::kPatterns) return;
    SetTargetToSelectedSlot();
    posted = performances ? mWorker.RequestEditBuffer(false)
                          : mWorker.RequestProgram(true, mHost.IntParam(kRequestFromBank));
    break;
  case T::kStoreCurrent:
    if (mode == PatchLibrarian::kPatterns) return;
    SetTargetToSelectedSlot();
    posted = performances ? mWorker.SendCurrentPerformance(true) : mWorker.SendPartProgram(part, true);
    break;
  case T::kInitialiseSlot:
  {
    SetTargetToSelectedSlot();
    LinkJob job;
    job.code = performances                        ? LinkJobCode::kInitPerformanceSlot
               : mode == PatchLibrarian::kPatterns ? LinkJobCode::kInitPatternSlot
                                                   : LinkJobCode::kInitProgramSlot;
    job.initTarget = 1; // only while an editor shows the slot (the UI-update flag)
    posted = mWorker.Post(job);
    break;
  }
  case T::kSendPart:
    posted = mWorker.SendPartProgram(part, false);
    break;
  case T::kSendPerformance:
    // The one-shot flags are read by the job this post starts, so they are raised only while no
    // job runs, and lowered again when the post is refused after all.
    if (!mWorker.LaneIdle(TransferWorker::kJobsLane)) break;
    mState.sendGlobalsFirst = 1;
    mState.sendPartsFirst = 1;
    posted = mWorker.SendCurrentPerformance(false);
    if (!posted) mState.sendGlobalsFirst = mState.sendPartsFirst = 0;
    break;
  case T::kSendGlobals:
  {
    LinkJob job;
    job.code = LinkJobCode::kSendGlobals;
    posted = mWorker.Post(job);
    break;
  }
  }
  if (!posted) mHost.SetStatusText(kBusyText);
}

bool TransferRoutes::PartLocked(int part)
{
  constexpr int kSectionLockGroups = (kSectionLockVocoder - kSectionLockOsc1) / kPartCount + 1;
  for (int group = 0; group < kSectionLockGroups; ++group)
    if (mHost.IntParam(kSectionLockOsc1 + kPartCount * group + part) == 1) return true;
  return false;
}

void TransferRoutes::ParameterChanged(int index, bool userEdit)
{
  // A received controller's change came from the synthesizer, which holds it already.
  if (mState.inSecondaryChange || mState.applyingReceivedController) return;
  if (userEdit) mSettled.Changed(index, mHost.LinkClock().NowMs());
  if (!mState.midiOutputReady || !mState.editorReady || mState.connectPending) return;

  if (index == kQuickTab)
  {
    mPartSelect = mState.selectedPart.load();
    return;
  }
  const bool performances = mState.performanceMode != 0;
  for (int part = 0; part < kPartCount; ++part)
  {
    if (!performances && (index == kMultiPartBank + part || index == kMultiPartPatch + part))
    {
      mProgramSelect.fetch_or(1u << part);
      return;
    }
    // The part's program buttons step through the bank.
    if ((index == kPatchUp + part || index == kPatchDown + part) && mHost.IntParam(index) == 1)
    {
      const int step = index == kPatchUp + part ? 1 : -1;
      const int program = (mHost.IntParam(kMultiPartPatch + part) + step + 128) % 128;
      mHost.SetParamInEditor(kMultiPartPatch + part, program);
      mProgramSelect.fetch_or(1u << part);
      return;
    }
  }
  if (performances && (index == kMultiBank || index == kMultiPatch))
    mProgramSelect.fetch_or(1u << mState.selectedPart.load());
}

void TransferRoutes::IdleTick()
{
  const int part = mPartSelect.exchange(-1);
  const uint32_t programs = mProgramSelect.exchange(0);
  if (!mState.midiOutputReady) return;
  if (part >= 0) DeviceSender(mHost).SendNrpn(part, true);
  for (int p = 0; p < kPartCount; ++p)
    if (programs & (1u << p)) SelectPart(p);
}

void TransferRoutes::SelectProgram(int part)
{
  if (part >= 0 && part < kPartCount) mProgramSelect.fetch_or(1u << part);
}

void TransferRoutes::SelectPart(int part)
{
  DeviceSender sender(mHost);
  if (!sender.SelectPartProgram(part)) return; // the conflict window asks the user first
  if (mState.performanceMode || part != mState.selectedPart.load())
  {
    // The synthesizer answers a request with its selected part only: a part the editor cannot ask
    // for keeps the editor's sound where its sections are locked.
    sender.ResendPartIfLocked(part);
    return;
  }
  // The editor shows that the synthesizer switches, then takes the part's new program (the
  // locked sections keep the editor's), and sends a locked part back whole once it is in.
  mWorker.PostBusyPulse();
  // The request is asked for first: once the follow-up is seen, a lowered flag means it was posted.
  mState.deferredPartRequest = 1;
  mFollowUpPosted = false;
  mFollowUpPart = part;
}

bool TransferRoutes::PostSettled(const SettledEdits::Send& send)
{
  LinkJob job;
  job.code = send.carrier == SettledEdits::Carrier::kProgram       ? LinkJobCode::kSendPartProgram
             : send.carrier == SettledEdits::Carrier::kPerformance ? LinkJobCode::kSendPerformance
                                                                   : LinkJobCode::kSendGlobals;
  job.partOrSlot = send.part;
  job.storeFlag = false;
  job.quiet = true; // in the background, as the knob turns: no overlay to blink or swallow clicks
  return mWorker.Post(job);
}

void TransferRoutes::Tick()
{
  const bool jobsIdle = mWorker.LaneIdle(TransferWorker::kJobsLane);
  const int followUp = mFollowUpPart.load();
  if (followUp >= 0)
  {
    // The request was posted once the deferred flag is down; it has ended once the jobs are idle.
    if (!mState.deferredPartRequest) mFollowUpPosted = true;
    if (!mFollowUpPosted || !jobsIdle) return;
    if (PartLocked(followUp) && mState.midiOutputReady)
    {
      LinkJob job;
      job.code = LinkJobCode::kSendPartProgram;
      job.partOrSlot = followUp;
      if (!mWorker.Post(job)) return;
    }
    mFollowUpPart = -1;
    return;
  }

  if (!mState.midiOutputReady)
  {
    mSettled.Forget(); // nothing to send to; a later output gets the editor's state by other ways
    return;
  }
  if (!jobsIdle || mState.transferBusy || mWorker.sendBusy || mState.connectPending ||
      mState.deferredPartRequest)
    return;
  const std::optional<SettledEdits::Send> send = mSettled.TakeSettled(mHost.LinkClock().NowMs());
  if (send && !PostSettled(*send)) mSettled.PutBack(*send);
}
