#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/output/LogSysExOut.h"
#include "tests/link/LinkHostDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace
{
IMidiMessage Cc(int status, int data1, int data2)
{
  IMidiMessage m;
  m.status = uint8_t(status);
  m.data1 = uint8_t(data1);
  m.data2 = uint8_t(data2);
  return m;
}

bool Has(const std::vector<std::pair<int, double>>& sets, int index, double value)
{
  return std::find(sets.begin(), sets.end(), std::make_pair(index, value)) != sets.end();
}
} // namespace

TEST(DeviceSender, ShortMessagesLightThePartOfTheirChannelUntilTheAudioCallbackDimsIt)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  for (int p = 0; p < 8; ++p)
    host.Set(kMultiPartMIDICh + p, 8 + p); // part p listens on channel 8 + p
  host.ledsShowIncoming = 0;

  // No output: the user is told and nothing leaves.
  host.midiOutputReady = 0;
  sender.SendMidiToHardware(Cc(0xBA, 7, 100));
  EXPECT_EQ(host.SentCount(), 0u);
  ASSERT_EQ(host.statusTexts.size(), 1u);
  EXPECT_EQ(host.statusTexts[0], "Set MIDI I/O First!");
  host.midiOutputReady = 1;

  host.clock.Advance(1000);
  sender.SendMidiToHardware(Cc(0xBA, 7, 0xFF)); // channel 10: part 2; a data byte above 0x7F is clamped
  EXPECT_TRUE(Has(host.editorSets, kMIDILed + 2, 1.0));
  EXPECT_EQ(host.ledLit[2], 1);
  EXPECT_EQ(host.ledTime[2], 1000);

  host.clock.Advance(60);
  sender.SendMidiToHardware(Cc(0xBA, 7, 1)); // still lit: the time is not renewed
  EXPECT_EQ(host.ledTime[2], 1000);
  sender.SendMidiToHardware(Cc(0xB3, 7, 1)); // channel 3: no part, sent and nothing lit
  host.clock.Advance(39);
  sender.DimActivityLights();
  EXPECT_EQ(host.ledLit[2], 1);
  host.clock.Advance(1);
  sender.DimActivityLights();
  EXPECT_EQ(host.ledLit[2], 0);
  const std::vector<std::pair<int, double>> lights = {{kMIDILed + 2, 1.0}, {kMIDILed + 2, 0.0}};
  EXPECT_EQ(host.editorSets, lights); // and no other part was ever lit

  // Lights follow incoming traffic instead, or no editor is open: nothing lights.
  host.ledsShowIncoming = 1;
  sender.SendMidiToHardware(Cc(0xB8, 1, 1));
  host.ledsShowIncoming = 0;
  host.editorOpen = false;
  sender.SendMidiToHardware(Cc(0xB9, 1, 1));
  EXPECT_EQ(host.editorSets, lights);

  EXPECT_EQ(host.Sent(),
            (std::vector<Bytes>{{0xBA, 7, 0x7F}, {0xBA, 7, 1}, {0xB3, 7, 1}, {0xB8, 1, 1}, {0xB9, 1, 1}}));
  ExpectSevenBitData(host.Sent());
}

