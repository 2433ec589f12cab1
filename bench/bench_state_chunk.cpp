// Time to write and read the whole parameter table with the plug-in base's serialisers: one
// double per parameter, in index order, as the project state carries them.
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "tests/support/HostlessPlug.h"

#include <benchmark/benchmark.h>

namespace
{
// The plug-in base with its full parameter table, a third enumerated and the rest continuous, spread
// over their ranges.
class BenchPlug : public HostlessPlug
{
public:
  BenchPlug()
  {
    for (int i = 0; i < NumParameters(); ++i)
    {
      IParameter* p = ParameterAt(i);
      if (i % 3 == 0)
        p->SetupEnumerated("Enumerated", i % 8, 8, "Bench");
      else
        p->SetupContinuous("Continuous", 0.5, 0.0, 127.0, 0.01, "Bench");
      p->SetFromNormalised((i % 101) / 100.0);
    }
  }
};

void BM_SerialiseParameters(benchmark::State& state)
{
  BenchPlug plug;
  IStateChunk chunk;
  for (auto _ : state)
  {
    chunk.Clear();
    plug.SerializeNonAutomatedParams(&chunk, plug.NumParameters());
    benchmark::DoNotOptimize(chunk.Data());
  }
  state.SetItemsProcessed(state.iterations() * plug.NumParameters());
}
BENCHMARK(BM_SerialiseParameters)->Unit(benchmark::kMicrosecond);

void BM_SerialiseParametersFreshChunk(benchmark::State& state)
{
  BenchPlug plug;
  for (auto _ : state)
  {
    IStateChunk chunk;
    plug.SerializeNonAutomatedParams(&chunk, plug.NumParameters());
    benchmark::DoNotOptimize(chunk.Data());
  }
  state.SetItemsProcessed(state.iterations() * plug.NumParameters());
}
BENCHMARK(BM_SerialiseParametersFreshChunk)->Unit(benchmark::kMicrosecond);

void BM_UnserialiseParameters(benchmark::State& state)
{
  BenchPlug plug;
  IStateChunk chunk;
  plug.SerializeNonAutomatedParams(&chunk, plug.NumParameters());
  for (auto _ : state)
  {
    const int pos = plug.UnserializeNonAutomatedParams(&chunk, 0, plug.NumParameters());
    if (pos != chunk.Size())
    {
      state.SkipWithError("block did not read back whole");
      break;
    }
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations() * plug.NumParameters());
}
BENCHMARK(BM_UnserialiseParameters)->Unit(benchmark::kMicrosecond);
} // namespace
