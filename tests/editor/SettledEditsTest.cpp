// The parameters whose controls have no message of their own, over the embedded documents: which
// dump carries each, and when their dump is due.
#include "editor/SettledEdits.h"
#include "editor/TransferRoutes.h"
#include "editor/VELK.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

namespace
{
// A parameter of the table and how many consecutive indices it takes (8 for a per-part one).
struct Block
{
  int first;
  int count;
};

std::vector<int> Indices(std::initializer_list<Block> blocks)
{
  std::vector<int> out;
  for (const Block& block : blocks)
    for (int i = 0; i < block.count; ++i)
      out.push_back(block.first + i);
  std::sort(out.begin(), out.end());
  return out;
}
} // namespace

// Every parameter whose edit sends a settled dump: the parts' own sound settings in their program,
// the performance's and the global settings as listed here. None of them is something the editor
// merely shows (its pages, tabs, the part shown, the librarian's area): choosing one of those must
// not overwrite the synthesizer's performance with the editor's.
TEST(SettledEdits, OnlySoundSettingsTravelInASettledDumpNeverWhatTheEditorShows)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  const SettledEdits& edits = plug.Routes()->Settled();

  std::vector<int> performance, globals;
  int programs = 0;
  for (int index = 0; index < plug.NumParameters(); ++index)
    switch (edits.CarrierOf(index))
    {
    case Carrier::kProgram:
    {
      // A sound parameter of a part's program: part p's follows part p - 1's (the vocoder's
      // settings, one for the whole program, are part 1's alone).
      const int part = edits.PartOf(index);
      if (part > 0)
      {
        EXPECT_EQ(edits.CarrierOf(index - 1), Carrier::kProgram) << index;
        EXPECT_EQ(edits.PartOf(index - 1), part - 1) << index;
      }
      ++programs;
      break;
    }
    case Carrier::kPerformance:
      performance.push_back(index);
      break;
    case Carrier::kGlobals:
      globals.push_back(index);
      break;
    default:
      break;
    }
  EXPECT_GT(programs, 200 * kPartCount);
  EXPECT_EQ(performance, Indices({{kFXMultiDistortionOverdrive, 8},
                                  {kFXMultiDistortionOverdriveMW, 8},
                                  {kFXMultiDistortionOPLevel, 8},
                                  {kFXMultiDistortionCurve, 8},
                                  {kFXMultiDistortionGainComp, 8},
                                  {kFXMultiEQBass, 8},
                                  {kFXMultiEQTreble, 8},
                                  {kFXMultiCombFilterFrequency, 8},
                                  {kFXMultiCombFilterBoost, 8},
                                  {kFXMultiCombFilterBoostWH, 8},
                                  {kFXMultiCombFilterFreqWH, 8},
                                  {kFXMultiCombFilterSpread, 8},
                                  {kFXMultiCombFilterSpeed, 8},
                                  {kFXMultiCombFilterDepth, 8},
                                  {kFXMultiCombFilterSync, 8},
                                  {kFXMultiPanDryLevel, 8},
                                  {kFXMultiPanPosition, 8},
                                  {kFXMultiPanSpeed, 8},
                                  {kFXMultiPanDepth, 8},
                                  {kFXMultiPanWithFX, 8},
                                  {kFXMultiPanSync, 8},
                                  {kFXMultiReverbSend, 8},
                                  {kFXMultiReverbMWheel, 8},
                                  {kFXMultiReverbDecay, 8},
                                  {kFXMultiReverbEarlyRef, 8},
                                  {kFXMultiReverbHFDamp, 8},
                                  {kFXMultiReverbRoom, 8},
                                  {kFXMultiChorusSend, 8},
                                  {kFXMultiChorusMWheel, 8},
                                  {kFXMultiChorusSpeed1, 8},
                                  {kFXMultiChorusModDepth, 8},
                                  {kFXMultiChorusFeedback, 8},
                                  {kFXMultiChorusType2, 8},
                                  {kFXMultiChorusDelay, 8},
                                  {kFXMultiChorusLFOWave, 8},
                                  {kFXMultiChorusStereoWidth, 8},
                                  {kFXMultiChorusSpeed2, 8},
                                  {kFXMultiChorusInertia, 8},
                                  {kFXMultiChorusSync, 8},
                                  {kFXMultiDelaySend, 8},
                                  {kFXMultiDelayMWheel, 8},
                                  {kFXMultiDelayTime, 8},
                                  {kFXMultiDelayFeedback, 8},
                                  {kFXMultiDelayHFDamp, 8},
                                  {kFXMultiDelayRatio, 8},
                                  {kFXMultiDelayStereoWidth, 8},
                                  {kFXMultiDelaySync, 8},
                                  {kFXMultiRoutingConfig, 8},
                                  {kFXMultiBypass, 8},
                                  {kFXMultiPassToFXConfig, 8},
                                  {kFXMultiPassToFXAudio, 8},
                                  {kMultiPartEffectsUsed, 8},
                                  {kMultiArpSource, 8},
                                  {kMultiPartPedalBreath, 8},
                                  {kMultiPartSwitch1, 8},
                                  {kMultiPartSwitch2, 8},
                                  {kMultiPartSwitch3, 8},
                                  {kMultiPartSwitch1Mode, 8},
                                  {kMultiPartSwitch3Mode, 8},
                                  {kMultiPartStatus, 8},
                                  {kMultiPartMIDICh, 8},
                                  {kMultiPartOutput, 8},
                                  {kMultiPartTranspose, 8},
                                  {kMultiPartDetune, 8},
                                  {kMultiPartKeyLow, 8},
                                  {kMultiPartKeyHigh, 8},
                                  {kMultiPartVeloCurve, 8},
                                  {kMultiPartProgramChange, 8},
                                  {kMultiPartControlChange, 8},
                                  {kMultiPartExpressionPdl, 8},
                                  {kMultiPartSustain, 8},
                                  {kGlobalTempo, 1},
                                  {kMultiPartPolyphony, 8},
                                  {kMultiArpSwitch, 8},
                                  {kMultiVocoderWidth, 1},
                                  {kMultiVocoderBalance, 1},
                                  {kMultiVocoderSibilanceType, 1},
                                  {kMultiSmallCase08, 1},
                                  {kMultiSmallCase13, 1},
                                  {kMultiLargeCase24Param1, 1},
                                  {kMultiLargeCase24Param3, 1},
                                  {kMultiLargeCase24Param4, 1},
                                  {kMultiLargeCase24Param5, 1},
                                  {kMultiLargeCase24Param6, 1}}));
  EXPECT_EQ(globals, Indices({{kGlobalLocalControl, 1},
                              {kGlobalAudioIn1Trim, 1},
                              {kGlobalAudioIn2Trim, 1},
                              {kGlobalVelocitySensitivity, 1},
                              {kGlobalInputSw1, 1},
                              {kGlobalInputSw2, 1},
                              {kGlobalPedalSw3, 1},
                              {kGlobalBreathMode, 1},
                              {kGlobalPedalSensitivity, 1},
                              {kGlobalBreathSensing, 1},
                              {kGlobalMIDIClock, 1},
                              {kGlobalKnobMode, 1},
                              {kGlobalRXCC, 1},
                              {kGlobalRXPC, 1},
                              {kGlobalTXCC, 1},
                              {kGlobalTXPC, 1},
                              {kGlobalTXAT, 1},
                              {kGlobalMasterTune, 1},
                              {kGlobalMasterVolume, 1},
                              {kGlobalFinderDemos, 1}}));

  const std::vector<int> views = Indices({{kMainTab, 1},
                                          {kQuickTab, 1},
                                          {kMultiSettings, 1},
                                          {kViewMIDIFilterSettings, 1},
                                          {kViewOscPages, 8},
                                          {kMatrixSelector, 8},
                                          {kMatrix2Selector, 8},
                                          {kMultiPartSettings, 8},
                                          {kLibrarianArea, 1},
                                          {kDatatype, 1},
                                          {kPatchSearch, 1},
                                          {kCategorySelection, 1},
                                          {kPatchSelectionListUpper, 1},
                                          {kPatchSelectionListLower, 1},
                                          {kCurrentOpenPatchBankL, 8},
                                          {kCurrentOpenPatchBankR, 8},
                                          {kCurrentOpenPerfBankL, 1},
                                          {kCurrentOpenPerfBankR, 1},
                                          {kCurrentOpenPatternBankL, 8},
                                          {kCurrentOpenPatternBankR, 8}});
  for (int index : views)
  {
    EXPECT_FALSE(std::binary_search(performance.begin(), performance.end(), index)) << index;
    EXPECT_EQ(edits.CarrierOf(index), Carrier::kNone) << index << " is a view setting";
    EXPECT_TRUE(SettledEdits::IsViewSetting(index)) << index;
  }
  EXPECT_FALSE(SettledEdits::IsViewSetting(kFXMultiDelaySend));
  EXPECT_FALSE(SettledEdits::IsViewSetting(kMultiPartMIDICh + 7));
}