TEST(DeviceSender, SysExLightsThePartInByteEightAndIsLogged)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.ledsShowIncoming = 0;

  const Bytes dump = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x00, 0x03, 0x10, 0xF7};
  testing::internal::CaptureStdout();
  sender.SendSysExToHardware(dump.data(), int(dump.size()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Plug-in MIDI Out (sysex | 11 bytes | F0 00 20 29 01 24 0f 00 03 10 F7)\n");
  EXPECT_EQ(host.ledLit[3], 1);

  // Byte 8 outside 0-7, and a message built without its F0 (bytes 2 and 3 are not 20 29): no light.
  Bytes badPart = dump;
  badPart[8] = 9;
  sender.SendSysExToHardware(badPart.data(), int(badPart.size()));
  const Bytes request = {0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10, 0x00, 0x05};
  sender.SendSysExToHardware(request.data(), int(request.size()));
  for (int p = 0; p < 8; ++p)
    EXPECT_EQ(host.ledLit[size_t(p)], p == 3 ? 1 : 0) << p;

  // Nothing at all without an output, and nothing for an empty message.
  host.midiOutputReady = 0;
  sender.SendSysExToHardware(dump.data(), int(dump.size()));
  host.midiOutputReady = 1;
  sender.SendSysExToHardware(dump.data(), 0);
  sender.SendSysExToHardware(nullptr, 5);

  const auto sent = host.Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], dump);
  EXPECT_EQ(sent[2], (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10, 0x00, 0x05, 0xF7}));
  EXPECT_EQ(host.statusTexts, std::vector<std::string>{"Set MIDI I/O First!"});
  ExpectSevenBitData(sent);

  EXPECT_EQ(SysExOutLine(nullptr, 0), "Plug-in MIDI Out (sysex | 0 bytes | F0 F7)\n");
  const uint8_t framed[] = {0xF0, 0x00, 0x20, 0x29, 0xF7};
  EXPECT_EQ(SysExOutLine(framed, 5), "Plug-in MIDI Out (sysex | 5 bytes | F0 00 20 29 F7)\n");
}

TEST(DeviceSender, AllNotesOffGoesToEveryEnabledPartOrWaitsForTheAudioCallback)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.Set(kGlobalMidiChannel, 9);
  host.Set(kMultiPartStatus + 0, 1);
  host.Set(kMultiPartMIDICh + 0, 3);
  host.Set(kMultiPartStatus + 2, 1);
  host.Set(kMultiPartMIDICh + 2, 20); // follows the global channel
  host.Set(kMultiPartStatus + 5, 1);
  host.Set(kMultiPartMIDICh + 5, 5);
  host.Set(kMultiPartMIDICh + 4, 7); // disabled

  sender.SendAllNotesOff(0, true);
  sender.SendAllNotesOff(4, false);
  EXPECT_EQ(host.Sent(),
            (std::vector<Bytes>{{0xB3, 123, 0}, {0xB9, 123, 0}, {0xB5, 123, 0}, {0xB7, 123, 0}}));
  host.ClearSent();

  // Held back: a handshake under way, an editor not ready, no output.
  host.connectPending = 1;
  sender.SendAllNotesOff(0, true);
  host.connectPending = 0;
  host.editorReady = 0;
  sender.SendAllNotesOff(0, true);
  host.editorReady = 1;
  host.midiOutputReady = 0;
  sender.SendAllNotesOff(0, true);
  host.midiOutputReady = 1;
  EXPECT_EQ(host.SentCount(), 0u);
  EXPECT_TRUE(host.statusTexts.empty());

  // Queued: nothing goes out until the drain.
  host.queueShortMidi = 1;
  sender.SendAllNotesOff(0, true);
  EXPECT_EQ(host.SentCount(), 0u);
  EXPECT_EQ(host.midiQueue.Count(), 3);
  host.midiQueue.DrainBlock(64, [&](const IMidiMessage& m) { sender.SendMidiToHardware(m, true); });
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB3, 123, 0}, {0xB9, 123, 0}, {0xB5, 123, 0}}));
  EXPECT_EQ(host.midiQueue.Count(), 0);
}

