#include "config/MidiMapRecord.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/ParameterIds.h"
#include "link/output/ParameterOutput.h"
#include "tests/link/LinkHostDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
class ProbeControl : public IControl
{
public:
  ProbeControl() : IControl(nullptr, IRectangle()) {}
  bool Draw(IGraphics*) override { return false; }
};

struct Fixture
{
  Fixture()
  {
    host.Set(kGlobalMidiChannel, 9);
    host.Set(kDeviceOutSelection, 1);
    for (int p = 0; p < 8; ++p)
      host.Set(kMultiPartMIDICh + p, p); // part p on channel p
  }

  // Sends a value for the parameter and answers what left for it.
  std::vector<Bytes> Send(MidiMapRecord& record, int index, double value)
  {
    host.ClearSent();
    host.Set(index, value);
    output.SendParamToHardware(&record, index, value);
    all.push_back(host.Sent());
    return host.Sent();
  }

  ~Fixture()
  {
    for (const auto& sent : all)
      ExpectSevenBitData(sent);
  }

  LinkHostDouble host;
  ParameterOutput output{host};
  std::vector<std::vector<Bytes>> all;
};

MidiMapRecord& Cc(MidiMapRecord& r, int part, int cc)
{
  r.part = part;
  r.ccNumber = cc;
  return r;
}
} // namespace

TEST(ParameterOutput, ControllersOnThePartChannelForMinimumMiddleAndMaximum)
{
  Fixture f;
  MidiMapRecord r(MidiMapRecord::kCc);
  Cc(r, 2, 74);
  ProbeControl a, b;
  r.boundControls = {&a, &b};
  const int index = 1000 + 2;

  EXPECT_EQ(f.Send(r, index, 0), (std::vector<Bytes>{{0xB2, 74, 0}}));
  EXPECT_EQ(f.Send(r, index, 64.4), (std::vector<Bytes>{{0xB2, 74, 64}})); // the nearest step
  EXPECT_EQ(a.Value(), 64.4 / 127); // the bound controls follow the parameter
  EXPECT_EQ(b.Value(), 64.4 / 127);
  EXPECT_EQ(f.Send(r, index, 63.7), std::vector<Bytes>{});                       // the same integer: nothing
  EXPECT_EQ(f.Send(r, index, 65 - 1e-12), (std::vector<Bytes>{{0xB2, 74, 65}})); // a hair below 65 is 65
  EXPECT_EQ(f.Send(r, index, 127), (std::vector<Bytes>{{0xB2, 74, 127}}));
  EXPECT_EQ(f.Send(r, index, 300), (std::vector<Bytes>{{0xB2, 74, 127}})); // clamped, never wrapped
  EXPECT_EQ(f.Send(r, index, -3), (std::vector<Bytes>{{0xB2, 74, 0}}));
  EXPECT_EQ(f.host.midiTexts.back(), "CC|74");
  EXPECT_EQ(r.lastValueSent.load(), -3.0);

  // A part set to follow the global channel, a record without a part, and a global parameter.
  f.host.Set(kMultiPartMIDICh + 2, 16);
  EXPECT_EQ(f.Send(r, index, 5), (std::vector<Bytes>{{0xB9, 74, 5}}));
  MidiMapRecord partless(MidiMapRecord::kCc);
  Cc(partless, -1, 7);
  EXPECT_EQ(f.Send(partless, 3000, 1), (std::vector<Bytes>{{0xB9, 7, 1}}));
  MidiMapRecord global(MidiMapRecord::kCc);
  Cc(global, 3, 20);
  EXPECT_EQ(f.Send(global, kGlobalTempo - 1, 1), (std::vector<Bytes>{{0xB9, 20, 1}}));

  // A record without a controller number sends nothing rather than controller 0.
  MidiMapRecord broken(MidiMapRecord::kCc);
  broken.part = 0;
  EXPECT_EQ(f.Send(broken, 10, 5), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(partless, 3000, std::nan("")), std::vector<Bytes>{});
}

