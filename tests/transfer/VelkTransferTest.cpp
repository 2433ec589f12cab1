// The plug-in's transfer side: SysEx from the MIDI input matched to a pending request, the
// overlay and search controls of the transfer states, the end of a reception into the librarian,
// and the plug-in torn down while its worker's threads are busy.
#include "config/ConfigReader.h"
#include "editor/VELK.h"
#include "framework/controls/IContactControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ISysExMessage.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/transfer/ProgressIndicator.h"
#include "link/dumps/SysExFrame.h"
#include "link/transfer/TransferWorker.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/transfer/TransferTestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace
{
const SysExAddress kAddress{0, 15};

void Receive(VELK& plug, const Bytes& m, bool fromDevice = true)
{
  ISysExMessage message;
  message.bytes = m.data();
  message.size = int32_t(m.size());
  plug.HandleSysExMessage(&message, fromDevice);
}

void FirstWithParam(LayerGroup* group, int paramIdx, IControl** found)
{
  if (!group || *found) return;
  for (int i = 0; i < group->NumControls() && !*found; ++i)
    if (IControl* c = group->GetControl(i); c && c->ParamIdx() == paramIdx) *found = c;
  for (int i = 0; i < group->NumChildren(); ++i)
    FirstWithParam(group->GetChild(i), paramIdx, found);
}

IControl* SearchControl(VELK& plug)
{
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  IControl* found = nullptr;
  for (int i = 0; graphics && i < graphics->NumControls() && !found; ++i)
    if (IControl* c = graphics->GetControl(i); c && c->ParamIdx() == kPatchSearch) found = c;
  for (int i = 0; graphics && i < graphics->NumLayerGroups(); ++i)
    FirstWithParam(graphics->GetLayerGroup(i), kPatchSearch, &found);
  return found;
}

// The groups and the search control that the transfer states switch, taken from the document
// where it has them and made for the test where it does not.
class SearchProbe : public IControl
{
public:
  SearchProbe() : IControl(nullptr, IRectangle(0, 0, 10, 10), kPatchSearch) {}
  bool Draw(IGraphics*) override { return true; }
};

void EnsureTransferLayers(VELK& plug)
{
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  ASSERT_NE(graphics, nullptr);
  for (const char* name : EditorDocument::kNamedLayers)
  {
    if (plug.Config()->GetLayer(name)) continue;
    auto* group = new LayerGroup(0, name);
    group->AddControl(new PlainControl());
    ASSERT_GE(graphics->AddLayerGroup(group), 0);
    plug.Config()->RegisterLayer(name, group);
  }
  if (!SearchControl(plug))
  {
    auto* group = new LayerGroup(0, "search probe");
    group->AddControl(new SearchProbe());
    ASSERT_GE(graphics->AddLayerGroup(group), 0);
  }
}

bool Visible(VELK& plug, const char* layer)
{
  LayerGroup* group = plug.NamedLayer(layer);
  EXPECT_NE(group, nullptr) << layer;
  return group && group->IsVisible();
}
} // namespace

TEST(VelkTransfer, SysExIsMatchedToThePendingRequestOnlyByProgramMessages)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  plug.ArmReceive(false);
  TransferWorker& worker = *plug.Worker();
  const Bytes part1 = BuildProgramDump(plug, 1, kAddress);
  const Bytes part2 = BuildProgramDump(plug, 2, kAddress);
  const Bytes parts = BuildPerformanceParts(plug, kAddress);

  // An answer for another part than the one asked for is not read.
  plug.pendingRequestId = 2;
  plug.SetParamInEditor(kPatchName + 1, 5);
  Receive(plug, part1);
  EXPECT_EQ(plug.StatusText(), VELK::kRequestInProgress);
  EXPECT_EQ(worker.messageConsumed.load(), 0);

  // Other messages carry no part byte and go on, or they would wait out the request.
  worker.replyComplete = 0;
  Receive(plug, parts);
  EXPECT_EQ(worker.replyComplete.load(), 1);
  EXPECT_EQ(plug.hardwareAnswered.load(), 1);
  EXPECT_EQ(plug.pendingRequestId.load(), -1) << "a whole performance ends the request";

  // The asked-for part is read and the request reported done.
  plug.pendingRequestId = 2;
  plug.hardwareAnswered = 0;
  Receive(plug, part2);
  EXPECT_EQ(plug.requestProcessed.load(), 1);
  EXPECT_EQ(plug.StatusText(), VELK::kRequestCompleted);

  // Dropped: while a transfer is busy, from a side whose SysEx is filtered, or while blocked.
  plug.pendingRequestId = -1;
  for (int drop = 0; drop < 3; ++drop)
  {
    worker.replyComplete = 0;
    plug.hardwareAnswered = 0;
    plug.transferBusy = drop == 0;
    plug.passThrough[13] = drop != 1;
    plug.incomingMidiBlocked = drop == 2;
    Receive(plug, parts);
    EXPECT_EQ(plug.hardwareAnswered.load(), 0) << drop;
  }
  plug.transferBusy = 0;
  plug.passThrough[13] = 1;
  plug.incomingMidiBlocked = 0;
  // The host's side has its own switch; the dispatcher ignores the host's messages anyway.
  Receive(plug, parts, false);
  EXPECT_EQ(plug.hardwareAnswered.load(), 0);
  Receive(plug, parts);
  EXPECT_EQ(plug.hardwareAnswered.load(), 1);
  // Nothing at all, or a message of no bytes, is ignored.
  plug.HandleSysExMessage(nullptr, true);
  Receive(plug, Bytes{});
}