TEST(DeviceSender, ProgramSelectionSendsItsSequenceWithItsWaits)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.Set(kGlobalMidiChannel, 9);
  host.Set(kMultiPartMIDICh + 1, 2);
  host.Set(kMultiPartBank + 1, 3);
  host.Set(kMultiPartPatch + 1, 10);
  host.Set(kLibSyncTimer, 3); // 200 ms
  host.clock.Advance(500);

  ASSERT_TRUE(sender.SelectPartProgram(1));
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB2, 123, 0}, {0xB2, 0, 0}, {0xB2, 32, 8}, {0xC2, 10}}));
  EXPECT_EQ(host.SendTimes(), (std::vector<int64_t>{500, 500, 525, 550}));
  EXPECT_EQ(host.clock.NowMs(), 500 + 25 + 25 + 50 + 200);
  EXPECT_EQ(host.lastBank[1], 3);
  EXPECT_EQ(host.lastProgram[1], 10);

  // The synthesizer part 4, enabled, holds the same bank and program: the conflict window instead of any
  // message.
  host.ClearSent();
  host.Set(kMultiPartStatus + 1, 1);
  host.Set(kMultiPartMIDICh + 4, 4);
  host.Set(kMultiPartBank + 4, 3);
  host.Set(kMultiPartPatch + 4, 10);
  EXPECT_FALSE(sender.SelectPartProgram(4));
  EXPECT_EQ(host.SentCount(), 0u);
  EXPECT_EQ(host.shownLayers, std::vector<std::string>{"bankPatchConflictWindow"});
  EXPECT_TRUE(sender.IsDuplicatePart(4));
  host.Set(kMultiPartStatus + 1, 0.4); // a status that reads as 1 counts
  EXPECT_FALSE(sender.IsDuplicatePart(4));
  host.Set(kMultiPartStatus + 1, 1 - 1e-12);
  EXPECT_TRUE(sender.IsDuplicatePart(4));
  host.Set(kMultiPartStatus + 1, 1);
  host.conflictWindowSuppressed = 1;
  EXPECT_TRUE(sender.SelectPartProgram(4));
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB4, 123, 0}, {0xB4, 0, 0}, {0xB4, 32, 8}, {0xC4, 10}}));

  // Performance mode: the global channel, the performance bank and number, no duplicate check.
  host.ClearSent();
  host.performanceMode = 1;
  host.Set(kMultiBank, 1);
  host.Set(kMultiPatch, 5);
  host.Set(kLibSyncTimer, 9); // 100 ms
  const int64_t start = host.clock.NowMs();
  EXPECT_TRUE(sender.SelectPartProgram(4));
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB9, 123, 0}, {0xB9, 0, 0}, {0xB9, 32, 97}, {0xC9, 5}}));
  EXPECT_EQ(host.clock.NowMs() - start, 200);

  // A bank far out of range is clamped into a data byte, never an overflowing status.
  host.ClearSent();
  host.Set(kMultiBank, 200);
  EXPECT_TRUE(sender.SelectPartProgram(0));
  EXPECT_EQ(host.Sent()[2], (Bytes{0xB9, 32, 0x7F}));
  ExpectSevenBitData(host.Sent());

  // A plug-in being torn down: the waits end at once.
  host.ClearSent();
  host.performanceMode = 0;
  host.conflictWindowSuppressed = 0;
  host.stop.request_stop();
  const int64_t before = host.clock.NowMs();
  EXPECT_TRUE(sender.SelectPartProgram(1));
  EXPECT_EQ(host.clock.NowMs(), before);
  EXPECT_EQ(host.SentCount(), 2u);
}

TEST(DeviceSender, PartProgramChangeAndBankSelectFollowInTheEditor)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.Set(kGlobalMidiChannel, 6);
  host.Set(kMultiPartMIDICh + 3, 17); // the global channel
  host.Set(kRequestFromBank, 2);

  sender.SendPartProgramChange(42, 3);
  EXPECT_EQ(host.clock.NowMs(), 25);
  sender.SendPartBankSelect(3);
  EXPECT_EQ(host.clock.NowMs(), 50);
  sender.SendPartProgramChange(300, 3); // clamped to a data byte
  sender.SendPartProgramChange(1, 8);   // no such part
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xC6, 42}, {0xB6, 32, 7}, {0xC6, 127}}));
  EXPECT_EQ(host.ParamValue(kMultiPartBank + 3), 2);
  EXPECT_EQ(host.ParamValue(kMultiPartPatch + 3), 127);

  host.midiOutputReady = 0;
  sender.SendPartProgramChange(1, 3);
  sender.SendPartBankSelect(3);
  EXPECT_EQ(host.SentCount(), 3u);
  EXPECT_EQ(host.ParamValue(kMultiPartPatch + 3), 127);
}

