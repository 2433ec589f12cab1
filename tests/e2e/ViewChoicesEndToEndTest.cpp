// What choosing a part, a page or a program sends, end to end: the built plug-in in the test host,
// its editor on the X display, the simulated synthesizer on the JACK server. The synthesizer's
// count of dumps taken into its stores tells whether anything was written. Run under
// scripts/with-jack scripts/with-xvfb; without them the suite skips.
#include "framework/plugin/ParameterIds.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "tests/support/EndToEndFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
class ViewChoicesEndToEnd : public EndToEndFixture
{
protected:
  ViewChoicesEndToEnd() { simSeed = 31; }

  void SetUp() override
  {
    EndToEndFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(OpenEditor());
    if (IsSkipped()) return;
    RecallTheSimulatorAndConnect();
  }

  // What the synthesizer heard from its from-th logged line on.
  std::vector<std::string> HeardSince(size_t from)
  {
    const std::vector<std::string> log = SimLog();
    std::vector<std::string> heard;
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].rfind("IN ", 0) == 0) heard.push_back(log[i]);
    return heard;
  }

  // Whether a SysEx message reached the synthesizer from the from-th logged line on, within a
  // bound well past the time an edit takes to settle and its dump to go out.
  bool SysExArrives(size_t from)
  {
    return editor->PumpUntil(
        [&]
        {
          for (const std::string& line : HeardSince(from))
            if (line.rfind("IN F0 ", 0) == 0) return true;
          return false;
        },
        1500ms);
  }
};
} // namespace

// Choosing part 4 selects it on the synthesizer with the part-select NRPN on the global channel
// (controller 98 = 113, controller 6 = 3 + 76) and nothing else: the synthesizer's performance is
// not overwritten with the editor's. Choosing a page sends nothing at all.
TEST_F(ViewChoicesEndToEnd, ChoosingAPartOrAPageWritesNothingToTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  editor->Pump(300ms);
  const std::string writes = SimWrites();
  ASSERT_FALSE(writes.empty()) << "the simulator did not answer WRITES";

  IRectangle part4;
  ASSERT_TRUE(reference->RadioButton(kQuickTab, 3, part4));
  size_t before = SimLog().size();
  editor->Click(part4);
  ASSERT_TRUE(
      editor->PumpUntil([&] { return FirstIndexOf(SimLog(), "IN B3 06 4F", before) < SimLog().size(); }, 10s))
      << "part 4 was not selected on the synthesizer";
  EXPECT_FALSE(SysExArrives(before)) << "choosing a part sent a dump";
  EXPECT_EQ(HeardSince(before), (std::vector<std::string>{"IN B3 62 71", "IN B3 06 4F"}));
  EXPECT_EQ(SimWrites(), writes);

  before = SimLog().size();
  ASSERT_NO_FATAL_FAILURE(ShowPage(2));
  EXPECT_FALSE(SysExArrives(before)) << "choosing a page sent a dump";
  EXPECT_EQ(HeardSince(before), std::vector<std::string>{}) << "choosing a page sent something";
  EXPECT_EQ(SimWrites(), writes);
}

// Choosing a program for the selected part selects it there (bank select and program change on
// the part's channel) and brings it into the editor; the program received is not sent back.
TEST_F(ViewChoicesEndToEnd, ChoosingAProgramOnlySelectsIt)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  editor->Pump(300ms);
  const std::string writes = SimWrites();
  ASSERT_FALSE(writes.empty()) << "the simulator did not answer WRITES";

  ProgramChunk chunk;
  ASSERT_TRUE(chunk.Parse(host.GetChunk(false)));
  int channel = int(chunk.Value(kMultiPartMIDICh));
  if (channel < 0 || channel > 15) channel = 3;
  char change[16];
  std::snprintf(change, sizeof change, "IN C%X 05", channel);
  const size_t before = SimLog().size();
  // Program > 001-016 > 006.
  const ProgramNumberPopupMenu* menu = reference->FirstOfClass<ProgramNumberPopupMenu>();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(Choose(menu->Rect(),
                     {"Down", "Right", "Down", "Down", "Down", "Down", "Down", "Down", "Return"},
                     [&] { return FirstIndexOf(SimLog(), change, before) < SimLog().size(); }))
      << "the program change did not reach the synthesizer";
  // The synthesizer's answer to the edit buffer request comes into the editor.
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimLog();
        const size_t request = FirstIndexOf(log, "IN F0 00 20 29 01 24 03 08 F7", before);
        for (size_t i = request; i < log.size(); ++i)
          if (log[i].rfind("OUT F0 00 20 29 01 24 03 1E ", 0) == 0) return true;
        return false;
      },
      10s))
      << "the part's new program was not asked for and answered";
  const size_t answered = SimLog().size();
  EXPECT_FALSE(SysExArrives(answered)) << "the program received was sent back";
  EXPECT_EQ(SimWrites(), writes);
}
