// Parsing and building a bank of 128 programs and one of 128 performances, beside a memcpy of the
// same bytes: what one bank transfer costs the editor over merely moving its bytes.
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "tests/support/DumpTestPlug.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace
{
constexpr int kBankSlots = 128;
using Bank = std::vector<std::vector<uint8_t>>;

const std::vector<DumpTable> kProgramTables = {{ProgramDumpFields(), true}, {ProgramDumpBFields(), true}};
const std::vector<DumpTable> kPerformanceTables = {{PerformanceCommonFields(), false},
                                                   {PerformancePartFields(), true},
                                                   {PerformanceVocoderFields(), false},
                                                   {PerformancePartsFields(), true}};

Bank ProgramBank(DumpTestPlug& plug)
{
  std::mt19937 random(1);
  Bank bank;
  for (int slot = 0; slot < kBankSlots; ++slot)
  {
    plug.Randomise(random, kProgramTables);
    bank.push_back(BuildProgramDump(plug, slot % kPartCount, {0, 15}));
    bank.push_back(BuildProgramDumpB(plug, slot % kPartCount, {0, 15}));
  }
  return bank;
}

Bank PerformanceBank(DumpTestPlug& plug)
{
  std::mt19937 random(2);
  Bank bank;
  for (int slot = 0; slot < kBankSlots; ++slot)
  {
    plug.Randomise(random, kPerformanceTables);
    bank.push_back(BuildPerformanceCommon(plug, {0, 15}));
    bank.push_back(BuildPerformanceType1B(plug, {0, 15}));
    bank.push_back(BuildPerformanceParts(plug, {0, 15}));
  }
  return bank;
}

int64_t BankBytes(const Bank& bank)
{
  int64_t n = 0;
  for (const auto& m : bank)
    n += int64_t(m.size());
  return n;
}

using Parser = DumpResult (*)(IEffectBase&, const uint8_t*, size_t, const DumpContext&);
using Builder = std::vector<uint8_t> (*)(DumpTestPlug&, int slot);

// One parser per message of a slot, in slot order.
void ParseBank(benchmark::State& state, DumpTestPlug& plug, const Bank& bank,
               std::initializer_list<Parser> parsers)
{
  const DumpContext context;
  const std::vector<Parser> order(parsers);
  for (auto _ : state)
    for (size_t i = 0; i < bank.size(); ++i)
      benchmark::DoNotOptimize(order[i % order.size()](plug, bank[i].data(), bank[i].size(), context));
  state.SetBytesProcessed(state.iterations() * BankBytes(bank));
}

void BuildBank(benchmark::State& state, const Bank& bank, DumpTestPlug& plug,
               std::initializer_list<Builder> builders)
{
  for (auto _ : state)
    for (int slot = 0; slot < kBankSlots; ++slot)
      for (Builder build : builders)
        benchmark::DoNotOptimize(build(plug, slot));
  state.SetBytesProcessed(state.iterations() * BankBytes(bank));
}

void BM_ProgramBankParse(benchmark::State& state)
{
  DumpTestPlug plug;
  ParseBank(state, plug, ProgramBank(plug), {ParseProgramDump, ParseProgramDumpB});
}

void BM_ProgramBankBuild(benchmark::State& state)
{
  DumpTestPlug plug;
  BuildBank(state, ProgramBank(plug), plug,
            {[](DumpTestPlug& p, int slot) {
               return BuildProgramDump(p, slot % kPartCount, {0, 15});
             },
             [](DumpTestPlug& p, int slot) {
               return BuildProgramDumpB(p, slot % kPartCount, {0, 15});
             }});
}

void BM_PerformanceBankParse(benchmark::State& state)
{
  DumpTestPlug plug;
  ParseBank(state, plug, PerformanceBank(plug),
            {ParsePerformanceCommon, ParsePerformanceType1B, ParsePerformanceParts});
}

void BM_PerformanceBankBuild(benchmark::State& state)
{
  DumpTestPlug plug;
  BuildBank(state, PerformanceBank(plug), plug,
            {[](DumpTestPlug& p, int) {
               return BuildPerformanceCommon(p, {0, 15});
             },
             [](DumpTestPlug& p, int) {
               return BuildPerformanceType1B(p, {0, 15});
             },
             [](DumpTestPlug& p, int) {
               return BuildPerformanceParts(p, {0, 15});
             }});
}

// The floor: copying the bank's messages, each into a buffer of its own.
void Copy(benchmark::State& state, const Bank& bank)
{
  std::vector<std::vector<uint8_t>> copies;
  for (const auto& m : bank)
    copies.emplace_back(m.size());
  for (auto _ : state)
  {
    for (size_t i = 0; i < bank.size(); ++i)
      std::memcpy(copies[i].data(), bank[i].data(), bank[i].size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * BankBytes(bank));
}

void BM_ProgramBankMemcpy(benchmark::State& state)
{
  DumpTestPlug plug;
  Copy(state, ProgramBank(plug));
}

void BM_PerformanceBankMemcpy(benchmark::State& state)
{
  DumpTestPlug plug;
  Copy(state, PerformanceBank(plug));
}
} // namespace

BENCHMARK(BM_ProgramBankParse);
BENCHMARK(BM_ProgramBankBuild);
BENCHMARK(BM_ProgramBankMemcpy);
BENCHMARK(BM_PerformanceBankParse);
BENCHMARK(BM_PerformanceBankBuild);
BENCHMARK(BM_PerformanceBankMemcpy);