TEST(DeviceSender, PartSelectNrpnOnTheGlobalChannel)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.Set(kGlobalMidiChannel, 9);
  host.conflictWindowSuppressed = 1;

  sender.SendNrpn(3, true);
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB9, 98, 113}, {0xB9, 6, 79}}));
  EXPECT_EQ(host.SendTimes(), (std::vector<int64_t>{0, 25}));
  EXPECT_EQ(host.midiTexts, std::vector<std::string>{"NRPN"});
  EXPECT_EQ(host.transferBusy, 0);
  EXPECT_EQ(host.incomingMidiBlocked, 0);
  EXPECT_EQ(host.conflictWindowSuppressed, 0);

  host.ClearSent();
  host.Set(kGlobalMidiChannel, 40); // out of range: channel 15, never another status
  sender.SendNrpn(100, false);
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xBF, 98, 113}, {0xBF, 6, 0x7F}}));
  ExpectSevenBitData(host.Sent());
}

TEST(DeviceSender, ConnectRequestHoldsShortMessagesOnlyWhileTheHandshakeRuns)
{
  LinkHostDouble host;
  DeviceSender sender(host);

  EXPECT_TRUE(sender.RequestConnect());
  EXPECT_EQ(host.connectPending, 1);
  ASSERT_EQ(host.posted.size(), 1u);
  EXPECT_EQ(host.posted[0].code, LinkJobCode::kConnect);
  EXPECT_EQ(host.clock.NowMs(), 100);
  sender.SendGated(Cc(0xB0, 1, 2)); // held back while the handshake runs
  EXPECT_EQ(host.SentCount(), 0u);

  // Every way the handshake cannot start leaves the editor's messages free again.
  struct Case
  {
    bool output, busy, idle, accept;
  } const cases[] = {{false, false, true, true},
                     {true, true, true, true},
                     {true, false, false, true},
                     {true, false, true, false}};
  for (const Case& c : cases)
  {
    host.midiOutputReady = c.output;
    host.transferBusy = c.busy;
    host.jobsIdle = c.idle;
    host.acceptPosts = c.accept;
    host.connectPending = 0;
    EXPECT_FALSE(sender.RequestConnect());
    EXPECT_EQ(host.connectPending, 0);
  }
  EXPECT_EQ(host.posted.size(), 1u);
  host.midiOutputReady = 1;
  sender.SendGated(Cc(0xB0, 1, 2));
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB0, 1, 2}}));
}

TEST(DeviceSender, MidiDelayTable)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  const std::pair<double, int> table[] = {{0, 50},   {1, 75},    {2, 100},        {3, 200},
                                          {4, 300},  {5, 400},   {6, 500},        {7, 100},
                                          {-1, 100}, {6.4, 500}, {2 - 1e-12, 100}};
  for (const auto& [value, ms] : table)
  {
    host.Set(kLibSyncTimer, value);
    EXPECT_EQ(sender.GetMidiDelay(), ms) << value;
  }
}

