#include "IncomingTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace
{
bool MidiBound(const MidiMapRecord* record)
{
  return record && (record->kind == MidiMapRecord::kCc || record->kind == MidiMapRecord::kCcOffOn ||
                    record->kind == MidiMapRecord::kNrpn);
}

// What output sends for the parameter at value x, with the parameter set to x first.
std::vector<Bytes> Output(IncomingFixture& t, int index, double x)
{
  t.host.SetParamInEditor(index, x);
  MidiMapRecord* record = t.Record(index);
  record->lastValueSent = -1.0;
  t.host.ClearSent();
  ParameterOutput(t.host).SendParamToHardware(record, index, x);
  std::vector<Bytes> sent = t.host.Sent();
  t.host.ClearSent();
  return sent;
}

void Input(IncomingFixture& t, const std::vector<Bytes>& messages)
{
  for (const Bytes& m : messages)
    t.FromDevice(m);
  t.host.ClearSent();
}
} // namespace

// Every value of every controller and NRPN parameter of the document, sent by the output side
// and fed back from the synthesizer, sets the same parameter to the same value, except the
// values listed in link/README.md.
TEST(IncomingRoundTrip, EveryMidiBoundParameterComesBackAsSent)
{
  IncomingFixture t;
  using Miss = std::tuple<int, int>; // parameter index, value
  std::set<Miss> missed;
  int checked = 0;
  for (int index = 0; index < IEffectBase::kNumParameters; ++index)
  {
    IParameter* param = t.f.plug.ParameterAt(index);
    if (!param || !MidiBound(param->MidiMap())) continue;
    // The envelope triggering travels as the three envelope switches (its own test below).
    if (index >= kEnvelopeTriggering && index < kEnvelopeTriggering + kPartCount) continue;
    // A multi-mode effect is the one a part without its own effects shows.
    const bool multiEffect = index >= kFXMultiDistortionOverdrive && index < kMultiPartEffectsUsed;
    for (int part = 0; part < kPartCount; ++part)
      t.host.Set(kMultiPartEffectsUsed + part, multiEffect ? 0 : 1);
    for (int x = int(param->Min()); x <= int(param->Max()); ++x)
    {
      const std::vector<Bytes> sent = Output(t, index, x);
      ASSERT_FALSE(sent.empty()) << index << " " << x;
      ExpectSevenBitData(sent);
      t.host.SetParamInEditor(index, x == int(param->Min()) ? param->Max() : param->Min());
      Input(t, sent);
      ++checked;
      if (param->Value() != x) missed.insert({index, x});
    }
  }
  // 8 parts of 15 controls (cutoff 128, early reflection 8, room 16, latch 2, resonance 128, LFO
  // speed 25, sustain 14, delay ratio 13, arp bank 8, chorus type 5, multi chorus type 3,
  // note ordering 3,
  // polyphony 8, FM switch 2) and the local-control switch.
  EXPECT_EQ(checked, 8 * (128 + 8 + 16 + 2 + 128 + 25 + 14 + 13 + 8 + 5 + 3 + 3 + 8 + 2) + 2);

  std::set<Miss> expected;
  for (int part = 0; part < kPartCount; ++part)
  {
    // Delay ratio 2..10 leave as data 98..106, which the page of LSB 100 cuts into other bases.
    for (int v = 2; v <= 10; ++v)
      expected.insert({kFXDelayRatio + part, v});
    // Arpeggiator banks above 4 leave as MSB 43 data 2 and up, which no table brings back.
    for (int v = 5; v <= 7; ++v)
      expected.insert({kArpBank + part, v});
  }
  EXPECT_EQ(missed, expected);
}

TEST(IncomingRoundTrip, EnvelopeTriggeringTravelsAsTheThreeEnvelopeSwitches)
{
  IncomingFixture t;
  for (int part : {0, 5})
    for (int bits = 0; bits < 8; ++bits)
    {
      SCOPED_TRACE(bits);
      t.host.Set(kEnvelope1Triggering + part, (bits >> 2) & 1);
      t.host.Set(kEnvelope2Triggering + part, (bits >> 1) & 1);
      t.host.Set(kEnvelope3Triggering + part, bits & 1);
      const std::vector<Bytes> sent = Output(t, kEnvelopeTriggering + part, bits);
      ASSERT_EQ(sent.size(), 3u);
      EXPECT_EQ(sent[2], (Bytes{uint8_t(0xB0 | part), 6, uint8_t(3 + bits)}));
      for (int e : {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering})
        t.host.Set(e + part, (~bits) & 1);
      Input(t, sent);
      EXPECT_EQ(t.Value(kEnvelope1Triggering + part), (bits >> 2) & 1);
      EXPECT_EQ(t.Value(kEnvelope2Triggering + part), (bits >> 1) & 1);
      EXPECT_EQ(t.Value(kEnvelope3Triggering + part), bits & 1);
    }
}
