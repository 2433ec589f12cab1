// The built plug-in in the test host, talking over a JACK server to the simulated synthesizer run as
// a child process. The plug-in finds the simulator's ports by the names a project recalls, as it would
// a real synthesizer's, and its waits run on the scaled clock. Run under scripts/with-jack; without a
// server the suite skips, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndFixture.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
class EndToEnd : public EndToEndFixture
{
};
} // namespace

TEST_F(EndToEnd, StartAndStopFollowTheHostTransport)
{
  ProgramChunk chunk = ChunkWithSimulatorPorts();
  chunk.SetValue(kSendMIDIClockPointer, 1.0);
  chunk.SetValue(kMIDIFilterDirectToHardware, 1.0);
  chunk.SetValue(kMIDIFilterToDAWBuffer, 0.0);
  ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));

  host.Transport().playing = false;
  ASSERT_TRUE(WaitForPorts()) << "nothing reached the synthesizer's port \"" << simIn << "\"";
  const std::vector<std::string> stopped = SimLog();
  EXPECT_EQ(FirstIndexOf(stopped, "IN FA"), stopped.size()) << "Start before the transport plays";

  host.Transport().playing = true;
  ASSERT_TRUE(ProcessUntil([](const auto& log) { return FirstIndexOf(log, "IN FA") < log.size(); }));
  host.Transport().playing = false;
  ASSERT_TRUE(ProcessUntil([](const auto& log) { return FirstIndexOf(log, "IN FC") < log.size(); }));
  // Blocks go on after the Stop: nothing more follows from the transport standing still.
  for (int i = 0; i < 40; ++i)
    host.ProcessReplacing(kBlock);

  const std::vector<std::string> log = SimLog();
  const size_t start = FirstIndexOf(log, "IN FA"), stop = FirstIndexOf(log, "IN FC");
  EXPECT_LT(start, stop);
  EXPECT_EQ(FirstIndexOf(log, "IN FA", start + 1), log.size()) << "a second Start";
  EXPECT_EQ(FirstIndexOf(log, "IN FC", stop + 1), log.size()) << "a second Stop";
  // The synthesizer answers only SysEx addressed to it: nothing of this is answered, only the
  // handshake's device-id request (with the two global messages).
  const SimSynth same(3, 23);
  for (const std::string& line : log)
  {
    if (line.rfind("OUT ", 0) == 0)
    {
      EXPECT_TRUE(line == "OUT " + SimHex(same.Globals()[0]) || line == "OUT " + SimHex(same.Globals()[1]))
          << line;
    }
  }
}

TEST_F(EndToEnd, ProgramChangeFromTheHostBringsThePartFromTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());

  ProgramChunk before;
  ASSERT_TRUE(before.Parse(host.GetChunk(false)));
  host.QueueMidi(0, 0xC0, 5, 0);
  ASSERT_TRUE(
      ProcessUntil([](const auto& log) { return Answered(log, FirstIndexOf(log, kEditBufferRequest)); }))
      << "the synthesizer was not asked for the part";
  const std::vector<std::string> log = SimLog();
  const size_t change = FirstIndexOf(log, "IN C0 05");
  ASSERT_LT(change, log.size()) << "the program change went on to the synthesizer first\n"
                                << ::testing::PrintToString(log);

  // Asked at its own device id, the synthesizer answered with part 1's program (both messages).
  const size_t request = FirstIndexOf(log, kEditBufferRequest);
  EXPECT_LT(change, request);
  ASSERT_LT(request, log.size());
  const SimSynth same(3, 23);
  const std::vector<SimBytes> part = same.PartProgram(0);
  ASSERT_EQ(part.size(), 2u);
  EXPECT_EQ(FirstIndexOf(log, "OUT " + SimHex(part[0]), request) + 1,
            FirstIndexOf(log, "OUT " + SimHex(part[1])));

  // The answer moved the editor's parameters: the project state now differs from the one recalled.
  bool moved = false;
  for (int i = 0; i < 200 && !moved; ++i)
  {
    host.ProcessReplacing(kBlock);
    ProgramChunk now;
    ASSERT_TRUE(now.Parse(host.GetChunk(false)));
    moved = now.head != before.head;
    if (!moved) std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(moved) << "the received program did not reach the editor";
}

