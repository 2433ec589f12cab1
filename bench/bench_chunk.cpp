// The host's project save and recall: effGetChunk and effSetChunk of the built plug-in, whose
// state carries all 5866 parameter values and the project names. Recall runs with the editor
// open (in a window of its own when there is a display) and is measured against a memcpy of the
// same chunk in the same run: the "x_memcpy" column is how many such copies one recall costs (the
// median recall against the fastest copy).
#include "platform/window/HostTopWindow.h"
#include "tools/vsthost/VstHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
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

// Seconds one memcpy of n bytes takes here and now: the best of several batches, so that a batch
// the scheduler interrupted does not count.
double MemcpySeconds(size_t n)
{
  std::vector<uint8_t> from(n, 0x5A), to(n);
  constexpr int kCopies = 200;
  double best = 1e9;
  for (int batch = 0; batch < 25; ++batch)
  {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCopies; ++i)
    {
      from[size_t(i) % n] = uint8_t(i);
      std::memcpy(to.data(), from.data(), n);
      benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / kCopies);
  }
  return best;
}

// The times of single iterations, so that the ratio to a memcpy can be taken from their median: on a
// busy machine the loop's wall-clock time also holds the time other processes had the processor.
class IterationTimes
{
public:
  void Start() { mStart = std::chrono::steady_clock::now(); }
  void Stop()
  {
    mTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count());
  }
  double Median()
  {
    if (mTimes.empty()) return 0.0;
    std::nth_element(mTimes.begin(), mTimes.begin() + long(mTimes.size() / 2), mTimes.end());
    return mTimes[mTimes.size() / 2];
  }

private:
  std::chrono::steady_clock::time_point mStart;
  std::vector<double> mTimes;
};

// The median iteration against a memcpy of the chunk measured now.
void ReportAgainstMemcpy(benchmark::State& state, size_t bytes, IterationTimes& times)
{
  state.counters["chunk_bytes"] = double(bytes);
  state.counters["x_memcpy"] = times.Median() / MemcpySeconds(bytes);
}

// Every value of a program chunk replaced (values start after the header, the state tag, its
// version and the parameter count); the plug-in puts each into its parameter's range.
std::vector<uint8_t> EveryValue(std::vector<uint8_t> chunk, double v)
{
  for (int i = 0; i < 5866; ++i)
    std::memcpy(chunk.data() + 8 + 12 + 8 * i, &v, 8);
  return chunk;
}

void BM_GetChunk(benchmark::State& state)
{
  vsthost::VstHost host;
  if (!OpenPlugin(host, state)) return;
  intptr_t size = 0;
  IterationTimes times;
  for (auto _ : state)
  {
    times.Start();
    void* data = nullptr;
    size = host.Dispatch(effGetChunk, 1, 0, &data);
    benchmark::DoNotOptimize(data);
    times.Stop();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * size);
  ReportAgainstMemcpy(state, size_t(size), times);
}

// Argument 0: the same project again and again (nothing moves); 1: two projects in turn, so that every
// parameter and every control moves at each recall.
void BM_SetChunkEditorOpen(benchmark::State& state)
{
  vsthost::VstHost host;
  if (!OpenPlugin(host, state)) return;
  const std::vector<uint8_t> first = host.GetChunk(false);
  if (first.empty())
  {
    state.SkipWithError("the plug-in gave no chunk");
    return;
  }
  const std::vector<uint8_t> second = state.range(0) ? EveryValue(first, 1e9) : first;

  ERect rect{};
  std::unique_ptr<HostTopWindow> window;
  if (host.EditorGetRect(rect))
    window = HostTopWindow::Create(rect.right - rect.left, rect.bottom - rect.top, "bench");
  const bool inWindow = window && host.EditorOpen(reinterpret_cast<void*>(window->Handle())) == 1;

  std::vector<uint8_t> a = first, b = second;
  bool flip = false;
  IterationTimes times;
  for (auto _ : state)
  {
    std::vector<uint8_t>& chunk = flip ? b : a;
    flip = !flip;
    times.Start();
    const intptr_t taken = host.Dispatch(effSetChunk, 1, intptr_t(chunk.size()), chunk.data());
    times.Stop();
    if (taken != 1)
    {
      state.SkipWithError("the plug-in refused a chunk");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(first.size()));
  state.counters["editor_window"] = inWindow ? 1 : 0;
  ReportAgainstMemcpy(state, first.size(), times);
  if (inWindow) host.EditorClose();
}

BENCHMARK(BM_GetChunk);
BENCHMARK(BM_SetChunkEditorOpen)
    ->ArgName("every_value_changes")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
} // namespace
