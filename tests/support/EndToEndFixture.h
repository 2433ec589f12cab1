#pragma once
// The end-to-end suites' fixture: the built plug-in in the test host, talking over a JACK server to
// the simulated synthesizer run as a child process, with its editor on the X display (EndToEndRig.h).
// The plug-in finds the simulator's ports by the names a project recalls, as it would a real
// synthesizer's, and its waits run on the scaled clock. Without a server a case skips, unless
// VELK_REQUIRE_JACK=1.
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndCase.h"
#include "tests/support/EndToEndRig.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The bank's slots with the bank code byte (byte 8 of the memory form) blanked, for comparing two
// banks' contents.
inline std::vector<std::string> WithoutBankCode(std::vector<std::string> lines)
{
  for (std::string& line : lines)
  {
    const size_t bytes = line.find("F0 ");
    if (bytes != std::string::npos && line.size() > bytes + 26) line.replace(bytes + 24, 2, "..");
  }
  return lines;
}

// "SLOT n <hex>" lines of a bank as the program messages they list.
inline std::vector<SimBytes> SlotBytes(const std::vector<std::string>& lines)
{
  std::vector<SimBytes> messages;
  for (const std::string& line : lines)
  {
    std::istringstream words(line.substr(line.find("F0 ")));
    SimBytes bytes;
    std::string byte;
    while (words >> byte)
      bytes.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
    messages.push_back(bytes);
  }
  return messages;
}