// In performance mode a program change on the global channel from the synthesizer (the user picked
// another performance there) brings its edit buffer: the eight part programs, then the common, vocoder
// and parts messages, which set every part and the multi-mode settings of the editor.
TEST_F(EndToEnd, APerformanceChosenOnTheSynthesizerComesIntoTheEditor)
{
  sim.WriteLine("MODE PERFORMANCE");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());

  // What the synthesizer holds, as its own reading of the formats gives it.
  const SimSynth same(3, 23);
  const std::vector<SimBytes> performance = same.PerformanceEdit();
  ASSERT_EQ(performance.size(), 3u);
  std::vector<std::pair<int, double>> expected;
  for (int p = 0; p < 8; ++p)
  {
    const SimBytes program = same.PartProgram(p)[0];
    expected.push_back({kOscillator1Octave + p, program[32] - 30});
    expected.push_back({kOscillator2Waveform + p, program[65] - 10});
    expected.push_back({kFilterType + p, program[216] - 3});
    expected.push_back({kArpBank + p, program[249] - 76});
    const size_t at = 28 + 44 * size_t(p);
    expected.push_back({kMultiPartBank + p, performance[0][at + 1] - 5});
    expected.push_back({kMultiPartOutput + p, performance[0][at + 3] - 98});
    expected.push_back({kMultiPartVeloCurve + p, performance[0][at + 7] - 80});
  }
  auto differences = [&]
  {
    ProgramChunk now;
    if (!now.Parse(host.GetChunk(false))) return std::string(" (no project state)");
    std::string differ;
    for (const auto& [index, value] : expected)
      if (now.Value(index) != value)
        differ += " " + std::to_string(index) + ":" + std::to_string(now.Value(index)) + "/" +
                  std::to_string(value);
    return differ;
  };
  ASSERT_FALSE(differences().empty()) << "the editor held the performance before it was asked for";

  const size_t before = SimLog().size();
  sim.WriteLine("SEND C3 05");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_TRUE(ProcessUntil(
      [&](const auto& log)
      {
        const size_t request = FirstIndexOf(log, kEditBufferRequest, before);
        return FirstIndexOf(log, "OUT " + SimHex(performance[2]), request) < log.size();
      }))
      << "the edit buffer was not asked for, or not sent whole";
  std::string differ = differences();
  for (int i = 0; i < 300 && !differ.empty(); ++i)
  {
    host.ProcessReplacing(kBlock);
    std::this_thread::sleep_for(20ms);
    differ = differences();
  }
  EXPECT_TRUE(differ.empty())
      << "parameters that differ from the synthesizer's performance (editor/synthesizer):" << differ;
}

TEST_F(EndToEnd, ASilentSynthesizerTimesOutAndTheNextRequestIsAnswered)
{
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());
  sim.WriteLine("SILENT 1");
  ASSERT_EQ(sim.ReadLine(), "OK");
  host.QueueMidi(0, 0xC0, 5, 0);
  ASSERT_TRUE(
      ProcessUntil([](const auto& log) { return FirstIndexOf(log, kEditBufferRequest) < log.size(); }));

  // The unanswered request ends on its own: the jobs thread takes the next one, which is answered.
  sim.WriteLine("SILENT 0");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_TRUE(ProcessUntil(
      [&](const auto& log)
      {
        const size_t first = FirstIndexOf(log, kEditBufferRequest);
        const size_t second = FirstIndexOf(log, kEditBufferRequest, first + 1);
        if (second < log.size()) return Answered(log, second);
        host.QueueMidi(0, 0xC0, 6, 0);
        return false;
      }))
      << "the request to the silent synthesizer never ended";
  const std::vector<std::string> log = SimLog();
  const size_t first = FirstIndexOf(log, kEditBufferRequest);
  EXPECT_FALSE(
      Answered(std::vector<std::string>(log.begin(),
                                        log.begin() + long(FirstIndexOf(log, kEditBufferRequest, first + 1))),
               first))
      << "the silent synthesizer answered";
  EXPECT_LT(FirstIndexOf(log, "IN C0 06"), log.size());
}

