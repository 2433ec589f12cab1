// The built plug-in in the test host, talking over a JACK server to the simulated synthesizer run as
// a child process. The plug-in finds the simulator's ports by the names a project recalls, as it would
// a real synthesizer's, and its waits run on the scaled clock. Run under scripts/with-jack; without a
// server the suite skips, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
bool JackRequired()
{
  const char* value = std::getenv("VELK_REQUIRE_JACK");
  return value && std::string(value) == "1";
}

int32_t ReadLE32(const std::vector<uint8_t>& bytes, size_t at)
{
  return int32_t(uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
                 uint32_t(bytes[at + 3]) << 24);
}

void AppendLE32(std::vector<uint8_t>& bytes, int32_t value)
{
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(uint8_t(uint32_t(value) >> shift));
}

// A program chunk of the plug-in, read and written field by field: the header, the state tag and
// version, no automated values, the count and the values of the other parameters, then the names (the
// MIDI ports among them) and the tail (device id and model).
struct ProgramChunk
{
  static constexpr int kMidiInputName = 25;
  static constexpr int kMidiOutputName = 26;

  std::vector<uint8_t> head; // up to and with the values
  std::vector<std::string> names;
  std::vector<uint8_t> tail;

  bool Parse(const std::vector<uint8_t>& bytes)
  {
    size_t at = size_t(kChunkHeaderSize) + 8;
    if (bytes.size() < at + 4) return false;
    const int32_t count = ReadLE32(bytes, at);
    at += 4 + 8 * size_t(count);
    if (count != kDebugParts + 1 || bytes.size() < at + 4) return false;
    head.assign(bytes.begin(), bytes.begin() + long(at));
    const int32_t nameCount = ReadLE32(bytes, at);
    at += 4;
    names.clear();
    for (int32_t i = 0; i < nameCount; ++i)
    {
      if (bytes.size() < at + 4) return false;
      const size_t length = size_t(ReadLE32(bytes, at));
      at += 4;
      if (bytes.size() < at + length) return false;
      names.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + length));
      at += length;
    }
    tail.assign(bytes.begin() + long(at), bytes.end());
    return true;
  }

  void SetValue(int parameter, double value)
  {
    std::memcpy(head.data() + kChunkHeaderSize + 12 + 8 * parameter, &value, 8);
  }

  std::vector<uint8_t> Bytes() const
  {
    std::vector<uint8_t> bytes = head;
    AppendLE32(bytes, int32_t(names.size()));
    for (const std::string& name : names)
    {
      AppendLE32(bytes, int32_t(name.size()));
      bytes.insert(bytes.end(), name.begin(), name.end());
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  }
};

size_t FirstIndexOf(const std::vector<std::string>& log, const std::string& line, size_t from = 0)
{
  for (size_t i = from; i < log.size(); ++i)
    if (log[i] == line) return i;
  return log.size();
}

class EndToEnd : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!std::getenv("JACK_DEFAULT_SERVER") && !JackRequired())
      GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
    static std::atomic<int> serial{0};
    const std::string unique = std::to_string(getpid()) + "-" + std::to_string(serial++);
    // Every wait of the link ten times faster; no data folder of the developer's leaks in.
    setenv("VELK_CLOCK_SCALE", "0.1", 1);
    dataDir = std::filesystem::temp_directory_path() / ("velk-e2e-" + unique);
    std::filesystem::create_directories(dataDir);
    setenv("VELK_DATA_DIR", dataDir.c_str(), 1);

    ASSERT_TRUE(sim.Start(
        {"--client", "velk-e2e-sim-" + unique, "--device-id", "3", "--seed", "23", "--api", "jack"}));
    std::istringstream words(sim.ReadLine());
    std::string word;
    words >> word >> simIn >> simOut;
    ASSERT_EQ(word, "READY");

    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, kBlock));
  }

  void TearDown() override
  {
    host.Close();
    sim.WriteLine("QUIT");
    sim.Finish();
    unsetenv("VELK_DATA_DIR");
    if (!dataDir.empty()) std::filesystem::remove_all(dataDir);
  }

  // The plug-in's project state with the simulator's ports named, as a host recalls it.
  ProgramChunk ChunkWithSimulatorPorts()
  {
    ProgramChunk chunk;
    EXPECT_TRUE(chunk.Parse(host.GetChunk(false)));
    EXPECT_GT(chunk.names.size(), size_t(ProgramChunk::kMidiOutputName));
    if (chunk.names.size() > size_t(ProgramChunk::kMidiOutputName))
    {
      chunk.names[ProgramChunk::kMidiInputName] = simOut;
      chunk.names[ProgramChunk::kMidiOutputName] = simIn;
    }
    return chunk;
  }

  // The simulator's log (what it heard and answered), oldest first.
  std::vector<std::string> SimLog()
  {
    sim.WriteLine("LOG");
    std::vector<std::string> lines;
    for (std::string line = sim.ReadLine(); !line.empty() && line != "END"; line = sim.ReadLine())
      lines.push_back(line);
    return lines;
  }

  // Runs audio blocks until the simulator's log satisfies the test, or the bound passes.
  bool ProcessUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                    std::chrono::milliseconds bound = 20s)
  {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline)
    {
      for (int i = 0; i < 4; ++i)
        host.ProcessReplacing(kBlock);
      if (done(SimLog())) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  // A controller from the host passes straight through to the synthesizer: once one arrives, the
  // recalled ports are open and connected. The next probe goes out only while none has arrived.
  bool WaitForPorts()
  {
    return ProcessUntil(
        [&](const auto& log)
        {
          if (FirstIndexOf(log, "IN B0 07 64") < log.size()) return true;
          host.QueueMidi(0, 0xB0, 7, 100);
          return false;
        });
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

  static constexpr const char* kEditBufferRequest = "IN F0 00 20 29 01 24 03 08 F7";
  static constexpr int kBlock = 256;
  std::filesystem::path dataDir;
  SimSynthProcess sim;
  std::string simIn, simOut;
  vsthost::VstHost host;
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
  // The synthesizer answers only SysEx addressed to it: none of this is answered.
  for (const std::string& line : log)
    EXPECT_NE(line.rfind("OUT ", 0), 0u) << line;
}

TEST_F(EndToEnd, ProgramChangeFromTheHostBringsThePartFromTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(RecallProgramChangesIntoTheEditor());

  ProgramChunk before;
  ASSERT_TRUE(before.Parse(host.GetChunk(false)));
  host.QueueMidi(0, 0xC0, 5, 0);
  ASSERT_TRUE(ProcessUntil([](const auto& log) { return Answered(log); }))
      << "the synthesizer was not asked for the part";
  const std::vector<std::string> log = SimLog();
  const size_t change = FirstIndexOf(log, "IN C0 05");
  ASSERT_LT(change, log.size()) << "the program change went on to the synthesizer first";

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
  EXPECT_FALSE(Answered(std::vector<std::string>(
      log.begin(), log.begin() + long(FirstIndexOf(log, kEditBufferRequest, first + 1)))))
      << "the silent synthesizer answered";
  EXPECT_LT(FirstIndexOf(log, "IN C0 06"), log.size());
}
