// The wait of a short message (the audio thread's controller changes) while another thread sends
// a run of the largest SysEx through the same JACK output: the worst wait is what matters.
// Run beside a JACK server: scripts/with-jack build/bench_midi_send
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/MidiBackend.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
void BM_ShortSendWaitDuringSysEx(benchmark::State& state)
{
  if (!std::getenv("JACK_DEFAULT_SERVER"))
  {
    state.SkipWithError("no JACK server: run under scripts/with-jack");
    return;
  }
  // The receiving end, a port of its own that the plug-in's output connects to.
  const std::string peerName = "velk-bench-peer-" + std::to_string(::getpid());
  auto peer = CreateRtMidiBackend(RtMidiApiChoice::Jack)->CreateInput(peerName);
  std::atomic<long> arrived{0};
  if (!peer || !peer->OpenVirtualPort("in", [&](const uint8_t*, size_t) { arrived.fetch_add(1); }))
  {
    state.SkipWithError("JACK server not reachable");
    return;
  }
  IMidiPorts ports(CreateRtMidiBackend(RtMidiApiChoice::Jack));
  ports.ListMidiOutputPorts();
  int index = 1;
  if (ports.SelectMidiOutputPort(index, peerName + ":in") <= 0)
  {
    state.SkipWithError("could not open the output");
    return;
  }

  std::atomic<bool> dumping{true};
  std::thread dump(
      [&]
      {
        std::vector<uint8_t> body(15000, 0x11);
        while (dumping.load())
          ports.SendSysExToDevice(body.data(), int(body.size()));
      });

  std::chrono::steady_clock::duration worst{};
  uint8_t value = 0;
  for (auto _ : state)
  {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ports.SendMidiToDevice({0, 0xB0, 7, value}));
    worst = std::max(worst, std::chrono::steady_clock::now() - start);
    value = uint8_t((value + 1) & 0x7F);
    // About one message per audio block.
    std::this_thread::sleep_for(std::chrono::microseconds(1333));
  }
  dumping = false;
  dump.join();
  ports.Shutdown();
  peer->ClosePort();
  state.counters["worst_wait_us"] =
      double(std::chrono::duration_cast<std::chrono::microseconds>(worst).count());
}
BENCHMARK(BM_ShortSendWaitDuringSysEx)->Iterations(1500)->UseRealTime();
} // namespace