TEST(ParameterOutput, ReverbPairsAndTheTempoOverride)
{
  Fixture f;
  MidiMapRecord early(MidiMapRecord::kCc), room(MidiMapRecord::kCc), tempo(MidiMapRecord::kCc),
      speed(MidiMapRecord::kCc);
  Cc(early, 1, 88);
  Cc(room, 1, 89);
  Cc(tempo, 0, 90);
  Cc(speed, 4, 91);
  f.host.Set(kFXReverbRoom + 1, 3);
  EXPECT_EQ(f.Send(early, kFXReverbEarlyRef + 1, 2), (std::vector<Bytes>{{0xB1, 88, 2 + 8 * 3}}));
  EXPECT_EQ(f.Send(room, kFXReverbRoom + 1, 5), (std::vector<Bytes>{{0xB1, 89, 8 * 5 + 2}}));
  f.host.Set(kFXMultiReverbRoom + 1, 15);
  EXPECT_EQ(f.Send(early, kFXMultiReverbEarlyRef + 1, 7),
            (std::vector<Bytes>{{0xB1, 88, 127}})); // 127, clamped

  f.host.Set(kOverrideTempo, 1);
  f.host.midiTexts.clear();
  EXPECT_EQ(f.Send(tempo, kGlobalTempo, 120), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(speed, kArpSpeed + 4, 3), std::vector<Bytes>{});
  EXPECT_TRUE(f.host.midiTexts.empty());
  f.host.Set(kOverrideTempo, 0);
  EXPECT_EQ(f.Send(tempo, kGlobalTempo, 121), (std::vector<Bytes>{{0xB9, 90, 121}}));
  EXPECT_EQ(f.Send(speed, kArpSpeed + 4, 4), (std::vector<Bytes>{{0xB4, 91, 4}}));
}

TEST(ParameterOutput, ControllersWithOffAndOnValues)
{
  Fixture f;
  MidiMapRecord r(MidiMapRecord::kCcOffOn);
  Cc(r, 5, 60);
  r.offValue = 0;
  r.onValue = 100;
  EXPECT_EQ(f.Send(r, 400 + 5, 0), (std::vector<Bytes>{{0xB5, 60, 0}}));
  EXPECT_EQ(f.Send(r, 400 + 5, 1), (std::vector<Bytes>{{0xB5, 60, 100}}));
  EXPECT_EQ(f.Send(r, 400 + 5, 2), (std::vector<Bytes>{{0xB5, 60, 100}}));

  MidiMapRecord local(MidiMapRecord::kCcOffOn);
  Cc(local, 0, 122);
  local.offValue = 0;
  local.onValue = 1;
  EXPECT_EQ(f.Send(local, kGlobalLocalControl, 1), (std::vector<Bytes>{{0xB9, 122, 127}}));
  EXPECT_EQ(f.Send(local, kGlobalLocalControl, 0), (std::vector<Bytes>{{0xB9, 122, 0}}));
  MidiMapRecord latch(MidiMapRecord::kCcOffOn);
  Cc(latch, 6, 64);
  latch.offValue = 1; // an off value of 1 becomes 127 as well
  latch.onValue = 1;
  EXPECT_EQ(f.Send(latch, kArpLatch + 6, 0), (std::vector<Bytes>{{0xB6, 64, 127}}));
  MidiMapRecord wide(MidiMapRecord::kCcOffOn);
  Cc(wide, 0, 65);
  wide.offValue = -1;
  wide.onValue = 200;
  EXPECT_EQ(f.Send(wide, 410, 1), (std::vector<Bytes>{{0xB0, 65, 127}}));
  EXPECT_EQ(f.Send(wide, 410, 0), (std::vector<Bytes>{{0xB0, 65, 0}}));
}

