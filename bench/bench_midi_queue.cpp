// The audio callback's share of the MIDI queue: draining a block with nothing queued (every
// block of a session), and adding and draining a burst of controller messages.
#include "link/host/MidiQueue.h"

#include <benchmark/benchmark.h>

namespace
{
void BM_DrainEmptyBlock(benchmark::State& state)
{
  MidiQueue queue;
  int sent = 0;
  for (auto _ : state)
    queue.DrainBlock(int(state.range(0)), [&](const IMidiMessage&) { ++sent; });
  benchmark::DoNotOptimize(sent);
}
BENCHMARK(BM_DrainEmptyBlock)->Arg(64)->Arg(1024);

void BM_AddAndDrainBurst(benchmark::State& state)
{
  MidiQueue queue;
  const int burst = int(state.range(0));
  int sent = 0;
  for (auto _ : state)
  {
    for (int i = 0; i < burst; ++i)
    {
      IMidiMessage message;
      message.offset = (i * 7) % 1024; // out of order, so inserts move entries
      message.status = 0xB0;
      message.data1 = uint8_t(i & 0x7F);
      queue.Add(message);
    }
    queue.DrainBlock(1024, [&](const IMidiMessage&) { ++sent; });
  }
  benchmark::DoNotOptimize(sent);
  state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_AddAndDrainBurst)->Arg(3)->Arg(128)->Arg(1000);
} // namespace