// Only the user's edit on a control waits for its dump: the same value set by the host, a
// recall or the synthesizer's messages (which run the change handler too) is not sent back, and
// choosing a part or a page sends no dump at all.
TEST(SettledEdits, OnlyAControlTheUserMovedSendsADump)
{
  TempDataFolder folder;
  VELK plug(nullptr);
  const SettledEdits& edits = plug.Routes()->Settled();
  const int keyfollow = kOscillator1Keyfollow + 1;
  ASSERT_EQ(edits.CarrierOf(keyfollow), Carrier::kProgram);

  // Not from a control: the change handler alone, as the host's text entry and the receivers run it.
  plug.ParameterAt(keyfollow)->SetClamped(40);
  plug.HandleParameterChange(keyfollow);
  plug.ParameterAt(kFXMultiDelaySend)->SetClamped(12);
  plug.HandleParameterChange(kFXMultiDelaySend);
  EXPECT_FALSE(edits.Pending());

  // The part and the page chosen on their controls.
  plug.SetParameterFromControl(kQuickTab, 3.0 / 7.0);
  ASSERT_EQ(plug.ParameterAt(kQuickTab)->Value(), 3.0);
  plug.SetParameterFromControl(kMainTab, 0.0);
  EXPECT_FALSE(edits.Pending());

  // The user's edit on the control.
  plug.SetParameterFromControl(keyfollow, plug.ParameterAt(keyfollow)->NormaliseValue(60));
  EXPECT_TRUE(edits.Pending());
}