TEST(VelkTransfer, BusyStateShowsTheOverlayAndTheViewsCancelButtonAndRestoresTheSearch)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  EnsureTransferLayers(plug);
  ProgressIndicator* overlay = plug.Progress();
  LayerGroup* progress = plug.ProgressLayer();
  ASSERT_NE(overlay, nullptr);
  ASSERT_NE(progress, nullptr);
  IControl* search = SearchControl(plug);
  ASSERT_NE(search, nullptr);
  // Hidden from construction until a transfer shows it.
  EXPECT_TRUE(overlay->IsHidden());
  EXPECT_FALSE(progress->IsVisible());

  // Librarian view, performance mode: the search stays hidden and greyed after the transfer.
  plug.ParameterAt(kMainTab)->SetClamped(1);
  plug.performanceMode = 1;
  plug.transferBusy = 1;
  plug.ShowTransferOverlay(true);
  EXPECT_EQ(plug.transferBusy.load(), 0);
  EXPECT_TRUE(progress->IsVisible());
  EXPECT_FALSE(overlay->IsHidden());
  EXPECT_FALSE(plug.CancelButton(ProgressOverlay::kLibrarianCancel)->IsHidden());
  EXPECT_TRUE(plug.CancelButton(ProgressOverlay::kEditorCancel)->IsHidden());
  EXPECT_FALSE(Visible(plug, "searchField"));
  EXPECT_FALSE(Visible(plug, "categoryLimit"));
  EXPECT_TRUE(search->IsGreyed());

  // Clicks on the overlay change nothing.
  std::vector<double> before;
  for (int i = 0; i < plug.NumParameters(); ++i)
    before.push_back(plug.ParameterAt(i)->Value());
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  EXPECT_EQ(graphics->FindControlAt(5, graphics->Height() - 5), overlay);
  overlay->OnMouseDown(5, 5, IMouseMod());
  overlay->OnMouseDblClick(5, 5, IMouseMod());
  for (int i = 0; i < plug.NumParameters(); ++i)
    ASSERT_EQ(plug.ParameterAt(i)->Value(), before[size_t(i)]) << i;

  plug.Worker()->editBufferReceive = 1;
  plug.ShowTransferOverlay(false);
  EXPECT_FALSE(progress->IsVisible());
  EXPECT_TRUE(overlay->IsHidden());
  EXPECT_TRUE(plug.CancelButton(ProgressOverlay::kLibrarianCancel)->IsHidden());
  EXPECT_EQ(plug.Worker()->editBufferReceive.load(), 0);
  EXPECT_FALSE(Visible(plug, "searchField"));
  EXPECT_FALSE(Visible(plug, "categoryLimit"));
  EXPECT_TRUE(search->IsGreyed());
  EXPECT_NE(graphics->FindControlAt(5, graphics->Height() - 5), overlay);

  // Program mode: the search field (kPatchSearch 1) or the category limit comes back.
  plug.performanceMode = 0;
  for (int searchMode : {1, 0})
  {
    plug.ParameterAt(kPatchSearch)->SetClamped(searchMode);
    plug.ShowTransferOverlay(true);
    plug.ShowTransferOverlay(false);
    EXPECT_EQ(Visible(plug, "searchField"), searchMode == 1);
    EXPECT_FALSE(search->IsGreyed());
  }
  const bool categoryShown = Visible(plug, "categoryLimit");
  EXPECT_TRUE(categoryShown);

  // The editor's view has its own cancel button.
  plug.ParameterAt(kMainTab)->SetClamped(0);
  plug.ShowTransferOverlay(true);
  EXPECT_FALSE(plug.CancelButton(ProgressOverlay::kEditorCancel)->IsHidden());
  EXPECT_TRUE(plug.CancelButton(ProgressOverlay::kLibrarianCancel)->IsHidden());
  plug.ShowTransferOverlay(false);
}

