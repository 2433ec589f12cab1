// The parameters whose controls have no message of their own, over the embedded documents: which
// dump carries each, and when their dump is due.
#include "editor/SettledEdits.h"
#include "editor/TransferRoutes.h"
#include "editor/VELK.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

using Carrier = SettledEdits::Carrier;

TEST(SettledEdits, ParametersWithoutAMessageTravelInTheDumpThatHoldsThem)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  ASSERT_NE(plug.Routes(), nullptr);
  const SettledEdits& edits = plug.Routes()->Settled();

  // A controller or NRPN of their own: nothing to wait for.
  for (int index : {int(kOscillator1Detune) + 2, int(kOscillator1Octave) + 5, int(kFXReverbSend)})
    EXPECT_EQ(edits.CarrierOf(index), Carrier::kNone) << index;
  // None of their own: the part's program, the performance.
  EXPECT_EQ(edits.CarrierOf(kOscillator1Keyfollow + 3), Carrier::kProgram);
  EXPECT_EQ(edits.PartOf(kOscillator1Keyfollow + 3), 3);
  EXPECT_EQ(edits.CarrierOf(kProgramLevel + 7), Carrier::kProgram);
  EXPECT_EQ(edits.PartOf(kProgramLevel + 7), 7);
  EXPECT_EQ(edits.CarrierOf(kFXMultiDelaySend + 1), Carrier::kPerformance);
  // Editor-only settings travel nowhere; a part's bank and program are selected, not dumped.
  for (int index : {int(kSectionLockOsc1), int(kMainTab), int(kMultiPartPatch) + 2, int(kMultiPartBank),
                    int(kGlobalMidiChannel), int(kLibSyncTimer)})
    EXPECT_EQ(edits.CarrierOf(index), Carrier::kNone) << index;
  // Every parameter that a dump carries and no message of its own does has its dump.
  int perPart = 0;
  for (int index = 0; index < kPartCount * 335; ++index)
    perPart += edits.CarrierOf(index) != Carrier::kNone;
  EXPECT_GT(perPart, 150 * kPartCount);
  EXPECT_EQ(edits.CarrierOf(-1), Carrier::kNone);
  EXPECT_EQ(edits.CarrierOf(kDebugParts + 1), Carrier::kNone);
}

TEST(SettledEdits, ADumpIsDueOnceNoEditMovedForTheSettleTime)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  SettledEdits edits(plug);
  const int64_t settle = SettledEdits::kSettleMs;

  EXPECT_FALSE(edits.Changed(kOscillator1Detune, 0)); // has its own message
  EXPECT_FALSE(edits.TakeSettled(1000).has_value());

  // A drag: one change every 40 ms; nothing is due until it stops.
  int64_t t = 1000;
  for (int step = 0; step < 10; ++step, t += 40)
  {
    EXPECT_TRUE(edits.Changed(kOscillator1Keyfollow + 3, t));
    EXPECT_FALSE(edits.TakeSettled(t + 39).has_value()) << step;
  }
  const int64_t last = t - 40;
  EXPECT_TRUE(edits.Changed(kFXMultiDelaySend + 1, last));
  EXPECT_TRUE(edits.Changed(kOscillator1Keyfollow + 1, last));
  EXPECT_FALSE(edits.TakeSettled(last + settle - 1).has_value());

  // Then each dump once: the programs in part order, then the performance.
  std::optional<SettledEdits::Send> send = edits.TakeSettled(last + settle);
  ASSERT_TRUE(send.has_value());
  EXPECT_EQ(send->carrier, Carrier::kProgram);
  EXPECT_EQ(send->part, 1);
  send = edits.TakeSettled(last + settle);
  ASSERT_TRUE(send.has_value());
  EXPECT_EQ(send->part, 3);
  // A refused send waits again.
  edits.PutBack(*send);
  send = edits.TakeSettled(last + settle);
  ASSERT_TRUE(send.has_value());
  EXPECT_EQ(send->part, 3);
  send = edits.TakeSettled(last + settle);
  ASSERT_TRUE(send.has_value());
  EXPECT_EQ(send->carrier, Carrier::kPerformance);
  EXPECT_FALSE(edits.TakeSettled(last + 10 * settle).has_value());
  EXPECT_FALSE(edits.Pending());
}