class EndToEndFixture : public ::testing::Test, protected EndToEndCase
{
protected:
  void SetUp() override
  {
    if (!std::getenv("JACK_DEFAULT_SERVER") && !EndToEndEnvIsOne("VELK_REQUIRE_JACK"))
      GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
    ASSERT_TRUE(Start("velk-e2e", 3, simSeed)) << "the simulated synthesizer did not start";

    // The reference editor is built before any plug-in is loaded (see ReferenceEditor).
    reference = ReferenceEditor::Get();
    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, kBlock));
  }

  void TearDown() override
  {
    CloseEditorAndPlugin(editor, host);
    Finish();
  }

  // The plug-in's project state with the simulator's ports named, as a host recalls it.
  ProgramChunk ChunkWithSimulatorPorts()
  {
    ProgramChunk chunk;
    EXPECT_TRUE(ChunkWithPorts(host, simIn, simOut, chunk));
    return chunk;
  }

  // Runs audio blocks until the simulator's log satisfies the test, or the bound passes.
  bool ProcessUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                    std::chrono::milliseconds bound = std::chrono::seconds(20))
  {
    return ProcessBlocksUntil(
        host, kBlock, [&] { return done(SimLog()); }, bound);
  }

  // The recalled project first finds the synthesizer (the handshake, during which the editor
  // passes nothing on); after that a controller from the host passes straight through. Once one
  // arrives after the synthesizer's answer, the ports are open and the handshake is over. The next
  // probe goes out only while none has arrived.
  bool WaitForPorts()
  {
    return ProcessUntil(
        [&](const auto& log)
        {
          const size_t answer = FirstIndexOf(log, "OUT " + SimHex(SimSynth(3, simSeed).Globals()[1]));
          if (FirstIndexOf(log, "IN B0 07 64", answer) < log.size()) return true;
          host.QueueMidi(0, 0xB0, 7, 100);
          return false;
        },
        std::chrono::seconds(30));
  }

  // A project talking to the simulator at its device id, part 1 following the host's program changes
  // into the editor; returns once the ports are open.
  void RecallProgramChangesIntoTheEditor()
  {
    ProgramChunk chunk = ChunkWithSimulatorPorts();
    chunk.SetValue(kMIDIFilterDirectToHardware, 1.0);
    chunk.SetValue(kMIDIFilterToDAWBuffer, 0.0);
    chunk.SetValue(kPartProgramChange, 1.0); // part 1 follows program changes
    chunk.SetValue(kControlLibrary, 0.0);    // into the editor, not the librarian
    chunk.SetValue(kGlobalMidiChannel, 3.0);
    ASSERT_GE(chunk.tail.size(), 4u);
    chunk.tail[0] = 3; // the device id the project was talking to
    ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
    ASSERT_TRUE(WaitForPorts()) << "nothing reached the synthesizer's port \"" << simIn << "\"";
  }

  static bool Answered(const std::vector<std::string>& log, size_t from = 0)
  {
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].rfind("OUT F0 00 20 29 01", 0) == 0) return true;
    return false;
  }

  // The editor in a window of its own on the display, as a user sees it.
  void OpenEditor()
  {
    if (!HaveDisplay())
    {
      if (EndToEndEnvIsOne("VELK_REQUIRE_DISPLAY")) FAIL() << "no X display, and VELK_REQUIRE_DISPLAY=1";
      GTEST_SKIP() << "no X display; run under scripts/with-xvfb";
    }
    ASSERT_NE(reference, nullptr) << "the reference editor could not be built";
    editor = std::make_unique<EditorOnScreen>(host, kBlock);
    ASSERT_TRUE(editor->Open()) << "the editor did not open on the display (or XTest is missing)";
  }

  // Whether the status line shows the text, drawn as the editor draws it on the page shown.
  bool StatusShows(const std::string& text)
  {
    IRectangle rect;
    std::vector<uint32_t> expected;
    if (!reference->StatusLine(text, mainTab, rect, expected)) return false;
    return editor->Shows(rect, expected);
  }

  bool WaitForStatus(const std::string& text, std::chrono::milliseconds bound = std::chrono::seconds(30))
  {
    return editor->PumpUntil([&] { return StatusShows(text); }, bound);
  }

  // Waits until the status line shows one of the texts; answers which (empty: none in time).
  std::string WaitForAnyStatus(const std::vector<std::string>& texts,
                               std::chrono::milliseconds bound = std::chrono::seconds(30))
  {
    std::string shown;
    editor->PumpUntil(
        [&]
        {
          for (const std::string& text : texts)
            if (StatusShows(text)) shown = text;
          return !shown.empty();
        },
        bound);
    return shown;
  }

  // A project talking to the simulator at its device id, as the user left it; returns once the
  // handshake that follows the recall has found the synthesizer.
  // `adjust` changes the project's settings before it is recalled.
  void RecallTheSimulatorAndConnect(const std::function<void(ProgramChunk&)>& adjust = {})
  {
    ProgramChunk chunk = ChunkWithSimulatorPorts();
    chunk.SetValue(kMIDIFilterDirectToHardware, 1.0);
    chunk.SetValue(kMIDIFilterToDAWBuffer, 0.0);
    chunk.SetValue(kGlobalMidiChannel, 3.0);
    if (adjust) adjust(chunk);
    ASSERT_GE(chunk.tail.size(), 4u);
    chunk.tail[0] = 3;
    mainTab = int(chunk.Value(kMainTab));
    ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
    ASSERT_TRUE(WaitForStatus("Plug-in is ready to go!")) << "the handshake did not find the synthesizer";
  }

  void ShowPage(int tab)
  {
    IRectangle button;
    ASSERT_TRUE(reference->RadioButton(kMainTab, tab, button));
    editor->Click(button);
    reference->ShowTab(tab);
    mainTab = tab;
  }

  // Chooses from the menu until what the choice starts shows. Keys typed into a menu on a machine
  // too loaded to keep up may choose nothing; the user then opens the menu again.
  bool Choose(const IRectangle& menu, const std::vector<const char*>& keys,
              const std::function<bool()>& started)
  {
    for (int attempt = 0; attempt < 3; ++attempt)
    {
      if (editor->ChooseFromMenu(menu, keys) && editor->PumpUntil(started, std::chrono::seconds(5)))
        return true;
      std::fprintf(stderr, "the menu choice started nothing; choosing again\n");
    }
    return false;
  }

  // Whether the simulator heard a message starting so.
  bool Heard(const std::string& start) { return CountStartingWith(SimHeard(), start) > 0; }

  static constexpr const char* kBankARequest = "IN F0 00 20 29 01 24 03 13 05 ";

  IRectangle LeftPaneMenu() const
  {
    const LeftPatchPopupMenu* menu = reference->FirstOfClass<LeftPatchPopupMenu>();
    return menu ? menu->Rect() : IRectangle();
  }

  // The slots of a bank in the simulator's memory, one line per message ("SLOT n F0 ...").
  std::vector<std::string> SimBank(int bankCode)
  {
    return SimAnswerLines(sim, "BANK " + std::to_string(bankCode));
  }

  // Waits until the synthesizer's bank (by its code) holds what `expected` says (bank codes
  // blanked), then compares message by message.
  void ExpectBank(int bankCode, const std::vector<std::string>& expected)
  {
    std::vector<std::string> bank;
    EXPECT_TRUE(editor->PumpUntil(
        [&]
        {
          bank = WithoutBankCode(SimBank(bankCode));
          return bank == expected;
        },
        std::chrono::seconds(60)));
    ASSERT_EQ(bank.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(bank[i], expected[i]) << "message " << i << " (slot " << i / 2 + 1 << ")";
  }

  static std::string DeviceIdRequest(int id)
  {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("IN F0 00 20 29 01 24 ") + kDigits[id >> 4] + kDigits[id & 15] + " 10 F7";
  }

  static constexpr const char* kEditBufferRequest = "IN F0 00 20 29 01 24 03 08 F7";
  static constexpr int kBlock = 256;
  // The simulator's seed (what its memory holds); a suite sets its own in its constructor.
  int simSeed = 23;
  vsthost::VstHost host;
  ReferenceEditor* reference = nullptr;
  std::unique_ptr<EditorOnScreen> editor;
  int mainTab = 2;
};
