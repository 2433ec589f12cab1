// The host against a real instrument plug-in written elsewhere: Debian's packaged Karplus-Strong synth.
// It exports only `main`, so it also proves the fallback entry point.
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace
{

std::string FindSynth()
{
  for (const char* dir : {"/usr/lib/vst", "/usr/lib/x86_64-linux-gnu/vst", "/usr/local/lib/vst"})
  {
    const std::filesystem::path path = std::filesystem::path(dir) / "Kars-vst.so";
    if (std::filesystem::exists(path)) return path.string();
  }
  return {};
}

// Skips when the package is missing, unless the run demands it (VELK_REQUIRE_DPF=1).
#define REQUIRE_SYNTH(path)                                                                                  \
  const std::string path = FindSynth();                                                                      \
  if (path.empty())                                                                                          \
  {                                                                                                          \
    const char* require = std::getenv("VELK_REQUIRE_DPF");                                                   \
    if (require && std::strcmp(require, "1") == 0)                                                           \
      FAIL() << "the synth of dpf-plugins-vst is not installed and VELK_REQUIRE_DPF=1";                      \
    GTEST_SKIP() << "the synth of dpf-plugins-vst is not installed (apt-get install dpf-plugins-vst)";       \
  }

float Peak(const std::vector<std::vector<float>>& channels, int32_t frames)
{
  float peak = 0.f;
  for (const auto& channel : channels)
    for (int32_t i = 0; i < frames; ++i)
      peak = std::max(peak, std::fabs(channel[static_cast<size_t>(i)]));
  return peak;
}

TEST(DpfSynth, IdentityAsAHostSeesIt)
{
  REQUIRE_SYNTH(path);
  vsthost::VstHost host;
  ASSERT_TRUE(host.Load(path)) << host.LastError();
  EXPECT_EQ(host.Effect()->magic, kEffectMagic);
  ASSERT_TRUE(host.Open(44100.0, 256));

  const vsthost::Identity id = host.QueryIdentity();
  EXPECT_EQ(id.effectName, "Kars");
  EXPECT_FALSE(id.vendor.empty());
  EXPECT_TRUE(id.flags & effFlagsIsSynth);
  EXPECT_TRUE(id.flags & effFlagsCanReplacing);
  EXPECT_EQ(id.category, kPlugCategSynth);
  EXPECT_EQ(id.vstVersion, kVstVersion);
  EXPECT_GE(id.numOutputs, 1);
  EXPECT_GE(id.numPrograms, 1);
  EXPECT_EQ(vsthost::FourCCText(id.uniqueID).size(), 4u);
  EXPECT_EQ(host.CanDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(host.CanDo("receiveVstEvents"), 1);

  // Parameters come back as set at both ends of the normalised range (the first one may be a switch).
  ASSERT_GE(id.numParams, 1);
  host.SetParameter(0, 1.f);
  EXPECT_NEAR(host.GetParameter(0), 1.f, 0.001f);
  host.SetParameter(0, 0.f);
  EXPECT_NEAR(host.GetParameter(0), 0.f, 0.001f);
  char name[kVstMaxParamStrLen * 8] = {};
  host.Dispatch(effGetParamName, 0, 0, name);
  EXPECT_GT(std::strlen(name), 0u);
}

TEST(DpfSynth, NotesPlayThroughProcessBlocks)
{
  REQUIRE_SYNTH(path);
  vsthost::VstHost host;
  ASSERT_TRUE(host.Load(path)) << host.LastError();
  ASSERT_TRUE(host.Open(44100.0, 256));
  host.Transport().playing = true;

  ASSERT_TRUE(host.ProcessReplacing(256));
  EXPECT_EQ(Peak(host.Outputs32(), 256), 0.f); // silence before any note

  host.QueueMidi(0, 0x90, 60, 110);
  host.QueueMidi(64, 0x90, 67, 90);
  host.QueueSysEx(10,
                  {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}); // an instrument that ignores SysEx must survive it
  float peak = 0.f;
  for (int block = 0; block < 8; ++block)
  {
    ASSERT_TRUE(host.ProcessReplacing(256));
    peak = std::max(peak, Peak(host.Outputs32(), 256));
    for (const auto& channel : host.Outputs32())
      for (float sample : channel)
        ASSERT_TRUE(std::isfinite(sample));
  }
  EXPECT_GT(peak, 0.001f) << "two held notes gave no sound";

  host.QueueMidi(0, 0x80, 60, 0);
  host.QueueMidi(0, 0x80, 67, 0);
  ASSERT_TRUE(host.ProcessReplacing(100)); // a short block is fine too
  EXPECT_DOUBLE_EQ(host.Transport().samplePos, 256.0 * 9 + 100);

  // The 64-bit path is there exactly when the plug-in says so.
  const bool canDouble = host.Effect()->flags & effFlagsCanDoubleReplacing;
  EXPECT_EQ(host.ProcessDouble(256), canDouble && host.Effect()->processDoubleReplacing != nullptr);
  host.Close();
}

TEST(DpfSynth, ChunksRoundTripWhenOffered)
{
  REQUIRE_SYNTH(path);
  vsthost::VstHost host;
  ASSERT_TRUE(host.Load(path)) << host.LastError();
  ASSERT_TRUE(host.Open());

  if (!(host.Effect()->flags & effFlagsProgramChunks))
  {
    // No chunk support: the host must see nothing rather than a stale or wild pointer.
    EXPECT_TRUE(host.GetChunk(true).empty());
    EXPECT_TRUE(host.GetChunk(false).empty());
    return;
  }
  const std::vector<uint8_t> bank = host.GetChunk(true);
  ASSERT_FALSE(bank.empty());
  EXPECT_TRUE(host.SetChunk(bank, true));
  EXPECT_EQ(host.GetChunk(true), bank);
}

TEST(DpfSynth, LoadsTwiceSideBySide)
{
  REQUIRE_SYNTH(path);
  vsthost::VstHost first, second;
  ASSERT_TRUE(first.Load(path)) << first.LastError();
  ASSERT_TRUE(second.Load(path)) << second.LastError();
  ASSERT_NE(first.Effect(), second.Effect());
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  first.QueueMidi(0, 0x90, 48, 100);
  for (int block = 0; block < 4; ++block)
  {
    ASSERT_TRUE(first.ProcessReplacing(512));
    ASSERT_TRUE(second.ProcessReplacing(512));
  }
  EXPECT_GT(Peak(first.Outputs32(), 512), 0.f);
  EXPECT_EQ(Peak(second.Outputs32(), 512), 0.f); // the note went to the first instance only
  first.Close();
  ASSERT_TRUE(second.ProcessReplacing(512)); // the other instance survives the first one's unload
}

} // namespace
