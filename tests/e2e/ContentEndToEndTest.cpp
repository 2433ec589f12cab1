// What a dump carries, end to end: the built plug-in in the test host, a JACK server and the
// simulated synthesizer as a child process (see EndToEndTest.cpp for the setting). Names that come
// from the synthesizer stay with the project, and the handshake takes both global messages. Run
// under scripts/with-jack; without a server the suite skips, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndFixture.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace
{
constexpr int kSimDeviceId = 3;
constexpr int kSimSeed = 41;

class ContentEndToEnd : public EndToEndFixture
{
protected:
  ContentEndToEnd() { simSeed = kSimSeed; }

  bool ProcessUntil(vsthost::VstHost& plugin, const std::function<bool()>& done,
                    std::chrono::milliseconds bound = 20s)
  {
    return ProcessBlocksUntil(plugin, kBlock, done, bound);
  }

  // The project state as the host would save it now.
  ProgramChunk Saved(vsthost::VstHost& plugin)
  {
    ProgramChunk chunk;
    EXPECT_TRUE(chunk.Parse(plugin.GetChunk(false)));
    return chunk;
  }

  // The library page, and bank A (of the librarian's kind, given by its bank code) received from the
  // synthesizer into the left pane through the "Hardware" menu.
  void ReceiveBankA(int bankCode)
  {
    ASSERT_NO_FATAL_FAILURE(ShowPage(1));
    const IRectangle menu = LeftPaneMenu();
    ASSERT_GT(menu.W(), 0) << "no librarian menu in the editor";
    const std::string request = "IN F0 00 20 29 01 24 03 13 0" + std::to_string(bankCode) + " ";
    ASSERT_TRUE(Choose(menu, {"Down", "Right", "Down", "Return"},
                       [&] { return CountStartingWith(SimLog(), request) > 0; }))
        << "bank A was not asked for";
    ASSERT_TRUE(WaitForStatus("Data request completed!", 90s));
  }
};
} // namespace

// A program received from the synthesizer names its part in the project: saved with it, and there
// again in a plug-in that opens the project.
TEST_F(ContentEndToEnd, AReceivedProgramsNameIsSavedWithTheProjectAndRecalled)
{
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());
  const SimBytes program = SimSynth(kSimDeviceId, kSimSeed).PartProgram(0)[0];
  const std::string name(program.begin() + SimSysEx::kProgramNameByte,
                         program.begin() + SimSysEx::kProgramNameByte + SimSysEx::kNameLength);
  ASSERT_NE(Saved(host).names[1], name);

  host.QueueMidi(0, 0xC0, 9, 0); // part 1 follows program changes: its program comes back
  ASSERT_TRUE(ProcessUntil(host, [&] { return Saved(host).names[1] == name; }))
      << "part 1's name in the project: \"" << Saved(host).names[1] << "\", the synthesizer's: \"" << name
      << "\"";

  // A fresh plug-in given the saved project has the name too, and saves it again.
  const std::vector<uint8_t> project = host.GetChunk(false);
  vsthost::VstHost reopened;
  ASSERT_TRUE(reopened.Load(VELK_PLUGIN_PATH)) << reopened.LastError();
  ASSERT_TRUE(reopened.Open(48000.0, kBlock));
  ProgramChunk recalled;
  ASSERT_TRUE(recalled.Parse(project));
  // Without ports: the reopened plug-in must not take the synthesizer from the first.
  recalled.names[ProgramChunk::kMidiInputName].clear();
  recalled.names[ProgramChunk::kMidiOutputName].clear();
  ASSERT_TRUE(reopened.SetChunk(recalled.Bytes(), false));
  EXPECT_EQ(Saved(reopened).names[1], name);
  reopened.Close();
}

// The handshake is answered with both global messages; the second one's settings (audio input
// trims, input switches, pedal) reach the editor even when it comes late.
TEST_F(ContentEndToEnd, TheHandshakeTakesTheSecondGlobalMessageEvenWhenItComesLate)
{
  sim.WriteLine("SLOW 400");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());
  const SimBytes second = SimSynth(kSimDeviceId, kSimSeed).Globals()[1];
  const std::vector<std::pair<int, double>> expected = {{kGlobalAudioIn1Trim, second[34] - 56},
                                                        {kGlobalAudioIn2Trim, second[35] - 56},
                                                        {kGlobalInputSw1, second[25]},
                                                        {kGlobalInputSw2, second[26]},
                                                        {kGlobalPedalSw3, second[20] - 11}};
  auto differences = [&]
  {
    const ProgramChunk now = Saved(host);
    std::string differ;
    for (const auto& [index, value] : expected)
      if (now.Value(index) != value)
        differ += " " + std::to_string(index) + ":" + std::to_string(now.Value(index)) + "/" +
                  std::to_string(value);
    return differ;
  };
  std::string differ = differences();
  for (int i = 0; i < 100 && !differ.empty(); ++i)
  {
    host.ProcessReplacing(kBlock);
    std::this_thread::sleep_for(20ms);
    differ = differences();
  }
  EXPECT_TRUE(differ.empty()) << "settings of the second global message (editor/synthesizer):" << differ;
}