TEST(ParameterOutput, NrpnChainOfSpecialParameters)
{
  Fixture f;
  auto nrpn = [](MidiMapRecord& r, int part, int msb, int lsb, int offset)
  {
    r.part = part;
    r.ccNumber = 6;
    r.nrpnMsb = msb;
    r.nrpnLsb = lsb;
    r.nrpnValueOffset = offset;
  };
  auto Triple = [](int status, int msb, int lsb, int data)
  {
    return std::vector<Bytes>{{uint8_t(status), 99, uint8_t(msb)},
                              {uint8_t(status), 98, uint8_t(lsb)},
                              {uint8_t(status), 6, uint8_t(data)}};
  };

  // A plain NRPN: the defaults, minimum, middle and maximum.
  MidiMapRecord plain(MidiMapRecord::kNrpn);
  nrpn(plain, 3, 20, 30, 10);
  EXPECT_EQ(f.Send(plain, 500 + 3, 0), Triple(0xB3, 20, 30, 10));
  EXPECT_EQ(f.Send(plain, 500 + 3, 50), Triple(0xB3, 20, 30, 60));
  EXPECT_EQ(f.Send(plain, 500 + 3, 127), Triple(0xB3, 20, 30, 127)); // 137 clamped
  EXPECT_EQ(f.host.midiTexts.back(), "MSB/LSB");

  // The arpeggiator bank above 2, on a part listening on channel 2.
  MidiMapRecord arpBank(MidiMapRecord::kNrpn);
  nrpn(arpBank, 2, 1, 2, 0);
  EXPECT_EQ(f.Send(arpBank, kArpBank + 2, 5),
            (std::vector<Bytes>{{0xB2, 0x63, 0x2B}, {0xB2, 0x62, 0x7A}, {0xB2, 6, 0x02}}));
  EXPECT_EQ(f.Send(arpBank, kArpBank + 2, 2), Triple(0xB2, 1, 2, 2)); // condition fails: defaults
  // Its multi-mode twin alike: on its own page, 3 and 4 would be the latch mode's data 79 and 80.
  MidiMapRecord multiArpBank(MidiMapRecord::kNrpn);
  nrpn(multiArpBank, 2, 0, 1, 76);
  EXPECT_EQ(f.Send(multiArpBank, kMultiArpBank + 2, 4), Triple(0xB2, 43, 122, 1));
  EXPECT_EQ(f.Send(multiArpBank, kMultiArpBank + 2, 2), Triple(0xB2, 0, 1, 78));

  MidiMapRecord sustain(MidiMapRecord::kNrpn);
  nrpn(sustain, 1, 5, 100, 0);
  EXPECT_EQ(f.Send(sustain, kMultiPartSustain + 1, 9), Triple(0xB1, 5, 113, 5));
  EXPECT_EQ(f.Send(sustain, kMultiPartSustain + 1, 3), Triple(0xB1, 5, 110, 126));
  EXPECT_EQ(f.Send(sustain, kMultiPartSustain + 1, 5), Triple(0xB1, 5, 100, 81));
  EXPECT_EQ(f.Send(sustain, kMultiPartSustain + 1, 7), Triple(0xB1, 5, 110, 127));
  EXPECT_EQ(f.Send(sustain, kMultiPartSustain + 1, 13), Triple(0xB1, 5, 100, 83));

  MidiMapRecord envelope(MidiMapRecord::kNrpn);
  nrpn(envelope, 4, 0, 9, 60);
  f.host.Set(kEnvelope1Triggering + 4, 1);
  f.host.Set(kEnvelope3Triggering + 4, 1);
  EXPECT_EQ(f.Send(envelope, kEnvelopeTriggering + 4, 1), Triple(0xB4, 0, 1, 60 + 4 + 0 + 1));

  MidiMapRecord fillIn(MidiMapRecord::kNrpn), ordering(MidiMapRecord::kNrpn);
  nrpn(fillIn, 0, 0, 5, 0);
  nrpn(ordering, 0, 0, 6, 0);
  f.host.Set(kArpNoteOrdering, 1);
  EXPECT_EQ(f.Send(fillIn, kArpFillIn, 1), Triple(0xB0, 0, 5, 1 + 2 * 62));  // 125
  EXPECT_EQ(f.Send(ordering, kArpNoteOrdering, 3), Triple(0xB0, 0, 6, 127)); // 1 + 6 + 122, clamped

  MidiMapRecord chorus(MidiMapRecord::kNrpn);
  nrpn(chorus, 6, 3, 4, 0);
  EXPECT_EQ(f.Send(chorus, kFXMultiChorusType + 6, 4), Triple(0xB6, 14, 122, 2));
  EXPECT_EQ(f.host.ParamValue(kFXMultiChorusType2 + 6), 2);
  EXPECT_EQ(f.Send(chorus, kFXChorusType + 6, 5), Triple(0xB6, 14, 122, 3));
  EXPECT_EQ(f.host.ParamValue(kFXChorusType2 + 6), 3);

  MidiMapRecord delay(MidiMapRecord::kNrpn);
  nrpn(delay, 7, 3, 4, 0);
  EXPECT_EQ(f.Send(delay, kFXDelayRatio + 7, 12), Triple(0xB7, 0, 100, 111));
  EXPECT_EQ(f.Send(delay, kFXDelayRatio + 7, 10), Triple(0xB7, 3, 4, 10));

  MidiMapRecord fm(MidiMapRecord::kNrpn);
  nrpn(fm, 0, 1, 1, 0);
  EXPECT_EQ(f.Send(fm, kOscillator13FM, 1), Triple(0xB0, 1, 1, 0));
  EXPECT_EQ(f.Send(fm, kOscillator23FM, 0), Triple(0xB0, 1, 1, 4));
  EXPECT_EQ(f.Send(fm, kMultiPartSwitch3 + 0, 1), Triple(0xB0, 1, 1, 2));

  MidiMapRecord poly(MidiMapRecord::kNrpn);
  nrpn(poly, 1, 2, 3, 10);
  EXPECT_EQ(f.Send(poly, kMultiPartPolyphony + 1, 4), Triple(0xB1, 2, 3, 13));

  // Global parameters go out on the global channel.
  MidiMapRecord rxpc(MidiMapRecord::kNrpn);
  nrpn(rxpc, 0, 4, 5, 0);
  EXPECT_EQ(f.Send(rxpc, kGlobalRXPC, 0), Triple(0xB9, 4, 5, 34));
  EXPECT_EQ(f.Send(rxpc, kGlobalRXPC, 2), Triple(0xB9, 4, 5, 36));
  MidiMapRecord channel(MidiMapRecord::kNrpn);
  nrpn(channel, 0, 4, 6, 1);
  f.host.Set(kGlobalMidiChannel, 3); // the parameter already holds the new value
  EXPECT_EQ(f.Send(channel, kGlobalMidiChannel, 3), Triple(0xB3, 4, 6, 36));
  EXPECT_TRUE(std::find(f.host.editorSets.begin(), f.host.editorSets.end(),
                        std::make_pair(int(kDeviceID_old), 3.0)) != f.host.editorSets.end());
  MidiMapRecord inRange(MidiMapRecord::kNrpn);
  nrpn(inRange, 5, 7, 8, 0);
  EXPECT_EQ(f.Send(inRange, 3160, 9), Triple(0xB3, 7, 8, 9));
}