TEST(VelkTransfer, AReceptionIntoTheLibrarianIsArmedForTheModeAndEndsUnsaved)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  EnsureTransferLayers(plug);
  TransferWorker& worker = *plug.Worker();

  plug.patternMode = 1;
  plug.ArmReceive(true);
  EXPECT_TRUE(worker.RecordArmed(DumpKind::Pattern));
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Program));
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Performance));
  plug.patternMode = 0;

  // A program arrives into the selected slot of the left bank.
  plug.ArmReceive(true);
  EXPECT_TRUE(worker.RecordArmed(DumpKind::Program));
  PatchLibrarian* librarian = plug.Librarian();
  ASSERT_NE(librarian, nullptr);
  librarian->selectedLeftSlot = 4;
  Receive(plug, BuildProgramDump(plug, 0, kAddress));
  Receive(plug, BuildProgramDumpB(plug, 0, kAddress));
  EXPECT_EQ(plug.hardwareAnswered.load(), 1);
  LibrarianSlot stored;
  ASSERT_TRUE(librarian->CopySlot(PatchLibrarian::kLeft, 4, &stored));
  EXPECT_EQ(stored.messages.size(), 2u);

  plug.FinishReceive();
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Program));
  EXPECT_EQ(plug.ParamValue(kBankEditUnsaved), 1.0);
  EXPECT_EQ(plug.ParamValue(kDiscardBankData), 0.0);
  EXPECT_EQ(plug.StatusText(), "Program received to slot(s)");
  EXPECT_TRUE(Visible(plug, "discardChangesLayerRight"));
  EXPECT_TRUE(Visible(plug, "saveChangesLayer"));
  EXPECT_FALSE(Visible(plug, "keepBankOpenLayer"));
  EXPECT_FALSE(Visible(plug, "UPPERPOPUPMENU"));

  plug.performanceMode = 1;
  plug.FinishReceive();
  EXPECT_EQ(plug.StatusText(), "Multi received to slot(s)");
  EXPECT_FALSE(Visible(plug, "LeftPerformancePopupMenu"));
}

// Posters on the audio, MIDI input and editor threads, then the plug-in torn down while its
// worker's last job runs: nothing runs on afterwards and no thread is left. A plug-in takes a
// tenth of a second to build, several times that under the sanitizers, hence fewer rounds there.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kTeardownRounds = 25;
#else
constexpr int kTeardownRounds = 100;
#endif

