// Every output buffer the host hands a process call comes back silent, whatever speaker arrangement
// the host set.
#include "tests/support/TempFolder.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace
{
class ProcessBuffers : public ::testing::Test
{
protected:
  void SetUp() override
  {
    setenv("VELK_DATA_DIR", folder.Path().string().c_str(), 1);
    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, 512));
  }
  void TearDown() override
  {
    host.Close();
    unsetenv("VELK_DATA_DIR");
  }

  void Fill()
  {
    for (auto& ch : host.Outputs32())
      std::fill(ch.begin(), ch.end(), 0.5f);
    for (auto& ch : host.Outputs64())
      std::fill(ch.begin(), ch.end(), 0.5);
  }
  // The first output buffer holding anything but silence, or -1.
  template <class Buffers> static int FirstNotSilent(const Buffers& buffers)
  {
    for (size_t i = 0; i < buffers.size(); ++i)
      if (std::any_of(buffers[i].begin(), buffers[i].end(), [](auto v) { return v != 0; })) return int(i);
    return -1;
  }
  void Arrange(int inputs, int outputs)
  {
    VstSpeakerArrangement in{}, out{};
    in.numChannels = inputs;
    out.numChannels = outputs;
    ASSERT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  }
  // Both replacing callbacks, each on buffers the host filled first.
  void ExpectSilence(const std::string& what)
  {
    ASSERT_EQ(host.Effect()->numOutputs, 2) << what;
    Fill();
    ASSERT_TRUE(host.ProcessReplacing(512));
    EXPECT_EQ(FirstNotSilent(host.Outputs32()), -1) << what << ", 32-bit";
    Fill();
    ASSERT_TRUE(host.ProcessDouble(512));
    EXPECT_EQ(FirstNotSilent(host.Outputs64()), -1) << what << ", 64-bit";
  }

  TempFolder folder{"process-buffers"};
  vsthost::VstHost host;
};
} // namespace

TEST_F(ProcessBuffers, EveryHostOutputIsSilencedWhateverTheArrangement)
{
  Arrange(2, 1);
  ExpectSilence("one output connected");
  Arrange(0, 0);
  ExpectSilence("no output connected");
  Arrange(2, 2);
  ExpectSilence("both outputs connected");

  // The accumulating callback adds silence: the host's own signal stays as it was.
  Arrange(2, 1);
  Fill();
  ASSERT_TRUE(host.ProcessAccumulating(512));
  for (const auto& ch : host.Outputs32())
    EXPECT_TRUE(std::all_of(ch.begin(), ch.end(), [](float v) { return v == 0.5f; }));
}