TEST(ParameterOutput, SysExTablesCarryTheDeviceIdAndOnlyPatternsAskForTheirPatternBack)
{
  Fixture f;
  f.host.deviceId = 5;
  MidiMapRecord pair(MidiMapRecord::kSysExPair);
  pair.sysExMessages = {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x10, 0x00, 0xF7},
                        {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x10, 0x01, 0xF7}};
  EXPECT_EQ(f.Send(pair, 700, 1),
            (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 5, 0x10, 0x01, 0xF7}}));
  EXPECT_EQ(f.host.midiTexts.back(), "SysEx");
  EXPECT_EQ(f.Send(pair, 700, 2), std::vector<Bytes>{}); // no entry for the value

  // Entries count from the parameter's minimum; a value byte past 127 is held inside the frame.
  MidiMapRecord table(MidiMapRecord::kSysExTable);
  f.host.minimums[800] = -2;
  for (int value = -2; value <= 1; ++value)
    table.sysExMessages.push_back({0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x11, 126 + value + 2, 0xF7});
  EXPECT_EQ(f.Send(table, 800, -2),
            (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 5, 0x11, 126, 0xF7}}));
  EXPECT_EQ(f.Send(table, 800, 1),
            (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 5, 0x11, 0x7F, 0xF7}}));
  EXPECT_EQ(f.Send(table, 800, 2), std::vector<Bytes>{});
  EXPECT_TRUE(f.host.posted.empty());

  // A list: every message of the value's group, in order.
  MidiMapRecord list(MidiMapRecord::kSysExTable);
  list.sysExList = true;
  list.messageGroups = {
      {}, {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x12, 0x01, 0xF7}, {0xF0, 0x7E, 0x01, 0x02, 0xF7}}};
  EXPECT_EQ(f.Send(list, 900, 1),
            (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 5, 0x12, 0x01, 0xF7},
                                {0xF0, 0x7E, 0x01, 0x02, 0xF7}}));

  // The eight pattern parameters ask for their pattern; the globals after them do not.
  MidiMapRecord pattern(MidiMapRecord::kSysExTable);
  pattern.sysExMessages = {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x13, 0x00, 0xF7},
                           {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x13, 0x01, 0xF7}};
  f.host.hardwareAnswered = 1;
  f.host.requestProcessed = 1;
  EXPECT_EQ(f.Send(pattern, kPartPattern + 7, 1).size(), 1u);
  ASSERT_EQ(f.host.posted.size(), 1u);
  EXPECT_EQ(f.host.posted[0].code, LinkJobCode::kRequestPattern);
  EXPECT_EQ(f.host.posted[0].partOrSlot, 7);
  EXPECT_TRUE(f.host.posted[0].toEditorFlag);
  EXPECT_EQ(f.host.hardwareAnswered, 0);
  EXPECT_EQ(f.host.requestProcessed, 0);
  MidiMapRecord local(MidiMapRecord::kSysExTable);
  local.sysExMessages = pattern.sysExMessages;
  EXPECT_EQ(f.Send(local, kGlobalLocalControl, 1).size(), 1u);
  EXPECT_EQ(f.host.posted.size(), 1u);
  EXPECT_EQ(f.host.clock.NowMs(), 0); // and nothing waited

  // No output chosen in the device menu.
  f.host.Set(kDeviceOutSelection, 0);
  f.host.statusTexts.clear();
  EXPECT_EQ(f.Send(pair, 700, 0), std::vector<Bytes>{});
  EXPECT_EQ(f.host.statusTexts, std::vector<std::string>{"Set MIDI I/O First!"});
}