TEST(VelkTransfer, TeardownWhilePostersKeepTheWorkerBusy)
{
  TempDataFolder folder;
  const int threadsBefore = ThreadCount();
  for (int round = 0; round < kTeardownRounds; ++round)
  {
    auto plug = std::make_unique<VELK>(nullptr);
    const Bytes parts = BuildPerformanceParts(*plug, kAddress);
    std::atomic<bool> go{false}, stop{false};
    std::atomic<int> finished{0};
    auto poster = [&](auto post)
    {
      while (!go)
        std::this_thread::yield();
      for (int i = 0; !stop && i < 2000; ++i)
        post();
      ++finished;
    };
    std::thread audio(poster,
                      [&]
                      {
                        plug->deferredPartRequest = 1;
                        plug->ProcessBlockDouble(nullptr, nullptr, 64);
                      });
    std::thread midi(poster, [&] { Receive(*plug, parts); });
    std::thread editor(poster,
                       [&]
                       {
                         LinkJob job;
                         job.code = LinkJobCode::kBusyPulse;
                         plug->PostJob(job);
                       });
    go = true;
    // Until a job runs (or the posters are through without catching one running).
    while (plug->JobsThreadIdle() && finished.load() < 3)
      std::this_thread::yield();
    stop = true;
    audio.join();
    midi.join();
    editor.join();
    // One more job, and the plug-in goes while it runs.
    LinkJob job;
    job.code = LinkJobCode::kBusyPulse;
    plug->PostJob(job);
    plug.reset();
  }
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(VelkTransfer, AudioBlocksAndTheChangeHandlerDriveTheWorker)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  TransferWorker& worker = *plug.Worker();
  for (int index : {int(kSendMIDIClockInfo), int(kCancelDataRequest)})
    plug.ParameterAt(index)->SetupEnumerated("", 0, 2, "");
  auto change = [&](int index, double value)
  {
    plug.ParameterAt(index)->SetClamped(value);
    plug.HandleParameterChange(index);
  };

  // The clock switch: on starts the clock job again at the next block, off stops it.
  change(kSendMIDIClockInfo, 1);
  EXPECT_EQ(plug.sendClock.load(), 1);
  EXPECT_EQ(worker.clockRun.load(), 1);
  EXPECT_EQ(plug.clockJobStarted.load(), 0);
  plug.midiOutputReady = 1;
  plug.ProcessBlockDouble(nullptr, nullptr, 64);
  EXPECT_EQ(plug.clockJobStarted.load(), 1);
  change(kSendMIDIClockInfo, 0);
  EXPECT_EQ(worker.clockRun.load(), 0);
  EXPECT_EQ(plug.clockJobStarted.load(), 0);
  plug.midiOutputReady = 0;

  // A deferred program request leaves with the next block for the selected part.
  plug.selectedPart = 6;
  plug.deferredPartRequest = 1;
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  plug.ProcessBlockDouble(nullptr, nullptr, 64);
  EXPECT_EQ(plug.deferredPartRequest.load(), 0);
  EXPECT_EQ(worker.Sender(TransferWorker::kJobsLane).job.code, LinkJobCode::kRequestPartProgram);
  EXPECT_EQ(worker.Sender(TransferWorker::kJobsLane).job.partOrSlot, 6);
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));

  // The cancel button raises the jobs record's flag; the next job starts without it.
  change(kCancelDataRequest, 1);
  EXPECT_TRUE(worker.Sender(TransferWorker::kJobsLane).Cancelled());
  LinkJob pulse;
  pulse.code = LinkJobCode::kBusyPulse;
  ASSERT_TRUE(plug.PostJob(pulse));
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_FALSE(worker.Sender(TransferWorker::kJobsLane).Cancelled());
  EXPECT_TRUE(plug.JobsThreadIdle());
}

TEST(VelkTransfer, AnAnswerFromTheMidiInputIsStoredIntoTheSelectedSlot)
{
  TempDataFolder folder;
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddSourcePort("Synth Out");
  VELK plug(nullptr);
  ASSERT_TRUE(plug.MidiPorts().SetBackend(backend));
  int index = 1;
  ASSERT_EQ(plug.SelectMidiInputPort(index, "Synth Out"), 1);

  PatchLibrarian* librarian = plug.Librarian();
  librarian->selectedLeftSlot = 9;
  librarian->receiveTargetSlot = 9;
  plug.ArmReceive(true);
  const Bytes main = BuildProgramDump(plug, 3, kAddress);
  ASSERT_TRUE(backend->Inject("Synth Out", main));
  ASSERT_TRUE(backend->Inject("Synth Out", BuildProgramDumpB(plug, 3, kAddress)));
  backend->WaitUntilDelivered();
  // The plug-in's own delivery thread hands them on: wait, bounded, for the answer to be in.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!plug.hardwareAnswered && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
  ASSERT_EQ(plug.hardwareAnswered.load(), 1);

  LibrarianSlot stored;
  ASSERT_TRUE(librarian->CopySlot(PatchLibrarian::kLeft, 9, &stored));
  ASSERT_EQ(stored.messages.size(), 2u);
  EXPECT_EQ(stored.messages[0].size(), 297u);
  EXPECT_EQ(stored.messages[0][9], 9);
  EXPECT_EQ(std::vector<uint8_t>(stored.messages[0].begin() + 10, stored.messages[0].end()),
            std::vector<uint8_t>(main.begin() + 9, main.end()));
}
