#include "IncomingTestSupport.h"
#include "config/ControlElement.h"

#include <gtest/gtest.h>

namespace
{
std::vector<Bytes> Sent(IncomingFixture& t)
{
  std::vector<Bytes> sent = t.host.Sent();
  t.host.ClearSent();
  return sent;
}
} // namespace

TEST(IncomingMessages, ControllerFromEitherSideMovesItsControlAndIsPassedOn)
{
  IncomingFixture t;
  t.FromDevice({0xB2, 74, 100});
  EXPECT_EQ(t.Value(kFilterCutoff + 2), 100);
  EXPECT_EQ(t.Value(kFilterCutoff + 1), 0);
  EXPECT_EQ(Sent(t), (std::vector<Bytes>{{0xB2, 74, 100}}));
  // The activity light of the part on the channel, and only while lights show incoming traffic.
  EXPECT_EQ(t.host.ledLit[2], 1);
  EXPECT_EQ(t.host.ParamValue(kMIDILed + 2), 1.0);
  // (Passed on, the message lights it as outgoing traffic; with local control on it is not.)
  t.host.ledsShowIncoming = 0;
  t.host.localControlOn = 1;
  t.FromDevice({0x94, 60, 1});
  EXPECT_EQ(t.host.ledLit[4], 0);
  t.host.ledsShowIncoming = 1;
  t.host.localControlOn = 0;
  Sent(t);

  // With local control on, the synthesizer's knob moves the editor and is not echoed; the
  // host's controller still goes through.
  t.host.localControlOn = 1;
  t.FromDevice({0xB2, 74, 90});
  EXPECT_EQ(t.Value(kFilterCutoff + 2), 90);
  EXPECT_TRUE(Sent(t).empty());
  t.FromHost({0xB5, 74, 17});
  EXPECT_EQ(t.Value(kFilterCutoff + 5), 17);
  EXPECT_EQ(Sent(t), (std::vector<Bytes>{{0xB5, 74, 17}}));

  // A controller no control answers to is passed on and moves nothing.
  t.host.localControlOn = 0;
  t.FromDevice({0xB2, 20, 5});
  EXPECT_EQ(Sent(t), (std::vector<Bytes>{{0xB2, 20, 5}}));

  // The host's messages go to the audio callback's queue when the user chose it, with their offset.
  t.host.queueShortMidi = 1;
  t.FromHost({0xB1, 74, 3}, 12);
  EXPECT_TRUE(Sent(t).empty());
  EXPECT_EQ(t.host.midiQueue.Count(), 1);
}

TEST(IncomingMessages, NrpnInEveryOrderMovesItsParameter)
{
  IncomingFixture t;
  // MSB, LSB, data: the sustain value 5 of part 3 (page 84, base 77).
  for (const Bytes& m : std::vector<Bytes>{{0xB3, 99, 0}, {0xB3, 98, 84}, {0xB3, 6, 81}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiPartSustain + 3), 5);
  EXPECT_EQ(Sent(t), (std::vector<Bytes>{{0xB3, 99, 0}, {0xB3, 98, 84}, {0xB3, 6, 81}}));
  // LSB before MSB.
  for (const Bytes& m : std::vector<Bytes>{{0xB3, 98, 84}, {0xB3, 99, 0}, {0xB3, 6, 79}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiPartSustain + 3), 2);
  // A second data entry of the same number, and only the LSB renewed.
  t.FromDevice({0xB3, 6, 83});
  EXPECT_EQ(t.Value(kMultiPartSustain + 3), 13);
  t.FromDevice({0xB3, 98, 40});
  t.FromDevice({0xB3, 6, 66});
  EXPECT_EQ(t.Value(kFilterResonance + 3), 66);
  EXPECT_EQ(t.incoming.NrpnLsb(), 40);
  // Another controller between the number and the data resets the number: the data entry is
  // then a plain controller 6, which no control answers to.
  for (const Bytes& m : std::vector<Bytes>{{0xB3, 99, 0}, {0xB3, 98, 84}, {0xB3, 7, 100}, {0xB3, 6, 81}})
    t.FromDevice(m);
  EXPECT_EQ(t.incoming.NrpnLsb(), kNoNrpnLsb);
  EXPECT_EQ(t.Value(kMultiPartSustain + 3), 13);
  // From the host the number is not assembled: its controller 6 is a plain controller.
  for (const Bytes& m : std::vector<Bytes>{{0xB3, 99, 0}, {0xB3, 98, 84}, {0xB3, 6, 80}})
    t.FromHost(m);
  EXPECT_EQ(t.Value(kMultiPartSustain + 3), 13);
}

