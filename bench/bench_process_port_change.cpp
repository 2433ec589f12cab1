// The plug-in's process callbacks run from a JACK client's process callback, as in a JACK-based host,
// each block passing a note to the synthesizer (on even blocks straight from effProcessEvents, on odd
// ones queued for processReplacing). Measured in one run: the worst block with nothing else going on,
// the worst while another thread chooses the output port 20 times (between two synthesizer ports),
// and the worst while a thread keeps the output's buffer full. The process callbacks never wait for
// either, so the ratios stay small (at most 3 is the goal); the real-time queue's overflows are shown.
// Run beside a JACK server: scripts/with-jack build/bench_process_port_change
#include "editor/VELK.h"
#include "framework/plugin/IMidiPorts.h"
#include "link/incoming/IncomingMessages.h"
#include "platform/midi/MidiBackend.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

enum Phase
{
  kQuiet,
  kReselecting,
  kOutputFull,
  kPhases
};

// The host: a JACK client whose process callback runs the plug-in's.
struct Host
{
  VELK* plug = nullptr;
  std::atomic<int> phase{-1};
  std::atomic<long> blocks[kPhases]{};
  std::atomic<long long> worstNs[kPhases]{};
  std::vector<float> buffers[4];
  long cycle = 0;

  static int Process(jack_nframes_t frames, void* user)
  {
    static_cast<Host*>(user)->Block(int(frames));
    return 0;
  }

  void Block(int frames)
  {
    const int measured = phase.load();
    if (!plug || measured < 0) return;
    for (auto& b : buffers)
      if (int(b.size()) < frames) return; // sized before activation; a larger period is not measured
    AEffect* effect = plug->Effect();
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.midiData[0] = char(0x90);
    note.midiData[1] = char(36 + cycle % 48);
    note.midiData[2] = char(cycle % 2 ? 0 : 90);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    float* in[2] = {buffers[0].data(), buffers[1].data()};
    float* out[2] = {buffers[2].data(), buffers[3].data()};
    plug->queueShortMidi = uint8_t(cycle % 2);

    const auto start = Clock::now();
    effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
    effect->processReplacing(effect, in, out, frames);
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();

    ++cycle;
    long long worst = worstNs[measured].load();
    while (ns > worst && !worstNs[measured].compare_exchange_weak(worst, ns))
    {
    }
    blocks[measured].fetch_add(1);
  }

  // Measures a phase until it has run at least `count` blocks and `busy` (if any) has ended.
  void Measure(Phase p, long count, const std::function<bool()>& busy = nullptr)
  {
    phase = p;
    while (blocks[p].load() < count || (busy && busy()))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    phase = -1;
  }
};

void BM_ProcessDuringPortChanges(benchmark::State& state)
{
  if (!std::getenv("JACK_DEFAULT_SERVER"))
  {
    state.SkipWithError("no JACK server: run under scripts/with-jack");
    return;
  }
  const std::string tag = std::to_string(::getpid());
  // Two synthesizers' inputs, which the plug-in's output connects to by name in turn.
  auto peers = CreateRtMidiBackend(RtMidiApiChoice::Jack);
  std::atomic<long> arrived{0};
  const std::string peerA = "velk-bench-pc-a-" + tag, peerB = "velk-bench-pc-b-" + tag;
  auto inA = peers->CreateInput(peerA);
  auto inB = peers->CreateInput(peerB);
  auto count = [&](const uint8_t*, size_t) { arrived.fetch_add(1); };
  if (!inA || !inB || !inA->OpenVirtualPort("in", count) || !inB->OpenVirtualPort("in", count))
  {
    state.SkipWithError("JACK server not reachable");
    return;
  }

  std::string folder = (std::filesystem::temp_directory_path() / ("velk-bench-pc-XXXXXX")).string();
  if (!::mkdtemp(folder.data()))
  {
    state.SkipWithError("no temporary folder");
    return;
  }
  ::setenv("VELK_DATA_DIR", folder.c_str(), 1);
  auto plug = std::make_unique<VELK>(nullptr);
  plug->MidiPorts().SetBackend(CreateRtMidiBackend(RtMidiApiChoice::Jack));
  plug->ListMidiOutputPorts();
  int index = 1;
  if (plug->SelectMidiOutputPort(index, peerA + ":in") <= 0)
  {
    state.SkipWithError("could not open the output");
    return;
  }
  plug->midiOutputReady = 1;
  plug->passThrough[IncomingMessages::kNoteSwitch] = 1;

  Host host;
  host.plug = plug.get();
  jack_client_t* client = jack_client_open(("velk-bench-host-" + tag).c_str(), JackNoStartServer, nullptr);
  if (!client)
  {
    state.SkipWithError("could not open the host's JACK client");
    return;
  }
  const int period = int(jack_get_buffer_size(client));
  for (auto& b : host.buffers)
    b.assign(size_t(std::max(period, 4096)), 0.0f);
  jack_set_process_callback(client, &Host::Process, &host);
  jack_activate(client);

  for (auto _ : state)
  {
    host.Measure(kQuiet, 300);

    std::atomic<bool> reselecting{true};
    std::thread chooser(
        [&]
        {
          for (int i = 0; i < 20; ++i)
          {
            int choice = 1;
            plug->SelectMidiOutputPort(choice, (i % 2 ? peerA : peerB) + ":in");
          }
          reselecting = false;
        });
    host.Measure(kReselecting, 1, [&] { return reselecting.load(); });
    chooser.join();

    std::atomic<bool> flooding{true};
    std::thread flood(
        [&]
        {
          // Another thread of ours fills the output's buffer and keeps it full.
          for (uint8_t n = 0; flooding.load(); n = uint8_t((n + 1) & 0x7F))
            plug->MidiPorts().SendMidiToDevice({0, 0xB0, 1, n});
        });
    host.Measure(kOutputFull, 300);
    flooding = false;
    flood.join();
  }

  jack_deactivate(client);
  jack_client_close(client);
  const double overflows = double(plug->MidiPorts().OutputOverflows());
  host.plug = nullptr;
  plug.reset();
  inA->ClosePort();
  inB->ClosePort();
  std::filesystem::remove_all(folder);

  auto us = [&](Phase p) { return double(host.worstNs[p].load()) / 1000.0; };
  state.counters["period_frames"] = period;
  state.counters["blocks_quiet"] = double(host.blocks[kQuiet].load());
  state.counters["blocks_reselecting"] = double(host.blocks[kReselecting].load());
  state.counters["blocks_full"] = double(host.blocks[kOutputFull].load());
  state.counters["worst_quiet_us"] = us(kQuiet);
  state.counters["worst_reselecting_us"] = us(kReselecting);
  state.counters["worst_full_us"] = us(kOutputFull);
  state.counters["ratio_reselecting"] = us(kReselecting) / std::max(us(kQuiet), 1e-3);
  state.counters["ratio_full"] = us(kOutputFull) / std::max(us(kQuiet), 1e-3);
  state.counters["arrived"] = double(arrived.load());
  state.counters["overflows"] = overflows;
}
BENCHMARK(BM_ProcessDuringPortChanges)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
} // namespace
