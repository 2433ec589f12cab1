// The host's project save and recall: effGetChunk and effSetChunk of the built plug-in, whose
// state carries all 5866 parameter values and the project names.
#include "tools/vsthost/VstHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace
{
bool OpenPlugin(vsthost::VstHost& host, benchmark::State& state)
{
  if (!host.Load(VELK_PLUGIN_PATH) || !host.Open())
  {
    state.SkipWithError(host.LastError().c_str());
    return false;
  }
  return true;
}

void BM_GetChunk(benchmark::State& state)
{
  vsthost::VstHost host;
  if (!OpenPlugin(host, state)) return;
  intptr_t size = 0;
  for (auto _ : state)
  {
    void* data = nullptr;
    size = host.Dispatch(effGetChunk, 1, 0, &data);
    benchmark::DoNotOptimize(data);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * size);
  state.counters["chunk_bytes"] = double(size);
}

void BM_SetChunk(benchmark::State& state)
{
  vsthost::VstHost host;
  if (!OpenPlugin(host, state)) return;
  std::vector<uint8_t> chunk = host.GetChunk(false);
  if (chunk.empty())
  {
    state.SkipWithError("the plug-in gave no chunk");
    return;
  }
  for (auto _ : state)
  {
    const intptr_t ok = host.Dispatch(effSetChunk, 1, intptr_t(chunk.size()), chunk.data());
    if (ok != 1)
    {
      state.SkipWithError("the plug-in refused its own chunk");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(chunk.size()));
}

BENCHMARK(BM_GetChunk);
BENCHMARK(BM_SetChunk);
} // namespace