TEST(IncomingMessages, NrpnSpecialsOnTheGlobalChannelAndPartViews)
{
  IncomingFixture t;
  // Part 3 on, and selected, from the synthesizer's global channel.
  for (const Bytes& m : std::vector<Bytes>{{0xBF, 99, 0}, {0xBF, 98, 113}, {0xBF, 6, 58}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiPartStatus + 3), 1.0);
  EXPECT_EQ(t.Value(kQuickTab), 3);
  t.FromDevice({0xBF, 6, 66});
  EXPECT_EQ(t.Value(kMultiPartStatus + 3), 0.0);
  t.FromDevice({0xBF, 6, 81});
  EXPECT_EQ(t.Value(kQuickTab), 5);
  EXPECT_EQ(t.host.secondaryHandlers, (std::vector<int>{kQuickTab, kQuickTab, kQuickTab}));
  // A range of a part page refreshes the part view after moving the control.
  t.host.secondaryHandlers.clear();
  for (const Bytes& m : std::vector<Bytes>{{0xB1, 99, 0}, {0xB1, 98, 1}, {0xB1, 6, 123}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kArpNoteOrdering + 1), 0);
  EXPECT_EQ(t.Value(kArpFillIn + 1), 1);
  EXPECT_EQ(t.host.changeHandlers, (std::vector<int>{kArpFillIn + 1}));
  EXPECT_EQ(t.host.secondaryHandlers, (std::vector<int>{kQuickTab}));
  t.FromDevice({0xB1, 6, 127});
  EXPECT_EQ(t.Value(kArpNoteOrdering + 1), 2);
  EXPECT_EQ(t.host.changeHandlers.back(), kArpNoteOrdering + 1);
}

TEST(IncomingMessages, BankSelectsAndPartKeys)
{
  IncomingFixture t;
  // The synthesizer's own bank select 0/0 then 32/64 is swallowed.
  t.FromDevice({0xB2, 0, 0});
  t.FromDevice({0xB2, 32, 64});
  EXPECT_TRUE(Sent(t).empty());
  EXPECT_EQ(t.Value(kMultiPartBank + 2), 0);
  // Without the 0/0 before it, 32/65 selects bank 1 of the part on the channel.
  t.FromDevice({0xB2, 32, 65});
  EXPECT_EQ(t.Value(kMultiPartBank + 2), 1);
  EXPECT_EQ(t.Value(kCurrentBank), 1);
  EXPECT_EQ(Sent(t), (std::vector<Bytes>{{0xB2, 32, 6}, {0xB2, 32, 65}}));
  // On a channel no part listens on there is no part: nothing else changes.
  t.host.editorSets.clear();
  t.FromDevice({0xBC, 32, 66});
  EXPECT_TRUE(t.host.editorSets.empty());
  EXPECT_EQ(t.Value(kCurrentBank), 1);
  Sent(t);
  // From the host both halves of a bank select are dropped.
  t.FromHost({0xB2, 0, 0});
  t.FromHost({0xB2, 32, 96});
  EXPECT_TRUE(Sent(t).empty());
  // A part channel above 15 is the global channel.
  t.host.Set(kMultiPartMIDICh + 4, 16);
  t.FromDevice({0xBF, 74, 33});
  EXPECT_EQ(t.Value(kFilterCutoff + 4), 33);
}

