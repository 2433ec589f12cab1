// A bank of 128 programs received from the simulated synthesizer, then written into another of its
// banks, end to end over JACK at the shortest SysEx delay (50 ms): the built plug-in in the test host,
// the transfers started from the librarian's menu in its editor on the X display, as a user starts
// them. Each is reported beside what the cable and the pacing demand: the wire time (every byte of
// the transfer at MIDI's 3125 bytes a second) plus the mandated waits (a request polls once after
// D and waits D / 4 before the next slot; a write sends its messages D apart), and the ratio of the
// measured time to their sum. JACK carries MIDI without MIDI's baud rate, so the ratio stays below 1
// here; `over_pacing` (measured time over the mandated waits) is what the plug-in itself adds.
//
//     scripts/with-jack scripts/with-xvfb build/bench_bank_transfer
//
// Without a JACK server or a display it says so and measures nothing.
#include "tests/support/EndToEndRig.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

namespace
{
constexpr double kMidiBytesPerSecond = 3125.0; // 31250 baud, ten bits a byte
constexpr double kDelaySeconds = 0.050;        // kLibSyncTimer 0
constexpr int kSlots = 128;
constexpr int kBlock = 256;

// Bytes of the "IN"/"OUT" lines of a log from the given line on.
size_t WireBytes(const std::vector<std::string>& log, size_t from)
{
  size_t bytes = 0;
  for (size_t i = from; i < log.size(); ++i)
    if (log[i].rfind("IN ", 0) == 0 || log[i].rfind("OUT ", 0) == 0)
    {
      const size_t text = log[i].size() - log[i].find(' ') - 1;
      bytes += (text + 1) / 3;
    }
  return bytes;
}

// The plug-in with its editor open, talking to the simulator; built once for both benchmarks.
class Rig
{
public:
  static Rig& Get()
  {
    static Rig rig;
    return rig;
  }

  std::string problem; // why nothing can be measured, or empty

  // Chooses the menu entry, then runs the host until the status line shows the text. Seconds, or
  // a negative number when it never did.
  double Transfer(const std::vector<const char*>& keys, const std::string& done, size_t& wireBytes)
  {
    const size_t from = SimAnswerLines(sim, "LOG").size();
    const auto start = std::chrono::steady_clock::now();
    if (!editor->ChooseFromMenu(menu, keys)) return -1;
    std::vector<uint32_t> expected;
    reference->StatusLine(done, 1, statusRect, expected);
    if (!editor->PumpUntil([&] { return editor->Shows(statusRect, expected); }, std::chrono::minutes(3)))
      return -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    wireBytes = WireBytes(SimAnswerLines(sim, "LOG"), from);
    return seconds;
  }

private:
  Rig()
  {
    if (!HaveJack())
    {
      problem = "no JACK server (JACK_DEFAULT_SERVER unset): run under scripts/with-jack scripts/with-xvfb";
      return;
    }
    if (!HaveDisplay())
    {
      problem = "no X display: run under scripts/with-xvfb";
      return;
    }
    const std::string simPath =
        (std::filesystem::path(VELK_PLUGIN_PATH).parent_path() / "velk-simsynth").string();
    if (!std::filesystem::exists(simPath))
    {
      problem = simPath + " is not built";
      return;
    }
    data = std::filesystem::temp_directory_path() / ("velk-bench-bank-" + std::to_string(getpid()));
    std::filesystem::create_directories(data);
    setenv("VELK_DATA_DIR", data.c_str(), 1);
    reference = ReferenceEditor::Get();
    if (!reference)
    {
      problem = "the reference editor could not be built";
      return;
    }
    const std::string client = "velk-bench-sim-" + std::to_string(getpid());
    if (!sim.Start({"--client", client, "--device-id", "3", "--seed", "23", "--api", "jack"}, simPath))
    {
      problem = "velk-simsynth did not start";
      return;
    }
    std::istringstream words(sim.ReadLine());
    std::string word, simIn, simOut;
    words >> word >> simIn >> simOut;
    if (word != "READY")
    {
      problem = "velk-simsynth did not open its ports";
      return;
    }
    if (!host.Load(VELK_PLUGIN_PATH) || !host.Open(48000.0, kBlock))
    {
      problem = "the plug-in did not load: " + host.LastError();
      return;
    }
    editor = std::make_unique<EditorOnScreen>(host, kBlock);
    if (!editor->Open())
    {
      problem = "the editor did not open on the display";
      return;
    }
    ProgramChunk chunk;
    if (!ChunkWithPorts(host, simIn, simOut, chunk))
    {
      problem = "the plug-in's project state could not be read";
      return;
    }
    chunk.SetValue(kLibSyncTimer, 0.0); // the shortest SysEx delay
    chunk.SetValue(kGlobalMidiChannel, 3.0);
    chunk.tail[0] = 3;
    const int tab = int(chunk.Value(kMainTab));
    std::vector<uint32_t> ready;
    reference->StatusLine("Plug-in is ready to go!", tab, statusRect, ready);
    if (!host.SetChunk(chunk.Bytes(), false) ||
        !editor->PumpUntil([&] { return editor->Shows(statusRect, ready); }, std::chrono::seconds(60)))
    {
      problem = "the plug-in did not find the simulator";
      return;
    }
    IRectangle libraryTab;
    const LeftPatchPopupMenu* left = reference->FirstOfClass<LeftPatchPopupMenu>();
    if (!reference->RadioButton(kMainTab, 1, libraryTab) || !left)
    {
      problem = "the editor has no library page or librarian menu";
      return;
    }
    menu = left->Rect();
    editor->Click(libraryTab);
    reference->ShowTab(1);
  }