// A parameter's SysEx carries the model byte of the synthesizer chosen, as every request does:
// the six-part model's (23) or the eight-part model's (24), whatever the template holds.
TEST(ParameterOutput, SysExCarriesTheCurrentModelsByte)
{
  Fixture f;
  f.host.deviceId = 3;
  MidiMapRecord pattern(MidiMapRecord::kSysExTable);
  pattern.sysExMessages = {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x13, 0x00, 0xF7},
                           {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x7F, 0x13, 0x01, 0xF7}};
  MidiMapRecord list(MidiMapRecord::kSysExTable);
  list.sysExList = true;
  list.messageGroups = {
      {}, {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x12, 0x01, 0xF7}, {0xF0, 0x7E, 0x01, 0x02, 0xF7}}};
  for (const auto& [model, byte] : {std::pair{2, 0x23}, std::pair{1, 0x22}, std::pair{0, 0x24}})
  {
    SCOPED_TRACE(model);
    f.host.Set(kCurrentModel, model);
    pattern.lastValueSent = -1.0;
    list.lastValueSent = -1.0;
    EXPECT_EQ(f.Send(pattern, kPartPattern + 2, 1),
              (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, uint8_t(byte), 3, 0x13, 0x01, 0xF7}}));
    // A message of another maker's frame is left as it is.
    EXPECT_EQ(f.Send(list, 900, 1),
              (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, uint8_t(byte), 3, 0x12, 0x01, 0xF7},
                                  {0xF0, 0x7E, 0x01, 0x02, 0xF7}}));
  }
}