TEST(IncomingMessages, LocalControlAndTheReceivedSpecials)
{
  IncomingFixture t;
  t.FromDevice({0xBF, 122, 127});
  EXPECT_EQ(t.host.localControlOn, 1);
  EXPECT_EQ(t.Value(kGlobalLocalControl), 1.0);
  EXPECT_TRUE(Sent(t).empty()); // local control now on: not echoed
  t.FromDevice({0xBF, 122, 0});
  EXPECT_EQ(t.host.localControlOn, 0);
  EXPECT_EQ(t.Value(kGlobalLocalControl), 0.0);

  // One controller carries room and early reflection: both follow, the room's handler runs.
  t.FromDevice({0xB0, 91, 8 * 5 + 6});
  EXPECT_EQ(t.Value(kFXReverbRoom), 5);
  EXPECT_EQ(t.Value(kFXReverbEarlyRef), 6);
  EXPECT_EQ(t.host.changeHandlers, (std::vector<int>{kFXReverbRoom}));
  t.FromDevice({0xB0, 91, 8 * 5 + 2});
  EXPECT_EQ(t.Value(kFXReverbEarlyRef), 2);
  EXPECT_EQ(t.host.changeHandlers.back(), kFXReverbEarlyRef);

  // Polyphony: the part's voices and the program's mono/poly switch.
  for (const Bytes& m : std::vector<Bytes>{{0xB6, 99, 0}, {0xB6, 98, 50}, {0xB6, 6, 1}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiPartPolyphony + 6), 2);
  EXPECT_EQ(t.Value(kProgramPolyphony + 6), 1);
}

TEST(IncomingMessages, EachPassThroughSwitchBlocksOrPassesItsType)
{
  struct Case
  {
    int sw;
    Bytes message;
  };
  const Case cases[] = {{IncomingMessages::kNoteSwitch, {0x92, 60, 100}},
                        {IncomingMessages::kNoteSwitch, {0x82, 60, 0}},
                        {IncomingMessages::kPolyPressureSwitch, {0xA2, 60, 30}},
                        {IncomingMessages::kChannelPressureSwitch, {0xD2, 40}},
                        {IncomingMessages::kPitchBendSwitch, {0xE2, 0, 64}},
                        {IncomingMessages::kCcSwitch, {0xB2, 20, 5}}};
  for (bool device : {true, false})
    for (const Case& c : cases)
    {
      SCOPED_TRACE(::testing::Message() << (device ? "device " : "host ") << int(c.message[0]));
      IncomingFixture t;
      const size_t index = size_t(c.sw + (device ? IncomingMessages::kDeviceSide : 0));
      const size_t other = size_t(c.sw + (device ? 0 : IncomingMessages::kDeviceSide));
      t.host.passThrough[index] = 0;
      device ? t.FromDevice(c.message) : t.FromHost(c.message);
      EXPECT_TRUE(Sent(t).empty());
      t.host.passThrough[index] = 1;
      t.host.passThrough[other] = 0; // the other side's switch does not matter
      device ? t.FromDevice(c.message) : t.FromHost(c.message);
      EXPECT_EQ(Sent(t), (std::vector<Bytes>{c.message}));
    }
  // A controller switch off drops the controller entirely: nothing moves either.
  IncomingFixture t;
  t.host.passThrough[IncomingMessages::kCcSwitch + IncomingMessages::kDeviceSide] = 0;
  t.FromDevice({0xB2, 74, 55});
  EXPECT_EQ(t.Value(kFilterCutoff + 2), 0);
  t.host.passThrough[IncomingMessages::kCcSwitch] = 0;
  t.FromHost({0xB2, 74, 55});
  EXPECT_EQ(t.Value(kFilterCutoff + 2), 0);
}