TEST(DeviceSender, LockedPartIsResentThroughTheJobsThread)
{
  LinkHostDouble host;
  DeviceSender sender(host);

  sender.ResendPartIfLocked(3); // no lock on: nothing posted, after the pause
  EXPECT_TRUE(host.posted.empty());
  EXPECT_EQ(host.clock.NowMs(), 100);

  host.Set(kSectionLockOsc1 + 8 * 21 + 3, 1); // the last of the 22 groups, part 3
  host.Set(kSectionLockOsc1 + 8 * 4 + 2, 1);  // another part's lock does not count
  host.transferBusy = 1;                      // no pause while a transfer runs
  sender.ResendPartIfLocked(3);
  EXPECT_EQ(host.clock.NowMs(), 100);
  ASSERT_EQ(host.posted.size(), 1u);
  EXPECT_EQ(host.posted[0].code, LinkJobCode::kSendPartProgram);
  EXPECT_EQ(host.posted[0].partOrSlot, 3);
  EXPECT_FALSE(host.posted[0].storeFlag);

  host.jobsIdle = false;
  sender.ResendPartIfLocked(3);
  host.jobsIdle = true;
  host.Set(kSectionLockOsc1 + 8 * 21 + 3, 0.4); // only a value that reads as 1 is a lock
  sender.ResendPartIfLocked(3);
  sender.ResendPartIfLocked(8);
  EXPECT_EQ(host.posted.size(), 1u);
  EXPECT_EQ(host.SentCount(), 0u);
}

TEST(DeviceSender, PerformancePartsAreReselectedOnTheirOwnChannels)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  host.ledsShowIncoming = 0;
  host.conflictWindowSuppressed = 1;
  for (int p = 0; p < 8; ++p)
  {
    host.Set(kMultiPartMIDICh + p, 15 - p); // ignored: part p goes out on channel p
    host.Set(kMultiPartPatch + p, 10 * p);
    host.Set(kMultiPartBank + p, p);
  }
  host.Set(kMultiPartPatch + 0, 127);
  host.Set(kMultiPartBank + 7, 200);

  testing::internal::CaptureStdout();
  ASSERT_TRUE(sender.ReselectPerformanceParts());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // straight to the port: no log
  const auto sent = host.Sent();
  ASSERT_EQ(sent.size(), 24u);
  EXPECT_EQ(sent[0], (Bytes{0xC0, 126}));
  EXPECT_EQ(sent[1], (Bytes{0xB0, 32, 5}));
  EXPECT_EQ(sent[2], (Bytes{0xC0, 127}));
  EXPECT_EQ(sent[9], (Bytes{0xC3, 31}));
  EXPECT_EQ(sent[10], (Bytes{0xB3, 32, 8}));
  EXPECT_EQ(sent[11], (Bytes{0xC3, 30}));
  EXPECT_EQ(sent[22], (Bytes{0xB7, 32, 127})); // bank 200 + 5, held to a data byte
  const auto times = host.SendTimes();
  ASSERT_EQ(times.size(), 24u);
  for (size_t i = 0; i < times.size(); ++i)
    EXPECT_EQ(times[i], int64_t(500 + 75 * i)) << i;
  EXPECT_EQ(host.clock.NowMs(), 500 + 75 * 24);
  EXPECT_EQ(host.reselectingParts, 0);
  EXPECT_EQ(host.conflictWindowSuppressed, 0);
  EXPECT_TRUE(host.editorSets.empty()); // no light
  ExpectSevenBitData(sent);

  // Torn down during the first wait: nothing is sent and the flags are left clean.
  host.ClearSent();
  host.stop.request_stop();
  EXPECT_FALSE(sender.ReselectPerformanceParts());
  EXPECT_EQ(host.SentCount(), 0u);
  EXPECT_EQ(host.reselectingParts, 0);
}

