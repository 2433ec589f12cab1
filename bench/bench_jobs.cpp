// The transfer jobs on the real clock: the MIDI clock's tick timing at 120 bpm with the CPU time it
// takes (the whole program's, and the clock thread's own: goal 0.3 % of a core), and a 128-program bank write
// and bank request over the loopback back end at the shortest SysEx delay, each beside the time its pacing
// alone demands.
#include "config/ConfigReader.h"
#include "framework/plugin/IMidiPorts.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/ProgramDump.h"
#include "link/transfer/TransferWorker.h"
#include "platform/clock/RealClock.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/support/TransferHostStub.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kSynth = "Bench synth";
constexpr int kBankSlots = 128;
constexpr int kShortestDelayMs = 50;

int64_t SteadyNs()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The stub with the real clock, a loopback output port and a synthesizer that answers memory
// requests with an initial program at once.
class BenchHost : public TransferHostStub
{
public:
  BenchHost() : backend(std::make_shared<LoopbackMidiBackend>()), ports(backend)
  {
    backend->AddDestinationPort(kSynth);
    int index = 1;
    ports.SelectMidiOutputPort(index, kSynth);
    midiOutputReady = 1;
    config.ReadUiText(
        R"(<uiconfig><valueLists><list name="tempoValues"><value>120</value></list></valueLists></uiconfig>)");
    SetParamInEditor(kGlobalTempo, 0);
    SetParamInEditor(kOverrideTempo, 0);
    SetParamInEditor(kLibSyncTimer, 0);
  }
  Clock& LinkClock() override { return realClock; }
  ConfigReader* LinkConfig() override { return &config; }
  bool DeviceSendShort(const IMidiMessage& message) override
  {
    const bool sent = ports.SendMidiToDevice(message) == MidiSendStatus::kSent;
    if (message.status == 0xF8)
    {
      // The clock thread's own CPU time at each tick: its share of a core, apart from this program.
      timespec cpu{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
      tickCpuNs.push_back(int64_t(cpu.tv_sec) * 1'000'000'000 + cpu.tv_nsec);
      tickNs.push_back(SteadyNs());
      if (int(tickNs.size()) >= ticksWanted) worker->clockRun = 0;
    }
    return sent;
  }
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override
  {
    const bool sent = ports.SendSysExToDevice(bytes, length) == MidiSendStatus::kSent;
    ++sysexSent;
    if (length == 11 && bytes[7] == kSysExMemoryRequest)
      for (const auto& answer : BuildInitProgram(SysExAddress{0, 15}, bytes[8], bytes[9]))
        worker->ReceiveSysExMessage(answer.data(), answer.size(), true);
    return sent;
  }

  std::shared_ptr<LoopbackMidiBackend> backend;
  IMidiPorts ports;
  RealClock realClock;
  ConfigReader config;
  TransferWorker* worker = nullptr;
  std::vector<int64_t> tickNs;
  std::vector<int64_t> tickCpuNs;
  int ticksWanted = 0;
  int sysexSent = 0;
};

// Waits for a lane without taking a core from the job being measured.
void WaitIdle(TransferWorker& worker, TransferWorker::Lane lane)
{
  while (!worker.LaneIdle(lane))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

double Percentile(std::vector<double> values, double p)
{
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[size_t(p * double(values.size() - 1))];
}

void ClockAt120Bpm(benchmark::State& state)
{
  constexpr int kTicks = 240; // five seconds
  constexpr double kIntervalNs = 20'833'333.0;
  for (auto _ : state)
  {
    BenchHost host;
    TransferWorker worker(host, host);
    host.worker = &worker;
    host.sendClock = 1;
    host.ticksWanted = kTicks;
    host.tickNs.reserve(kTicks + 1);
    host.tickCpuNs.reserve(kTicks + 1);
    worker.clockRun = 1;
    const std::clock_t cpuStart = std::clock();
    const int64_t wallStart = SteadyNs();
    LinkJob job;
    job.code = LinkJobCode::kMidiClock;
    worker.Post(job);
    WaitIdle(worker, TransferWorker::kClockLane);
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wallSeconds = double(SteadyNs() - wallStart) / 1e9;
    std::vector<double> errorsMs;
    for (size_t k = 1; k < host.tickNs.size(); ++k)
      errorsMs.push_back(std::abs(double(host.tickNs[k] - host.tickNs[k - 1]) - kIntervalNs) / 1e6);
    state.counters["p50_error_ms"] = Percentile(errorsMs, 0.5);
    state.counters["p99_error_ms"] = Percentile(errorsMs, 0.99);
    state.counters["cpu_percent_of_core"] = 100.0 * cpuSeconds / wallSeconds;
    if (host.tickNs.size() > 1)
      state.counters["clock_thread_percent_of_core"] =
          100.0 * double(host.tickCpuNs.back() - host.tickCpuNs.front()) /
          double(host.tickNs.back() - host.tickNs.front());
  }
}
BENCHMARK(ClockAt120Bpm)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void ProgramBankWrite(benchmark::State& state)
{
  for (auto _ : state)
  {
    state.PauseTiming();
    BenchHost host;
    TransferWorker worker(host, host);
    host.worker = &worker;
    for (int n = 0; n < kBankSlots; ++n)
    {
      LibrarianSlot slot;
      for (auto& m : BuildInitProgram(SysExAddress{0, 15}, 5, n))
        slot.AddMessage(std::move(m));
      host.librarian.PutSlot(0, n, slot);
    }
    LinkJob job;
    job.code = LinkJobCode::kWriteBank;
    state.ResumeTiming();
    worker.Post(job);
    WaitIdle(worker, TransferWorker::kJobsLane);
    state.counters["messages"] = host.sysexSent;
  }
  // All Notes Off's 50 ms, then one delay after each of the 256 messages.
  state.counters["pacing_s"] = (50 + 2 * kBankSlots * kShortestDelayMs) / 1000.0;
}
BENCHMARK(ProgramBankWrite)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void ProgramBankRequest(benchmark::State& state)
{
  for (auto _ : state)
  {
    BenchHost host;
    TransferWorker worker(host, host);
    host.worker = &worker;
    worker.RequestProgramBank(0);
    WaitIdle(worker, TransferWorker::kJobsLane);
    state.counters["requests"] = host.sysexSent;
  }
  // Per slot one poll of the delay and a quarter delay after it.
  state.counters["pacing_s"] = kBankSlots * (kShortestDelayMs + kShortestDelayMs / 4) / 1000.0;
}
BENCHMARK(ProgramBankRequest)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
