// Time to write and read the whole parameter table as the base serialiser
// does: one double per parameter, in index order.
#include "framework/IParameter.h"
#include "framework/IStateChunk.h"
#include "framework/PointerList.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int kParameterCount = 5866;

struct Table
{
  Table()
  {
    for (int i = 0; i < kParameterCount; ++i)
    {
      auto* p = new IParameter;
      if (i % 3 == 0)
        p->SetupEnumerated("Enumerated", i % 8, 8, "Bench");
      else
        p->SetupContinuous("Continuous", 0.5, 0.0, 127.0, 0.01, "Bench");
      p->SetFromNormalised((i % 101) / 100.0);
      params.Append(p);
    }
  }
  ~Table() { params.DeleteAll(); }
  PointerList<IParameter> params;
};

void Serialise(const Table& table, IStateChunk& chunk)
{
  for (int i = 0; i < kParameterCount; ++i)
    chunk.PutDouble(table.params.Get(i)->Value());
}

// Applies the block only when all of it is present.
int Unserialise(Table& table, const IStateChunk& chunk, int pos)
{
  if (!chunk.CanRead(pos, int64_t(kParameterCount) * 8))
    return -1;
  for (int i = 0; i < kParameterCount; ++i)
  {
    double v = 0.0;
    pos = chunk.GetDouble(v, pos);
    table.params.Get(i)->SetClamped(v);
  }
  return pos;
}

void BM_SerialiseParameters(benchmark::State& state)
{
  Table table;
  IStateChunk chunk;
  for (auto _ : state)
  {
    chunk.Clear();
    Serialise(table, chunk);
    benchmark::DoNotOptimize(chunk.Data());
  }
  state.SetItemsProcessed(state.iterations() * kParameterCount);
}
BENCHMARK(BM_SerialiseParameters)->Unit(benchmark::kMicrosecond);

void BM_SerialiseParametersFreshChunk(benchmark::State& state)
{
  Table table;
  for (auto _ : state)
  {
    IStateChunk chunk;
    Serialise(table, chunk);
    benchmark::DoNotOptimize(chunk.Data());
  }
  state.SetItemsProcessed(state.iterations() * kParameterCount);
}
BENCHMARK(BM_SerialiseParametersFreshChunk)->Unit(benchmark::kMicrosecond);

void BM_UnserialiseParameters(benchmark::State& state)
{
  Table table;
  IStateChunk chunk;
  Serialise(table, chunk);
  for (auto _ : state)
  {
    const int pos = Unserialise(table, chunk, 0);
    if (pos != chunk.Size())
      state.SkipWithError("block did not read back whole");
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(state.iterations() * kParameterCount);
}
BENCHMARK(BM_UnserialiseParameters)->Unit(benchmark::kMicrosecond);
}  // namespace