// A new plug-in talks to device id 15; the synthesizer is on 3. The project that names its ports
// brings the link up: the request at 15 goes unanswered, the scan tries 0, 1, 2, 3, the synthesizer
// answers with its global settings, and the editor takes its device id.
TEST_F(EndToEnd, TheHandshakeFindsTheSynthesizerOnItsDeviceId)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ProgramChunk chunk = ChunkWithSimulatorPorts();
  ASSERT_GE(chunk.tail.size(), 4u);
  EXPECT_EQ(chunk.tail[0], 15) << "a new plug-in's device id";
  mainTab = int(chunk.Value(kMainTab));
  ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));

  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimLog();
        return Answered(log, FirstIndexOf(log, DeviceIdRequest(3)));
      },
      40s))
      << "the synthesizer on device id 3 was never asked";
  ASSERT_TRUE(WaitForStatus("Plug-in is ready to go!"))
      << (StatusShows("No response from Hardware") ? "the editor says: No response from Hardware"
                                                   : "the status line shows neither outcome");

  const std::vector<std::string> log = SimLog();
  std::vector<size_t> order;
  for (int id : {15, 0, 1, 2, 3})
    order.push_back(FirstIndexOf(log, DeviceIdRequest(id)));
  for (size_t i = 1; i < order.size(); ++i)
    EXPECT_LT(order[i - 1], order[i]) << "request " << i << " out of order";
  // (A slow answer may come in while later ids are tried; the id taken is the answer's own.)
  // Only the request at its own id was answered, with both global messages.
  const SimSynth same(3, 23);
  const std::vector<SimBytes> globals = same.Globals();
  ASSERT_EQ(globals.size(), 2u);
  const size_t first = FirstIndexOf(log, "OUT " + SimHex(globals[0]), order.back());
  EXPECT_LT(first, log.size());
  EXPECT_EQ(FirstIndexOf(log, "OUT " + SimHex(globals[1]), first), first + 1);

  // The editor now talks to device id 3: the global channel shows it, and the project keeps it.
  ProgramChunk now;
  ASSERT_TRUE(editor->PumpUntil(
      [&] { return now.Parse(host.GetChunk(false)) && now.Value(kGlobalMidiChannel) == 3.0; }, 10s))
      << "global channel " << now.Value(kGlobalMidiChannel);
  EXPECT_EQ(now.tail[0], 3);
}

// The librarian's "Hardware" menu on the library page: bank A is received slot by slot, then the
// same bank is written into bank B of the synthesizer, which then holds bank A's programs.
TEST_F(EndToEnd, ABankReceivedAndWrittenToAnotherBankArrivesByteForByte)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect());
  const std::vector<std::string> bankA = WithoutBankCode(SimBank(5));
  ASSERT_EQ(bankA.size(), 2u * 128u);
  ASSERT_NE(WithoutBankCode(SimBank(6)), bankA) << "the simulator's banks A and B should differ";

  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const IRectangle menu = LeftPaneMenu();
  ASSERT_GT(menu.W(), 0) << "no librarian menu in the editor";
  // Receive from Hardware > Bank A.
  ASSERT_TRUE(Choose(menu, {"Down", "Right", "Down", "Return"}, [&] { return Heard(kBankARequest); }))
      << "the bank request did not start";
  ASSERT_TRUE(WaitForStatus("Data request completed!", 60s)) << "the bank request did not complete";
  // Every slot was asked for (a slow answer may be asked for again: what counts is the bank below).
  const std::vector<std::string> log = SimLog();
  for (int slot = 0; slot < 128; ++slot)
  {
    char request[64];
    std::snprintf(request, sizeof request, "IN F0 00 20 29 01 24 03 13 05 %02X F7", slot);
    EXPECT_LT(FirstIndexOf(log, request), log.size()) << "slot " << slot;
  }

  // Store to Hardware > All Current Patches to Bank B.
  ASSERT_TRUE(Choose(menu, {"Down", "Down", "Right", "Down", "Down", "Return"},
                     [&] { return Heard("IN F0 00 20 29 01 24 03 02 06 "); }))
      << "the bank write did not start";
  ASSERT_NO_FATAL_FAILURE(ExpectBank(6, bankA));
  // Bank A itself is as it was: the write went to bank B only.
  EXPECT_EQ(WithoutBankCode(SimBank(5)), bankA);
}