TEST(IncomingMessages, FilterDropsWhatMustNotBeHandled)
{
  IncomingFixture t;
  const Bytes note{0x91, 60, 100};
  for (std::atomic<uint8_t>* flag :
       {&t.host.transferBusy, &t.host.incomingMidiBlocked, &t.host.editBufferReceive})
  {
    *flag = 1;
    t.FromDevice(note);
    t.FromHost(note);
    EXPECT_TRUE(Sent(t).empty());
    *flag = 0;
  }
  // The synthesizer as master keyboard: its messages are dropped, the host's are not.
  t.host.Set(kMasterKeyboard, 1);
  t.FromDevice(note);
  EXPECT_TRUE(Sent(t).empty());
  t.FromHost(note);
  EXPECT_EQ(Sent(t).size(), 1u);
  t.host.Set(kMasterKeyboard, 0);
  // Data bytes with the top bit, and system messages, are refused.
  t.FromDevice({0xB2, 74, 0x80});
  t.FromDevice({0xB2, 0xCA, 1});
  t.FromHost({0xC2, 0x85});
  t.FromDevice({0xF8});
  t.FromHost({0xFA});
  // The receivers refuse them too when called directly.
  IMidiMessage broken;
  broken.status = 0xB2;
  broken.data1 = 74;
  broken.data2 = 0xFF;
  t.incoming.ReceiveMidiMessage(broken);
  t.incoming.ReceivePartMidiMessage(broken, 2);
  EXPECT_EQ(t.Value(kFilterCutoff + 2), 0);
  EXPECT_TRUE(Sent(t).empty());
  EXPECT_TRUE(t.host.posted.empty());
  // A program change's unused second byte does not matter.
  t.FromDevice({0xC2, 5, 0x90});
  EXPECT_EQ(t.host.posted.size(), 1u);
  // Nothing from the host without an output.
  t.host.midiOutputReady = 0;
  t.host.editBufferReceive = 0;
  t.FromHost(note);
  EXPECT_TRUE(Sent(t).empty());
}

TEST(IncomingMessages, ProgramChangeFromTheSynthesizer)
{
  IncomingFixture t;
  // On a part channel: the part's program change and request follow on the jobs thread.
  t.host.hardwareAnswered = 1;
  t.FromDevice({0xC3, 42});
  ASSERT_EQ(t.host.posted.size(), 1u);
  EXPECT_EQ(t.host.posted[0].code, LinkJobCode::kRequestPartProgram);
  EXPECT_EQ(t.host.posted[0].partOrSlot, 3);
  EXPECT_EQ(t.host.posted[0].programChange, 42);
  EXPECT_TRUE(t.host.posted[0].toEditorFlag);
  EXPECT_EQ(t.host.pendingRequestId, -1); // the request names its part while it runs
  EXPECT_EQ(t.host.editBufferReceive, 1);
  EXPECT_EQ(t.host.hardwareAnswered, 0);
  EXPECT_EQ(t.host.disarms, 1);
  EXPECT_EQ(t.host.storedPrograms, (std::vector<int>{42}));
  EXPECT_EQ(t.host.lastProgramChangeMs, t.host.clock.NowMs());
  EXPECT_EQ(t.host.messageConsumed, 0);
  EXPECT_TRUE(Sent(t).empty()); // never passed on
  // On the global channel: the edit buffer is requested.
  t.host.editBufferReceive = 0;
  t.FromDevice({0xCF, 9});
  ASSERT_EQ(t.host.posted.size(), 2u);
  EXPECT_EQ(t.host.posted[1].code, LinkJobCode::kRequestEditBuffer);
  // A locked part ignores it, and is not left waiting for a reception.
  t.host.editBufferReceive = 0;
  t.host.Set(kPartLock + 4, 1);
  t.FromDevice({0xC4, 1});
  EXPECT_EQ(t.host.posted.size(), 2u);
  EXPECT_EQ(t.host.editBufferReceive, 0);
  // A busy jobs thread refuses the follow-up: incoming messages are not held back for it.
  t.host.jobsIdle = false;
  t.FromDevice({0xC2, 1});
  EXPECT_EQ(t.host.posted.size(), 2u);
  EXPECT_EQ(t.host.editBufferReceive, 0);
  EXPECT_EQ(t.host.pendingRequestId, -1);
  EXPECT_EQ(t.host.statusTexts.back(), IncomingMessages::kProgramChangeDuringTransfer);
  // The program-change switch off drops it.
  t.host.jobsIdle = true;
  t.host.passThrough[IncomingMessages::kProgramSwitch + IncomingMessages::kDeviceSide] = 0;
  t.FromDevice({0xC2, 1});
  EXPECT_EQ(t.host.posted.size(), 2u);
}