// A performance received from the synthesizer selects its part (byte 26) for the editor as a whole:
// a librarian slot sent afterwards goes to that part, not to the one selected before.
TEST_F(ContentEndToEnd, AReceivedPerformancesSelectedPartTakesTheNextSlot)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  sim.WriteLine("MODE PERFORMANCE");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());
  mainTab = int(Saved(host).Value(kMainTab));
  const SimSynth same(kSimDeviceId, kSimSeed);
  const std::vector<SimBytes> performance = same.PerformanceEdit();
  const int selected = performance[0][26];
  ASSERT_NE(selected, int(Saved(host).Value(kQuickTab))) << "the seed's performance selects the part shown";

  sim.WriteLine("SEND C3 05"); // a performance chosen on the synthesizer
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_TRUE(editor->PumpUntil([&] { return Saved(host).Value(kQuickTab) == selected; }, 30s))
      << "the performance did not arrive";
  // Its last message is in: the reception is over.
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimLog();
        return FirstIndexOf(log, "OUT " + SimHex(performance[2])) < log.size();
      },
      10s));

  // The library page; bank A of the synthesizer's programs into the left pane.
  ASSERT_NO_FATAL_FAILURE(ReceiveBankA(5));
  auto heard = [&](const std::string& start) { return CountStartingWith(SimLog(), start) > 0; };

  const LibrarianViewControl* view = reference->LibrarianView();
  ASSERT_NE(view, nullptr);
  editor->Click(view->CellRect(0, 5), true);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::string toSelected = std::string("IN F0 00 20 29 01 24 03 00 0") + kDigits[selected] + " ";
  EXPECT_TRUE(editor->PumpUntil([&] { return heard(toSelected); }, 20s))
      << "slot 6 did not go to part " << selected + 1 << ", the performance's selected part";
  EXPECT_FALSE(heard("IN F0 00 20 29 01 24 03 00 00 ")) << "it went to part 1";
}

namespace
{
// The bytes of a logged message ("IN F0 ...").
SimBytes LoggedBytes(const std::string& line)
{
  std::istringstream words(line.substr(3));
  SimBytes bytes;
  for (std::string byte; words >> byte;)
    bytes.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
  return bytes;
}

std::string Unlike(const SimBytes& sent, const SimBytes& expected, const std::vector<size_t>& skip = {})
{
  if (sent.size() != expected.size()) return " length " + std::to_string(sent.size());
  std::string unlike;
  for (size_t i = 0; i < sent.size(); ++i)
    if (sent[i] != expected[i] && std::find(skip.begin(), skip.end(), i) == skip.end())
      unlike += " " + std::to_string(i) + ":" + std::to_string(sent[i]) + "/" + std::to_string(expected[i]);
  return unlike;
}
} // namespace

// A performance the synthesizer sent (a slot of its bank A, received into the librarian), loaded
// into the editor and so sent back to the synthesizer's edit buffer, arrives as the synthesizer sent
// it: its own settings that the editor does not show (bytes 16-23 of the vocoder message, the
// unread fields and bytes 328-471 of the parts message) are not overwritten with zeros.
TEST_F(ContentEndToEnd, APerformanceSentBackKeepsTheSynthesizersOwnSettings)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ProgramChunk chunk;
  ASSERT_TRUE(ChunkWithPorts(host, simIn, simOut, chunk));
  chunk.SetValue(kMIDIFilterDirectToHardware, 1.0);
  chunk.SetValue(kMIDIFilterToDAWBuffer, 0.0);
  chunk.SetValue(kGlobalMidiChannel, kSimDeviceId);
  chunk.SetValue(kDatatype, 1.0); // the librarian holds performances
  chunk.tail[0] = kSimDeviceId;
  mainTab = int(chunk.Value(kMainTab));
  ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
  ASSERT_TRUE(WaitForStatus("Plug-in is ready to go!", 30s)) << "the handshake did not find the synthesizer";

  ASSERT_NO_FATAL_FAILURE(ReceiveBankA(1));

  const SimSynth same(kSimDeviceId, kSimSeed);
  const std::vector<SimBytes> slot = same.SlotMessages(1, 5);
  ASSERT_EQ(slot.size(), 3u);
  std::vector<SimBytes> edit;
  for (const SimBytes& m : slot)
    edit.push_back(SimSysEx::ToEdit(m, 0));
  // The synthesizer's own bytes are not zeros, or this would prove nothing.
  ASSERT_NE(std::count(edit[2].begin() + 328, edit[2].begin() + 472, 0), 144);

  const size_t before = SimLog().size();
  const LibrarianViewControl* view = reference->LibrarianView();
  ASSERT_NE(view, nullptr);
  editor->Click(view->CellRect(0, 5), true);
  std::vector<std::string> sent(3);
  const char* starts[3] = {"IN F0 00 20 29 01 24 03 05 ", "IN F0 00 20 29 01 24 03 1B ",
                           "IN F0 00 20 29 01 24 03 20 "};
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimLog();
        for (size_t i = before; i < log.size(); ++i)
          for (size_t k = 0; k < 3; ++k)
            if (log[i].rfind(starts[k], 0) == 0) sent[k] = log[i];
        return !sent[2].empty();
      },
      30s))
      << "the performance did not go to the synthesizer's edit buffer";
  // Loading a slot gives each part the MIDI channel of its number (bytes 30 + 44p).
  std::vector<size_t> channels;
  for (size_t p = 0; p < 8; ++p)
    channels.push_back(30 + 44 * p);
  EXPECT_EQ(Unlike(LoggedBytes(sent[0]), edit[0], channels), "") << "common message (sent/slot)";
  EXPECT_EQ(Unlike(LoggedBytes(sent[1]), edit[1]), "") << "vocoder message (sent/slot)";
  EXPECT_EQ(Unlike(LoggedBytes(sent[2]), edit[2]), "") << "parts message (sent/slot)";
}