TEST(DeviceSender, LibrarianSlotGoesToTheJobsThreadAsACopy)
{
  LinkHostDouble host;
  DeviceSender sender(host);
  EXPECT_FALSE(sender.SendLibrarianSlot(0, 0, 0)); // no librarian
  PatchLibrarian librarian;
  host.librarian = &librarian;

  LibrarianSlot stored;
  stored.name = "Bass";
  stored.AddMessage({0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x02, 0x01, 0x05, 0xF7});
  ASSERT_TRUE(librarian.PutSlot(1, 5, stored));
  {
    auto lock = librarian.Lock();
    librarian.LeftBank()->Resize(3); // a short bank is filled up to 128 first
  }

  EXPECT_FALSE(sender.SendLibrarianSlot(5, 0, 2)); // empty slot of the left bank
  {
    auto lock = librarian.Lock();
    EXPECT_EQ(librarian.LeftBank()->NumSlots(), 128);
  }
  EXPECT_FALSE(sender.SendLibrarianSlot(128, 1, 2)); // past the bank
  EXPECT_FALSE(sender.SendLibrarianSlot(-1, 1, 2));
  EXPECT_TRUE(host.posted.empty());
  EXPECT_EQ(host.loadedSlot, -1);

  ASSERT_TRUE(sender.SendLibrarianSlot(5, 1, 2));
  EXPECT_EQ(host.loadedSlot, 5);
  ASSERT_EQ(host.posted.size(), 1u);
  EXPECT_EQ(host.posted[0].code, LinkJobCode::kLoadSlot);
  EXPECT_EQ(host.posted[0].partOrSlot, 2);
  EXPECT_FALSE(host.posted[0].reselectParts);
  EXPECT_EQ(host.posted[0].slot.name, "Bass");
  EXPECT_EQ(host.posted[0].slot.messages, stored.messages);
  // The job holds its own copy: the bank may change under it.
  ASSERT_TRUE(librarian.PutSlot(1, 5, LibrarianSlot()));
  EXPECT_EQ(host.posted[0].slot.messages.size(), 1u);
  ASSERT_TRUE(librarian.PutSlot(1, 5, stored));

  // In performance mode the job re-selects the parts; this thread never waited.
  host.performanceMode = 1;
  ASSERT_TRUE(sender.SendLibrarianSlot(5, 1, 0));
  EXPECT_TRUE(host.posted[1].reselectParts);
  EXPECT_EQ(host.clock.NowMs(), 0);
  EXPECT_EQ(host.SentCount(), 0u);

  // The view follows even without an output; nothing is posted then, or while the jobs thread runs.
  host.midiOutputReady = 0;
  host.loadedSlot = -1;
  EXPECT_FALSE(sender.SendLibrarianSlot(5, 1, 0));
  EXPECT_EQ(host.loadedSlot, 5);
  host.midiOutputReady = 1;
  host.jobsIdle = false;
  EXPECT_FALSE(sender.SendLibrarianSlot(5, 1, 0));
  EXPECT_EQ(host.posted.size(), 2u);
}

// The same sequence on a worker thread, the test moving the time: each step is done when Advance
// returns, and nothing goes out early.
TEST(DeviceSender, ProgramSelectionOnAWorkerFollowsTheVirtualClock)
{
  LinkHostDouble host;
  host.clock.SetAutoAdvance(false);
  DeviceSender sender(host);
  host.Set(kMultiPartMIDICh + 0, 1);
  host.Set(kMultiPartPatch + 0, 7);
  host.Set(kLibSyncTimer, 0); // 50 ms
  std::atomic<bool> done{false};
  std::thread worker(
      [&]
      {
        ClockThreadScope scope(host.clock);
        sender.SelectPartProgram(0);
        done = true;
      });
  ASSERT_TRUE(host.clock.WaitForSleepers(1));
  EXPECT_EQ(host.SentCount(), 2u);
  ASSERT_TRUE(host.clock.Advance(24));
  EXPECT_EQ(host.SentCount(), 2u);
  ASSERT_TRUE(host.clock.Advance(1));
  EXPECT_EQ(host.SentCount(), 3u);
  ASSERT_TRUE(host.clock.Advance(25));
  EXPECT_EQ(host.Sent().back(), (Bytes{0xC1, 7}));
  ASSERT_TRUE(host.clock.Advance(99));
  EXPECT_FALSE(done);
  ASSERT_TRUE(host.clock.Advance(1)); // 50 ms, then the 50 ms SysEx delay
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(host.SendTimes(), (std::vector<int64_t>{0, 0, 25, 50}));
}