// On the library page the user receives bank A, picks part 3 and double-clicks slot 6: the
// program goes into part 3's edit buffer, both messages in edit form with the part byte 2.
TEST_F(EndToEnd, ALibrarianSlotDoubleClickedGoesIntoTheSelectedPart)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect());
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  ASSERT_TRUE(
      Choose(LeftPaneMenu(), {"Down", "Right", "Down", "Return"}, [&] { return Heard(kBankARequest); }));
  ASSERT_TRUE(WaitForStatus("Data request completed!", 60s));

  IRectangle part3;
  ASSERT_TRUE(reference->RadioButton(kQuickTab, 2, part3));
  editor->Click(part3);
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        ProgramChunk now;
        return now.Parse(host.GetChunk(false)) && now.Value(kQuickTab) == 2.0;
      },
      10s))
      << "part 3 was not selected";

  const LibrarianViewControl* view = reference->LibrarianView();
  ASSERT_NE(view, nullptr);
  const size_t before = SimHeard().size();
  editor->Click(view->CellRect(0, 5), true);

  // The slot is loaded into the editor, which then sends part 3 as it holds it: the slot's edit
  // form, both messages, the part byte 2, every byte as the synthesizer holds it.
  const SimSynth same(3, 23);
  const std::vector<SimBytes> slot = same.SlotMessages(5, 5);
  ASSERT_EQ(slot.size(), 2u);
  const SimBytes main = SimSysEx::ToEdit(slot[0], 2), second = SimSysEx::ToEdit(slot[1], 2);
  const std::string mainStart = "IN " + SimHex(SimBytes(main.begin(), main.begin() + 25)) + " ";
  std::string sent;
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimHeard();
        for (size_t i = before; i + 1 < log.size(); ++i)
          if (log[i].rfind(mainStart, 0) == 0 && log[i + 1] == "IN " + SimHex(second))
          {
            sent = log[i];
            return true;
          }
        return false;
      },
      20s))
      << "slot 6 (\"" << std::string(main.begin() + 9, main.begin() + 25)
      << "\") did not arrive in part 3's edit buffer";
  std::istringstream words(sent.substr(3));
  SimBytes bytes;
  for (std::string byte; words >> byte;)
    bytes.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
  ASSERT_EQ(bytes.size(), main.size());
  std::string unlike;
  for (size_t i = 0; i < main.size(); ++i)
    if (bytes[i] != main[i])
      unlike += " " + std::to_string(i) + ":" + std::to_string(bytes[i]) + "/" + std::to_string(main[i]);
  EXPECT_TRUE(unlike.empty()) << "differs from the slot at (sent/slot)" << unlike;

  // Nothing went to another part.
  const std::vector<std::string> log = SimHeard();
  for (size_t i = before; i < log.size(); ++i)
  {
    if (log[i].rfind("IN F0 00 20 29 01 24 03 00 ", 0) == 0)
    {
      EXPECT_EQ(log[i].rfind(mainStart, 0), 0u);
    }
    if (log[i].rfind("IN F0 00 20 29 01 24 03 1E ", 0) == 0)
    {
      EXPECT_EQ(log[i], "IN " + SimHex(second));
    }
  }
}

