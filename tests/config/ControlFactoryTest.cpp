#include "config/ControlFactory.h"

#include "framework/plugin/ParameterIds.h"

#include <gtest/gtest.h>

namespace
{
ControlElement Element(int paramIdx, int partIndex, int channel)
{
  ControlElement e;
  e.name = "Cutoff";
  e.paramIdx = paramIdx;
  e.partIndex = partIndex;
  e.channel = channel;
  return e;
}

std::pair<int, int> Routed(const ControlElement& e, ControlFactory::Channel channel, bool globalBlock = false)
{
  MidiMapRecord record(MidiMapRecord::kCc);
  ControlFactory::Route(record, e, channel, globalBlock);
  return {record.channel, record.blockFlag};
}
} // namespace

TEST(ControlFactory, RoutesChannelsAndBlocks)
{
  using Channel = ControlFactory::Channel;
  const ControlElement plain = Element(kFilterCutoff + 2, 2, 5);
  const ControlElement effect = Element(kFXMultiDistortionOverdrive, 2, 5);

  // The element's own channel: the extra block never applies, the effect parameters do not block.
  EXPECT_EQ(Routed(plain, Channel::kElement), std::make_pair(5, 0));
  EXPECT_EQ(Routed(plain, Channel::kElement, true), std::make_pair(5, 0));
  EXPECT_EQ(Routed(effect, Channel::kElement), std::make_pair(5, 0));
  EXPECT_EQ(Routed(plain, Channel::kElementGlobalBlock), std::make_pair(5, 1));
  // The part's channel: blocked for the effect parameters and where asked.
  EXPECT_EQ(Routed(plain, Channel::kPart), std::make_pair(3, 0));
  EXPECT_EQ(Routed(plain, Channel::kPart, true), std::make_pair(3, 1));
  EXPECT_EQ(Routed(effect, Channel::kPart), std::make_pair(3, 1));
  EXPECT_EQ(Routed(Element(kMultiPartEffectsUsed, 2, 5), Channel::kPart), std::make_pair(3, 0));
  // The global channel always blocks.
  EXPECT_EQ(Routed(plain, Channel::kGlobal), std::make_pair(ControlFactory::kGlobalChannel, 1));

  EXPECT_EQ(ControlFactory::ChannelFor(true, true), Channel::kElement);
  EXPECT_EQ(ControlFactory::ChannelFor(false, true), Channel::kGlobal);
  EXPECT_EQ(ControlFactory::ChannelFor(false), Channel::kPart);
}

TEST(ControlFactory, PartCopiesVocoderIndicesNumbersAndNames)
{
  EXPECT_EQ(ControlFactory::PartNumberOf(kFilterCutoff - 1, kFilterCutoff), 0);
  EXPECT_EQ(ControlFactory::PartNumberOf(kFilterCutoff, kFilterCutoff), 1);
  EXPECT_EQ(ControlFactory::PartNumberOf(kFilterCutoff + 7, kFilterCutoff), 8);
  EXPECT_EQ(ControlFactory::PartNumberOf(kFilterCutoff + 8, kFilterCutoff), 0);
  EXPECT_TRUE(ControlFactory::InParts(kMultiArpBank + 7, kMultiArpBank));
  EXPECT_FALSE(ControlFactory::InParts(kMultiArpBank + 8, kMultiArpBank));

  // The parts' vocoder parameters: two runs of three per-part names.
  for (int base : {kVocoderBalance, kVocoderWidth})
  {
    EXPECT_FALSE(ControlFactory::IsVocoderIndex(base - 1)) << base;
    EXPECT_TRUE(ControlFactory::IsVocoderIndex(base)) << base;
    EXPECT_TRUE(ControlFactory::IsVocoderIndex(base + 3 * kPartCount - 1)) << base;
    EXPECT_FALSE(ControlFactory::IsVocoderIndex(base + 3 * kPartCount)) << base;
  }
  EXPECT_FALSE(ControlFactory::IsVocoderIndex(kMultiVocoderWidth));

  ControlElement e = Element(kFilterCutoff, 3, 0);
  e.ccNumber = 200;
  e.msbValue = -4;
  e.lsbValue = 30;
  e.lsbControl = 127;
  MidiMapRecord record(MidiMapRecord::kNrpn);
  ControlFactory::SetNrpnNumbers(record, e);
  EXPECT_EQ(record.ccNumber, 127);
  EXPECT_EQ(record.nrpnMsb, 0);
  EXPECT_EQ(record.nrpnValueOffset, 30);
  EXPECT_EQ(record.nrpnLsb, 127);

  EXPECT_EQ(ControlFactory::ControlName(e, true), "Cutoff");
  EXPECT_EQ(ControlFactory::ControlName(e, false), "[4] Cutoff");
}