TEST(IncomingMessages, ProgramChangeInTheLibrarianView)
{
  IncomingFixture t;
  t.host.Set(kControlLibrary, 1);
  t.FromDevice({0xCF, 3});
  EXPECT_EQ(t.host.statusTexts.back(), IncomingMessages::kTurnOnPerformanceMode);
  t.host.performanceMode = 1;
  t.FromDevice({0xC1, 3});
  EXPECT_EQ(t.host.statusTexts.back(), IncomingMessages::kTurnOnProgramMode);
  EXPECT_TRUE(t.host.posted.empty());
  EXPECT_EQ(t.host.editBufferReceive, 0);
  // In the right mode the slot goes to the part; without a librarian there is none to send,
  // and no reception stays open.
  t.FromDevice({0xCF, 3});
  EXPECT_EQ(t.host.messageConsumed, 1);
  EXPECT_EQ(t.host.storedPrograms, (std::vector<int>{3}));
  EXPECT_EQ(t.host.editBufferReceive, 0);
  EXPECT_EQ(t.host.pendingRequestId, -1);
}

TEST(IncomingMessages, ProgramChangeFromTheHostNeverWaits)
{
  IncomingFixture t;
  const int64_t before = t.host.clock.NowMs();
  // Without the part's program-change switch nothing happens.
  t.FromHost({0xC2, 7});
  EXPECT_TRUE(t.host.posted.empty());
  t.host.Set(kPartProgramChange + 2, 1);
  t.FromHost({0xC2, 7});
  ASSERT_EQ(t.host.posted.size(), 1u);
  EXPECT_EQ(t.host.posted[0].code, LinkJobCode::kRequestPartProgram);
  EXPECT_EQ(t.host.posted[0].partOrSlot, 2);
  EXPECT_EQ(t.host.posted[0].programChange, 7);
  EXPECT_EQ(t.host.clock.NowMs(), before); // no wait for the reply on the host's thread
  EXPECT_TRUE(Sent(t).empty());
  // A locked part ignores it.
  t.host.editBufferReceive = 0;
  t.host.Set(kPartLock + 2, 1);
  t.FromHost({0xC2, 8});
  EXPECT_EQ(t.host.posted.size(), 1u);
}

// A part whose arpeggiator follows its own program hands the multi-mode arpeggiator's message to
// the part's own control (the same NRPN registered for the part's block).
TEST(IncomingMessages, ArpeggiatorSourceRedirectsTheMultiModeBank)
{
  IncomingFixture t;
  auto element = [](int index, int part)
  {
    ControlElement e;
    e.name = "Arp";
    e.paramIdx = index;
    e.partIndex = part;
    e.imageId = "IKNOBROTATERCONTROL_ID2";
    e.valueBounds[2] = 4; // a menu of four values 0..3
    e.valueBounds[3] = 1;
    e.valueList = {"A", "B", "C", "D"};
    e.ccNumber = 6;
    e.lsbValue = 96;
    e.lsbControl = 113;
    return e;
  };
  ASSERT_NE(t.f.reader->CreateMsbLsbMenu(element(kMultiArpBank + 2, 2)), nullptr);        // block 1
  ASSERT_NE(t.f.reader->CreateMsbLsbKnob(element(kOscillator1Semitone + 2, 2)), nullptr); // block 0
  t.f.graphics->SyncParameterToControls(kMultiArpBank + 2, 0.0, false);
  t.f.graphics->SyncParameterToControls(kOscillator1Semitone + 2, 0.0, false);

  for (const Bytes& m : std::vector<Bytes>{{0xB2, 99, 0}, {0xB2, 98, 113}, {0xB2, 6, 98}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiArpBank + 2), 2);
  EXPECT_EQ(t.Value(kOscillator1Semitone + 2), 0);
  t.host.Set(kMultiArpSource + 2, 1);
  for (const Bytes& m : std::vector<Bytes>{{0xB2, 99, 0}, {0xB2, 98, 113}, {0xB2, 6, 99}})
    t.FromDevice(m);
  EXPECT_EQ(t.Value(kMultiArpBank + 2), 2);
  EXPECT_EQ(t.Value(kOscillator1Semitone + 2), 3);
}
