// The transfer worker's two hot paths: a post handed to a waiting thread and run to its end (what
// a request costs before any MIDI moves), and the receive dispatcher filling a bank of 128 program
// slots of the librarian on the MIDI input thread, beside parsing the same messages directly.
#include "link/dumps/ProgramDump.h"
#include "link/transfer/TransferWorker.h"
#include "tests/support/TransferHostStub.h"

#include <benchmark/benchmark.h>

#include <random>
#include <thread>
#include <vector>

namespace
{
constexpr int kBankSlots = 128;
const SysExAddress kAddress{0, 15};

std::vector<std::vector<uint8_t>> ProgramBank(DumpTestPlug& plug)
{
  std::mt19937 random(1);
  const std::vector<DumpTable> tables = {{ProgramDumpFields(), true}, {ProgramDumpBFields(), true}};
  std::vector<std::vector<uint8_t>> bank;
  for (int slot = 0; slot < kBankSlots; ++slot)
  {
    plug.Randomise(random, tables);
    bank.push_back(BuildProgramDump(plug, slot % kPartCount, kAddress));
    bank.push_back(BuildProgramDumpB(plug, slot % kPartCount, kAddress));
  }
  return bank;
}

void PostAndRun(benchmark::State& state)
{
  TransferHostStub host;
  TransferWorker worker(host, host);
  for (auto _ : state)
  {
    if (!worker.PostBusyPulse()) state.SkipWithError("refused");
    while (!worker.LaneIdle(TransferWorker::kJobsLane))
      std::this_thread::yield();
  }
}
BENCHMARK(PostAndRun)->UseRealTime();

void ReceiveProgramBankIntoLibrarian(benchmark::State& state)
{
  TransferHostStub host;
  TransferWorker worker(host, host);
  const auto bank = ProgramBank(host.plug);
  for (auto _ : state)
  {
    for (int slot = 0; slot < kBankSlots; ++slot)
    {
      host.librarian.selectedLeftSlot = slot;
      worker.ArmReceive(true);
      worker.ReceiveSysExMessage(bank[size_t(2 * slot)].data(), bank[size_t(2 * slot)].size(), true);
      worker.ReceiveSysExMessage(bank[size_t(2 * slot + 1)].data(), bank[size_t(2 * slot + 1)].size(), true);
    }
  }
  state.SetItemsProcessed(state.iterations() * kBankSlots);
}
BENCHMARK(ReceiveProgramBankIntoLibrarian);

void ReceiveProgramBankIntoEditor(benchmark::State& state)
{
  TransferHostStub host;
  TransferWorker worker(host, host);
  const auto bank = ProgramBank(host.plug);
  worker.ArmReceive(false);
  for (auto _ : state)
    for (const auto& m : bank)
      worker.ReceiveSysExMessage(m.data(), m.size(), true);
  state.SetItemsProcessed(state.iterations() * kBankSlots);
}
BENCHMARK(ReceiveProgramBankIntoEditor);

void ParseProgramBankDirectly(benchmark::State& state)
{
  DumpTestPlug plug;
  const auto bank = ProgramBank(plug);
  for (auto _ : state)
    for (size_t i = 0; i < bank.size(); i += 2)
    {
      benchmark::DoNotOptimize(ParseProgramDump(plug, bank[i].data(), bank[i].size(), DumpContext{}));
      benchmark::DoNotOptimize(
          ParseProgramDumpB(plug, bank[i + 1].data(), bank[i + 1].size(), DumpContext{}));
    }
  state.SetItemsProcessed(state.iterations() * kBankSlots);
}
BENCHMARK(ParseProgramBankDirectly);
} // namespace

BENCHMARK_MAIN();