  ~Rig()
  {
    if (editor) editor->Close();
    editor.reset();
    host.Close();
    sim.WriteLine("QUIT");
    sim.Finish();
    if (!data.empty()) std::filesystem::remove_all(data);
  }

  std::filesystem::path data;
  ReferenceEditor* reference = nullptr;
  SimSynthProcess sim;
  vsthost::VstHost host;
  std::unique_ptr<EditorOnScreen> editor;
  IRectangle menu, statusRect;
};

void Report(benchmark::State& state, double seconds, size_t wireBytes, double pacing)
{
  const double wire = double(wireBytes) / kMidiBytesPerSecond;
  state.SetIterationTime(seconds);
  state.counters["measured_s"] = seconds;
  state.counters["wire_s"] = wire;
  state.counters["pacing_s"] = pacing;
  state.counters["ratio"] = seconds / (wire + pacing);
  // Over a cable without a baud rate (JACK's), what the plug-in adds to the waits it must make.
  state.counters["over_pacing"] = seconds / pacing;
}

// Chooses the menu entries, times the transfer until its status text shows, and reports it against
// the pacing it must keep.
void RunTransfer(benchmark::State& state, const std::vector<const char*>& keys, const char* done,
                 const char* failure, double pacing)
{
  Rig& rig = Rig::Get();
  for (auto _ : state)
  {
    if (!rig.problem.empty())
    {
      state.SkipWithError(rig.problem.c_str());
      break;
    }
    size_t wire = 0;
    const double seconds = rig.Transfer(keys, done, wire);
    if (seconds < 0)
    {
      state.SkipWithError(failure);
      break;
    }
    Report(state, seconds, wire, pacing);
  }
}

// Receive from Hardware > Bank A.
void BankRequest(benchmark::State& state)
{
  RunTransfer(state, {"Down", "Right", "Down", "Return"}, "Data request completed!",
              "the bank request did not complete", kSlots * 1.25 * kDelaySeconds);
}
BENCHMARK(BankRequest)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Store to Hardware > All Current Patches to Bank B: the bank just received.
void BankWrite(benchmark::State& state)
{
  RunTransfer(state, {"Down", "Down", "Right", "Down", "Down", "Return"}, "Data write completed!",
              "the bank write did not complete", 2 * kSlots * kDelaySeconds);
}
BENCHMARK(BankWrite)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
} // namespace