// A slow synthesizer, a bank request, and the cancel button pressed while it runs: no request
// follows, and the librarian keeps the slots that had arrived whole, which a write of the left
// bank into bank C then shows (the rest of bank C stays as it was).
TEST_F(EndToEnd, CancellingABankRequestStopsItAndKeepsTheSlotsReceived)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect());
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const std::vector<SimBytes> bankA = SlotBytes(SimBank(5)), bankC = SlotBytes(SimBank(7));
  ASSERT_EQ(bankA.size(), 256u);

  sim.WriteLine("SLOW 40");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_TRUE(
      Choose(LeftPaneMenu(), {"Down", "Right", "Down", "Return"}, [&] { return Heard(kBankARequest); }));
  const std::string request = "IN F0 00 20 29 01 24 03 13 05 ";
  ASSERT_TRUE(editor->PumpUntil([&] { return CountStartingWith(SimLog(), request) >= 6; }, 30s));
  // The cancel button of the librarian's view, which shows over the overlay on the library page.
  const IControl* cancel = reference->Plug().CancelButton(ProgressOverlay::kLibrarianCancel);
  ASSERT_NE(cancel, nullptr) << "no cancel button";
  editor->Click(cancel->Rect());
  ASSERT_TRUE(WaitForStatus("Data request cancelled!")) << "the request was not cancelled";
  // A request sent just before the cancel may still be on its way to the synthesizer's log.
  const size_t atCancel = CountStartingWith(SimLog(), request);
  editor->Pump(1s); // ten seconds of the link's time
  const size_t asked = CountStartingWith(SimLog(), request);
  EXPECT_LE(asked, atCancel + 1) << "requests went on after the cancel";
  EXPECT_LT(asked, 128u);
  editor->Pump(1s);
  EXPECT_EQ(CountStartingWith(SimLog(), request), asked) << "requests went on after the cancel";
  // The slots received are those whose last message the synthesizer had sent by then (the one on
  // its way at the cancel is not taken).
  const size_t answered = CountStartingWith(SimLog(), "OUT F0 00 20 29 01 24 03 1F 05 ");

  // Store to Hardware > All Current Patches to Bank C.
  sim.WriteLine("SLOW 0");
  ASSERT_EQ(sim.ReadLine(), "OK");
  ASSERT_TRUE(Choose(LeftPaneMenu(), {"Down", "Down", "Right", "Down", "Down", "Down", "Return"},
                     [&] { return Heard("IN F0 00 20 29 01 24 03 02 07 "); }))
      << "the bank write did not start";
  // The write says how many slots it wrote: those received.
  std::vector<std::string> written;
  for (size_t n = answered > 0 ? answered - 1 : 0; n <= answered; ++n)
    written.push_back("Data write completed: " + std::to_string(n) + " of 128 slots written");
  const std::string said = WaitForAnyStatus(written, 60s);
  ASSERT_FALSE(said.empty()) << "the bank was not written";
  const std::vector<SimBytes> after = SlotBytes(SimBank(7));
  ASSERT_EQ(after.size(), 256u);
  size_t kept = 0;
  auto sameAsA = [&](size_t i)
  {
    SimBytes a = bankA[i];
    a[8] = 7; // the bank code of bank C
    return after[i] == a;
  };
  while (kept < 256 && sameAsA(kept))
    ++kept;
  EXPECT_EQ(kept % 2, 0u) << "half a slot";
  EXPECT_GE(kept / 2, 1u) << "no slot kept";
  EXPECT_LE(kept / 2, asked) << "more slots than were asked for";
  EXPECT_EQ(said, "Data write completed: " + std::to_string(kept / 2) + " of 128 slots written");
  for (size_t i = kept; i < 256; ++i)
    EXPECT_EQ(after[i], bankC[i]) << "message " << i << ": written, though it never arrived";
}

