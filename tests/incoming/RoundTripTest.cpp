#include "IncomingTestSupport.h"
#include "RoundTripSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
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

// Parameters a received message may set besides (or instead of) its own: the ones its message
// carries too, and the part's own arpeggiator settings, which take their multi-mode twins' messages.
bool Companion(int index, int moved)
{
  auto part = [](int i, int base) { return i >= base && i < base + kPartCount ? i - base : -1; };
  for (auto [base, companion] : {std::pair{int(kMultiPartPolyphony), int(kProgramPolyphony)},
                                 {int(kMultiArpBank), int(kArpBank)},
                                 {int(kMultiArpProgram), int(kArpProgram)}})
    if (const int p = part(index, base); p >= 0 && moved == companion + p) return true;
  return false;
}

struct RoundTrip
{
  std::set<Miss> missed;
  int checked = 0;
  std::vector<std::string> strays; // other parameters a received message moved
};

// Every value of every controller and NRPN parameter of the fixture's document, sent by the
// output side and fed back from the synthesizer, with the parameter held at another value in
// between: the values that do not bring the parameter back, and any other parameter the received
// messages moved (every move goes through the editor-side set or a control's secondary push,
// which the double and the plug-in record).
RoundTrip RunRoundTrip(IncomingFixture& t)
{
  RoundTrip r;
  for (int index = 0; index < IEffectBase::kNumParameters; ++index)
  {
    IParameter* param = t.f.plug.ParameterAt(index);
    if (!ShortMessageBound(param->MidiMap())) continue;
    // A multi-mode effect is the one a part without its own effects shows.
    const bool multiEffect = index >= kFXMultiDistortionOverdrive && index < kMultiPartEffectsUsed;
    for (int part = 0; part < kPartCount; ++part)
      t.Set(kMultiPartEffectsUsed + part, multiEffect ? 0 : 1);
    std::vector<double> before(IEffectBase::kNumParameters);
    for (int other = 0; other < IEffectBase::kNumParameters; ++other)
      before[size_t(other)] = t.Value(other);
    for (int x = int(param->Min()); x <= int(param->Max()); ++x)
    {
      const std::vector<Bytes> sent = Output(t, index, x);
      EXPECT_FALSE(sent.empty()) << param->Name() << " (" << index << ") sends nothing for " << x;
      ExpectSevenBitData(sent);
      t.host.SetParamInEditor(index, x == int(param->Min()) ? param->Max() : param->Min());
      std::set<int> touched{index};
      for (auto [set, value] : t.host.editorSets)
        touched.insert(set);
      t.host.editorSets.clear();
      t.f.plug.secondaryChanged.clear();
      Input(t, sent);
      ++r.checked;
      if (param->Value() != x) r.missed.insert({index, x});
      std::set<int> moved;
      for (auto [set, value] : t.host.editorSets)
        moved.insert(set);
      moved.insert(t.f.plug.secondaryChanged.begin(), t.f.plug.secondaryChanged.end());
      for (int other : moved)
      {
        touched.insert(other);
        const bool light = other >= kMIDILed && other < kMIDILed + kPartCount; // lit by any message
        if (other != index && !light && !Companion(index, other) && t.Value(other) != before[size_t(other)])
          r.strays.push_back(std::string(param->Name()) + " " + std::to_string(x) + " moved " +
                             std::to_string(other) + " " + t.f.plug.ParameterAt(other)->Name());
      }
      // Back to what it was, so the next value's messages are built from the same state.
      for (int other : touched)
        t.host.SetParamInEditor(other, before[size_t(other)]);
      t.host.editorSets.clear();
    }
  }
  return r;
}
} // namespace

// The embedded documents: every value of every parameter bound to a controller or an NRPN comes
// back to the same parameter, through the real reader's records, the real output and the real
// resolver, and moves nothing else. The values listed here cannot (link/README.md lists them too).
TEST(IncomingRoundTrip, EveryMidiBoundParameterOfTheEmbeddedDocumentsComesBackAsSent)
{
  IncomingFixture t(IncomingFixture::kEmbeddedDocuments);
  ASSERT_TRUE(t.read);
  // Only the pattern selection leaves as SysEx: it asks for a pattern dump, which comes back as a
  // dump, not as a message this side resolves.
  for (int index = 0; index < IEffectBase::kNumParameters; ++index)
  {
    const MidiMapRecord* record = t.f.plug.ParameterAt(index)->MidiMap();
    if (record && record->kind != MidiMapRecord::kNone && !ShortMessageBound(record))
    {
      EXPECT_TRUE(index >= kPartPattern && index < kPartPattern + kPartCount) << index;
    }
  }

  const RoundTrip r = RunRoundTrip(t);
  EXPECT_GT(r.checked, 100000);
  EXPECT_EQ(r.strays, std::vector<std::string>{});
  // Envelope triggering: see the test below.
  const std::set<Miss> expected = EmbeddedUnreturnable();
  EXPECT_EQ(r.missed, expected);
}

// The decode tables cannot carry every value a document could bind: the small test document binds
// the delay ratio and the arpeggiator bank past what the embedded ones do.
TEST(IncomingRoundTrip, ValuesTheDecodeTablesCannotCarry)
{
  IncomingFixture t;
  const RoundTrip r = RunRoundTrip(t);
  // 8 parts of 15 controls (cutoff 128, early reflection 8, room 16, latch 2, resonance 128, LFO
  // speed 25, sustain 14, delay ratio 13, arp bank 8, chorus type 5, multi chorus type 3, envelope
  // triggering 8, note ordering 3, polyphony 8, FM switch 2) and the local-control switch.
  EXPECT_EQ(r.checked, 8 * (128 + 8 + 16 + 2 + 128 + 25 + 14 + 13 + 8 + 5 + 3 + 8 + 3 + 8 + 2) + 2);
  EXPECT_EQ(r.strays, std::vector<std::string>{});
  const std::set<Miss> expected = Expand({
      {kEnvelopeTriggering, 0, 7, "carries the three envelope switches"},
      {kFXDelayRatio, 2, 10, "data 98..106, which the page of LSB 100 cuts into the bases 98, 100 and 102"},
      {kArpBank, 5, 7, "MSB 43 with data 2 and up, which no table brings back"},
  });
  EXPECT_EQ(r.missed, expected);
}

TEST(IncomingRoundTrip, EnvelopeTriggeringTravelsAsTheThreeEnvelopeSwitches)
{
  for (auto document : {IncomingFixture::kEmbeddedDocuments, IncomingFixture::kTestDocument})
  {
    IncomingFixture t(document);
    for (int part : {0, 5})
      for (int bits = 0; bits < 8; ++bits)
      {
        SCOPED_TRACE(bits);
        t.Set(kEnvelope1Triggering + part, (bits >> 2) & 1);
        t.Set(kEnvelope2Triggering + part, (bits >> 1) & 1);
        t.Set(kEnvelope3Triggering + part, bits & 1);
        const std::vector<Bytes> sent = Output(t, kEnvelopeTriggering + part, bits);
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[2], (Bytes{uint8_t(0xB0 | part), 6,
                                  uint8_t(t.Record(kEnvelopeTriggering)->nrpnValueOffset + bits)}));
        for (int e : {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering})
          t.Set(e + part, (~bits) & 1);
        Input(t, sent);
        EXPECT_EQ(t.Value(kEnvelope1Triggering + part), (bits >> 2) & 1);
        EXPECT_EQ(t.Value(kEnvelope2Triggering + part), (bits >> 1) & 1);
        EXPECT_EQ(t.Value(kEnvelope3Triggering + part), bits & 1);
      }
  }
}
