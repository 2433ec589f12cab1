// The host's side of the conversation, seen through a fixture plug-in that reflects what it gets.
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

namespace
{

const std::string kEcho = std::string(VSTHOST_FIXTURE_DIR) + "/Echo.so";

class EchoHost : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(host.Load(kEcho)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, 64));
    host.ClearRecords();
  }
  vsthost::VstHost host;
};

TEST_F(EchoHost, EventsReachThePluginAndEventsFromItAreRecorded)
{
  host.QueueMidi(5, 0x90, 60, 100);
  host.QueueSysEx(7, {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7});
  host.QueueMidi(9, 0x80, 60, 0);
  EXPECT_TRUE(host.EventsFromPlugin().empty());
  ASSERT_TRUE(
      host.ProcessReplacing(64)); // delivers the events first; the fixture echoes them while processing

  const auto events = host.EventsFromPlugin();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].type, kVstMidiType);
  EXPECT_EQ(events[0].byteSize, 32);
  EXPECT_EQ(events[0].deltaFrames, 5);
  EXPECT_EQ(events[0].bytes, (std::vector<uint8_t>{0x90, 60, 100, 0}));
  EXPECT_EQ(events[1].bytes, (std::vector<uint8_t>{0x80, 60, 0, 0}));
  EXPECT_EQ(events[2].type, kVstSysExType);
  EXPECT_EQ(events[2].byteSize, 48);
  EXPECT_EQ(events[2].deltaFrames, 7);
  EXPECT_EQ(events[2].bytes, (std::vector<uint8_t>{0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7}));

  // Each process call asked for MIDI; nothing queued means no effProcessEvents and no new echoes.
  ASSERT_TRUE(host.ProcessReplacing(64));
  EXPECT_EQ(host.CallCount(audioMasterWantMidi), 2);
  EXPECT_EQ(host.SendQueuedEvents(), 0);

  // A plug-in's malformed event list is bounded by the host: null entries are skipped, no answer without a
  // list.
  VstEvents list{};
  list.numEvents = 2;
  EXPECT_EQ(vsthost::VstHost::HostCallback(host.Effect(), audioMasterProcessEvents, 0, 0, &list, 0), 1);
  EXPECT_EQ(vsthost::VstHost::HostCallback(host.Effect(), audioMasterProcessEvents, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(host.EventsFromPlugin().size(), 3u);
}

TEST_F(EchoHost, TimeInfoFollowsTheTransportAndTheRequestedFlags)
{
  auto& t = host.Transport();
  t.tempo = 150.0;
  t.samplePos = 48000.0; // one second: 2.5 quarter notes at 150 bpm
  t.playing = true;
  ASSERT_TRUE(host.ProcessReplacing(64));
  const auto& out = host.Outputs32()[0];
  EXPECT_FLOAT_EQ(out[0], 150.f);
  // The fixture asks for ppq, tempo and time signature; the host adds the playing bit.
  EXPECT_EQ(static_cast<int32_t>(out[1]),
            kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid | kVstTransportPlaying);
  EXPECT_FLOAT_EQ(out[2], 2.5f);
  EXPECT_FLOAT_EQ(out[3], 48000.f);
  EXPECT_EQ(host.LastTimeRequest(), kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid);
  EXPECT_DOUBLE_EQ(t.samplePos, 48064.0); // playing: the position moved on by the block

  // Flags the host does not offer are not reported even when asked for; a stopped transport stays put.
  t.offeredFlags = kVstTempoValid;
  t.playing = false;
  t.looping = true;
  t.ppqPos = -1.0;
  ASSERT_TRUE(host.ProcessReplacing(64));
  EXPECT_EQ(static_cast<int32_t>(host.Outputs32()[0][1]), kVstTempoValid | kVstTransportCycleActive);
  EXPECT_FLOAT_EQ(host.Outputs32()[0][2], -1.f);
  EXPECT_DOUBLE_EQ(t.samplePos, 48064.0);

  t.timeInfoAvailable = false;
  ASSERT_TRUE(host.ProcessDouble(64));
  EXPECT_EQ(host.Outputs64()[0][0], -1.0);

  // Bar start derives from ppq and the time signature unless set.
  t.timeInfoAvailable = true;
  t.ppqPos = 13.0;
  t.timeSigNumerator = 3;
  t.timeSigDenominator = 4;
  const auto* info = reinterpret_cast<const VstTimeInfo*>(
      vsthost::VstHost::HostCallback(host.Effect(), audioMasterGetTime, 0, kVstBarsValid, nullptr, 0));
  ASSERT_NE(info, nullptr);
  EXPECT_DOUBLE_EQ(info->barStartPos, 12.0);
  EXPECT_EQ(info->flags & kVstBarsValid, 0); // offered flags still only tempo
}

TEST_F(EchoHost, ProcessPathsAndTheirLimits)
{
  for (auto& channel : host.Inputs32())
    std::fill(channel.begin(), channel.end(), 0.5f);
  for (auto& channel : host.Outputs32())
    std::fill(channel.begin(), channel.end(), 9.f);
  ASSERT_TRUE(host.ProcessReplacing(32));
  EXPECT_FLOAT_EQ(host.Outputs32()[1][31], 1.5f);
  EXPECT_FLOAT_EQ(host.Outputs32()[1][32], 9.f); // beyond the frame count: untouched
  EXPECT_FLOAT_EQ(host.Outputs32()[0][4], 2.f);  // the process level seen inside the call: realtime

  ASSERT_TRUE(host.ProcessDouble(64));
  EXPECT_DOUBLE_EQ(host.Outputs64()[1][63], 1.0);

  EXPECT_FALSE(host.ProcessReplacing(0));
  EXPECT_FALSE(host.ProcessReplacing(65));    // larger than the block size the plug-in was told
  EXPECT_FALSE(host.ProcessAccumulating(16)); // the fixture has no accumulating callback

  host.processLevel = kVstProcessLevelOffline;
  ASSERT_TRUE(host.ProcessReplacing(16));
  EXPECT_FLOAT_EQ(host.Outputs32()[0][4], 4.f);
  host.processLevel = -1;
  EXPECT_EQ(
      vsthost::VstHost::HostCallback(host.Effect(), audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0),
      kVstProcessLevelUser);

  // The plug-in grows its outputs: the host follows before the next block.
  EXPECT_EQ(host.Dispatch(effVendorSpecific, 1, 4), 1);
  EXPECT_EQ(host.CallCount(audioMasterIOChanged), 1);
  ASSERT_TRUE(host.ProcessReplacing(64));
  ASSERT_EQ(host.Outputs32().size(), 4u);
  EXPECT_FLOAT_EQ(host.Outputs32()[3][10], 1.f);
}

TEST_F(EchoHost, ParametersChunksEditorAndHostAnswers)
{
  host.SetParameter(1, 0.5f);
  EXPECT_FLOAT_EQ(host.GetParameter(1), 0.5f);
  const auto calls = host.AutomationCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
  EXPECT_EQ(calls[1].index, 1);
  EXPECT_FLOAT_EQ(calls[1].value, 0.5f);
  EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);

  EXPECT_EQ(host.GetChunk(false), (std::vector<uint8_t>{'e', 'c', 'h', 'o'}));
  EXPECT_TRUE(host.SetChunk({1, 2, 3, 4, 5}, true));
  EXPECT_EQ(host.GetChunk(true), (std::vector<uint8_t>{1, 2, 3, 4, 5}));

  ERect rect{};
  ASSERT_TRUE(host.EditorGetRect(rect));
  EXPECT_EQ(rect.bottom, 200);
  EXPECT_EQ(rect.right, 300);
  EXPECT_EQ(host.EditorOpen(nullptr), 1);
  host.EditorIdle();
  EXPECT_EQ(host.EditorClose(), 1);
  host.Dispatch(effVendorSpecific, 2, 640, nullptr, 480.f);
  EXPECT_EQ(host.LastSizeWindowWidth(), 640);
  EXPECT_EQ(host.LastSizeWindowHeight(), 480);

  auto ask = [this](int32_t opcode, void* ptr = nullptr)
  { return vsthost::VstHost::HostCallback(host.Effect(), opcode, 0, 0, ptr, 0); };
  EXPECT_EQ(ask(audioMasterVersion), 2400);
  EXPECT_EQ(vsthost::VstHost::HostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0), 2400);
  EXPECT_EQ(ask(audioMasterCurrentId), VstFourCC('E', 'c', 'h', 'o'));
  EXPECT_EQ(ask(audioMasterGetSampleRate), 48000);
  EXPECT_EQ(ask(audioMasterGetBlockSize), 64);
  char text[kVstMaxProductStrLen] = {};
  EXPECT_EQ(ask(audioMasterGetProductString, text), 1);
  EXPECT_STREQ(text, "vsthost");
  host.productString = std::string(100, 'x'); // cut to the interface limit, never overrun
  ask(audioMasterGetProductString, text);
  EXPECT_EQ(std::string(text), std::string(kVstMaxProductStrLen - 1, 'x'));
  EXPECT_EQ(ask(audioMasterGetVendorString, text), 1);
  EXPECT_STREQ(text, "VELK project");
  host.vendorVersion = 30012;
  EXPECT_EQ(ask(audioMasterGetVendorVersion), 30012);
  char yes[] = "sendVstMidiEvent", no[] = "openFileSelector";
  EXPECT_EQ(ask(audioMasterCanDo, yes), 1);
  EXPECT_EQ(ask(audioMasterCanDo, no), 0);

  // Closing twice is harmless, and the host answers nothing afterwards.
  host.Close();
  host.Close();
  EXPECT_FALSE(host.IsLoaded());
  EXPECT_EQ(host.GetParameter(1), 0.f);
}

} // namespace