// Turning knobs on the oscillator page sends their controller and NRPN; a controller the
// synthesizer sends moves the knob and, with local control on, is not sent back to it (with it
// off, the editor passes it through, which shows the test can see an echo).
TEST_F(EndToEnd, KnobsSendControllersAndNrpnAndNothingEchoesUnderLocalControl)
{
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect());
  ASSERT_NO_FATAL_FAILURE(ShowPage(2));

  auto visible = [&](int param) -> const IControl*
  {
    for (const IControl* c : reference->ControlsOf(param))
      if (!c->IsHidden()) return c;
    return nullptr;
  };
  const IControl* detune = visible(kOscillator1Detune);
  const IControl* octave = visible(kOscillator1Octave);
  ASSERT_TRUE(detune && octave) << "the oscillator page lacks its knobs";
  size_t from = SimHeard().size();
  editor->Drag(CentreX(detune->Rect()), CentreY(detune->Rect()), 40);
  std::string channel; // the status byte the controller went out with
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimHeard();
        for (size_t i = from; i < log.size(); ++i)
          if (log[i].size() == 11 && log[i].rfind("IN B", 0) == 0 && log[i].substr(6, 2) == "0B")
          {
            channel = log[i].substr(3, 2);
            return true;
          }
        return false;
      },
      10s))
      << "no controller 11 for oscillator 1's detune";

  from = SimHeard().size();
  editor->Drag(CentreX(octave->Rect()), CentreY(octave->Rect()), 40);
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimHeard();
        const size_t msb = FirstIndexOf(log, "IN " + channel + " 63 00", from);
        const size_t lsb = FirstIndexOf(log, "IN " + channel + " 62 00", msb);
        return lsb < log.size() && lsb + 1 < log.size() &&
               log[lsb + 1].rfind("IN " + channel + " 06 ", 0) == 0;
      },
      10s))
      << "no NRPN 0/0 for oscillator 1's octave; the synthesizer heard:\n"
      << [&]
  {
    const std::vector<std::string> log = SimHeard();
    std::string heard;
    for (size_t i = from; i < log.size() && i < from + 12; ++i)
      heard += log[i].substr(0, 40) + "\n";
    return heard;
  }();

  // Local control from the global page's menu: Off, then On.
  ASSERT_NO_FATAL_FAILURE(ShowPage(9));
  const IControl* local = visible(kGlobalLocalControl);
  ASSERT_NE(local, nullptr);
  auto setLocal = [&](int value)
  {
    std::vector<const char*> keys(size_t(value) + 1, "Down");
    keys.push_back("Return");
    ASSERT_TRUE(Choose(local->Rect(), keys,
                       [&]
                       {
                         ProgramChunk now;
                         return now.Parse(host.GetChunk(false)) && now.Value(kGlobalLocalControl) == value;
                       }))
        << "local control not set to " << value;
  };
  auto synthTurns = [&](int data)
  {
    char line[32];
    std::snprintf(line, sizeof line, "SEND %s 0B %02X", channel.c_str(), data);
    sim.WriteLine(line);
    ASSERT_EQ(sim.ReadLine(), "OK");
  };
  auto echoOf = [&](int data)
  {
    char line[32];
    std::snprintf(line, sizeof line, "IN %s 0B %02X", channel.c_str(), data);
    return std::string(line);
  };

  ASSERT_NO_FATAL_FAILURE(setLocal(0));
  ASSERT_NO_FATAL_FAILURE(synthTurns(0x21));
  auto heard = [&](const std::string& line)
  {
    const std::vector<std::string> log = SimHeard();
    return FirstIndexOf(log, line) < log.size();
  };
  EXPECT_TRUE(editor->PumpUntil([&] { return heard(echoOf(0x21)); }, 10s))
      << "with local control off the controller is passed through";

  ASSERT_NO_FATAL_FAILURE(setLocal(1));
  ASSERT_NO_FATAL_FAILURE(synthTurns(0x22));
  // The knob moves to the received value; nothing goes back meanwhile.
  EXPECT_TRUE(editor->PumpUntil(
      [&]
      {
        ProgramChunk now;
        return now.Parse(host.GetChunk(false)) && now.Value(kOscillator1Detune) == 0x22;
      },
      10s))
      << "the knob did not follow the synthesizer";
  editor->Pump(500ms);
  EXPECT_FALSE(heard(echoOf(0x22))) << "echoed under local control";
}