TEST(ParameterOutput, SendGates)
{
  Fixture f;
  MidiMapRecord cc(MidiMapRecord::kCc);
  Cc(cc, 1, 10);
  MidiMapRecord sysex(MidiMapRecord::kSysExPair);
  sysex.sysExMessages = {{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x10, 0x00, 0xF7},
                         {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x10, 0x01, 0xF7}};

  // Without an output: the user is told, except for the device settings themselves, and the value
  // is not remembered.
  f.host.midiOutputReady = 0;
  EXPECT_EQ(f.Send(cc, 20, 3), std::vector<Bytes>{});
  EXPECT_EQ(f.host.statusTexts, std::vector<std::string>{"Set MIDI I/O First!"});
  MidiMapRecord channel(MidiMapRecord::kNrpn);
  f.Send(channel, kGlobalMidiChannel, 4);
  f.host.editorReady = 0;
  f.Send(cc, 20, 5);
  EXPECT_EQ(f.host.statusTexts.size(), 1u);
  f.host.editorReady = 1;
  f.host.midiOutputReady = 1;
  EXPECT_EQ(f.Send(cc, 20, 3), (std::vector<Bytes>{{0xB1, 10, 3}}));

  // A secondary change moves the bookkeeping but sends nothing.
  f.host.inSecondaryChange = 1;
  EXPECT_EQ(f.Send(cc, 20, 4), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(sysex, 21, 1), std::vector<Bytes>{});
  EXPECT_EQ(cc.lastValueSent.load(), 4.0);
  f.host.inSecondaryChange = 0;

  // A handshake under way, or an editor not ready, holds controllers back but not SysEx.
  f.host.connectPending = 1;
  EXPECT_EQ(f.Send(cc, 20, 5), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(sysex, 21, 0).size(), 1u);
  f.host.connectPending = 0;
  f.host.editorReady = 0;
  EXPECT_EQ(f.Send(cc, 20, 6), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(sysex, 21, 1).size(), 1u);
  f.host.editorReady = 1;

  // Local control on: a controller from the synthesizer is not echoed; one from the host is.
  f.host.localControlOn = 1;
  f.host.applyingReceivedController = 1;
  EXPECT_EQ(f.Send(cc, 20, 7), std::vector<Bytes>{});
  EXPECT_EQ(f.Send(sysex, 21, 0), std::vector<Bytes>{});
  f.host.fromHostFlag = 1;
  EXPECT_EQ(f.Send(cc, 20, 8), (std::vector<Bytes>{{0xB1, 10, 8}}));
  f.host.localControlOn = 0;
  f.host.fromHostFlag = 0;
  EXPECT_EQ(f.Send(cc, 20, 9), (std::vector<Bytes>{{0xB1, 10, 9}}));
  f.host.applyingReceivedController = 0;

  // Queued for the audio callback instead of sent.
  f.host.queueShortMidi = 1;
  EXPECT_EQ(f.Send(cc, 20, 10), std::vector<Bytes>{});
  EXPECT_EQ(f.host.midiQueue.Count(), 1);
}
