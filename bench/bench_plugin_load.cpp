// What loading the plug-in costs a host, each figure beside a reference measured in the same run:
// - BM_LoadToOpen: a fresh process loads the built plug-in, calls VSTPluginMain and effOpen; the CPU
//   time (every thread) and the resident memory this added, beside the same for the test host's
//   smallest plug-in (Echo.so, the "empty shared object"). Goals: at most 25 ms of CPU, 20 MB.
// - BM_FirstEditorDraw: in a fresh process, the plug-in built, then its whole editor window drawn
//   once (what the first open shows, decoding the images it needs), then a second instance's the
//   same way; "x_memcpy" is the first draw over one memcpy of the frame. Goal: at most 150 ms.
// - BM_IdleWakeups: the plug-in loaded and open with nothing to do; the wake-ups per second of all
//   its threads, beside those of this process's own threads over the same time (the idle process).
//   Goal: at most 20 a second.
// (The MIDI clock's share of a core at 120 bpm: bench_jobs, ClockAt120Bpm.)
//
//     build/bench_plugin_load
//     VELK_BENCH_PLUGIN=other/velk_editor.so build/bench_plugin_load   # another build's plug-in
//     (BM_FirstEditorDraw always measures this build: it is linked in)
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "tools/vsthost/VstHost.h"

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
void UseEmptyDataFolder()
{
  static const std::filesystem::path folder = []
  {
    auto p = std::filesystem::temp_directory_path() / "velk-bench-plugin-load";
    std::filesystem::create_directories(p);
    return p;
  }();
  setenv("VELK_DATA_DIR", folder.c_str(), 1);
}

// The plug-in measured: this build's, or another build's named by VELK_BENCH_PLUGIN (a before and
// after comparison on the same machine).
std::string PluginPath()
{
  const char* other = std::getenv("VELK_BENCH_PLUGIN");
  return other && *other ? other : VELK_PLUGIN_PATH;
}

std::string EchoPath()
{
  return (std::filesystem::path(VELK_PLUGIN_PATH).parent_path() / "tools/vsthost/fixtures/Echo.so").string();
}

double CpuMs()
{
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double ResidentMb()
{
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Runs the function in a fresh process and answers the numbers it wrote (empty on failure).
template <class F> std::vector<double> InChild(F measure)
{
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0)
  {
    close(fds[0]);
    const std::vector<double> values = measure();
    const ssize_t n = write(fds[1], values.data(), values.size() * sizeof(double));
    _exit(n == ssize_t(values.size() * sizeof(double)) ? 0 : 1); // no teardown: only the load is measured
  }
  close(fds[1]);
  std::vector<double> values;
  double v = 0;
  while (read(fds[0], &v, sizeof v) == ssize_t(sizeof v))
    values.push_back(v);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return values;
}

// CPU milliseconds and megabytes from before dlopen to effOpen answered.
std::vector<double> LoadToOpen(const std::string& path)
{
  const double cpu = CpuMs(), rss = ResidentMb();
  vsthost::VstHost host;
  if (!host.Load(path) || host.Dispatch(effOpen) < 0) return {};
  return {CpuMs() - cpu, ResidentMb() - rss};
}

void BM_LoadToOpen(benchmark::State& state)
{
  UseEmptyDataFolder();
  double cpu = 0, rss = 0, refCpu = 0, refRss = 0;
  for (auto _ : state)
  {
    const std::vector<double> velk = InChild([] { return LoadToOpen(PluginPath()); });
    const std::vector<double> echo = InChild([] { return LoadToOpen(EchoPath()); });
    if (velk.size() != 2 || echo.size() != 2)
    {
      state.SkipWithError("a plug-in did not load");
      return;
    }
    cpu += velk[0], rss += velk[1], refCpu += echo[0], refRss += echo[1];
  }
  const double n = double(state.iterations());
  state.counters["cpu_ms"] = cpu / n;
  state.counters["ref_cpu_ms"] = refCpu / n;
  state.counters["added_mb"] = rss / n;
  state.counters["ref_added_mb"] = refRss / n;
  state.counters["x_ref_cpu"] = refCpu > 0 ? cpu / refCpu : 0;
}
BENCHMARK(BM_LoadToOpen)->Iterations(5)->Unit(benchmark::kMillisecond);

double DrawWholeEditorMs(VELK& plug)
{
  auto* g = dynamic_cast<IGraphics*>(plug.Editor());
  if (!g) return -1;
  const auto start = std::chrono::steady_clock::now();
  g->CreateDrawBitmaps();
  IRectangle all(0, 0, g->Width(), g->Height());
  g->DrawDirty(&all);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double MemcpyMs()
{
  const std::size_t bytes = std::size_t(1500) * 757 * 4;
  std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2);
  double best = 1e9;
  for (int i = 0; i < 21; ++i)
  {
    const auto start = std::chrono::steady_clock::now();
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    best = std::min(
        best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

void BM_FirstEditorDraw(benchmark::State& state)
{
  UseEmptyDataFolder();
  double first = 0, second = 0, copy = 0;
  for (auto _ : state)
  {
    const std::vector<double> v = InChild(
        []
        {
          VELK one(nullptr);
          const double a = DrawWholeEditorMs(one);
          VELK two(nullptr);
          const double b = DrawWholeEditorMs(two);
          return std::vector<double>{a, b, MemcpyMs()};
        });
    if (v.size() != 3 || v[0] < 0)
    {
      state.SkipWithError("no editor");
      return;
    }
    first += v[0], second += v[1], copy += v[2];
  }
  const double n = double(state.iterations());
  state.counters["first_ms"] = first / n;
  state.counters["second_instance_ms"] = second / n;
  state.counters["x_memcpy"] = copy > 0 ? first / copy : 0;
}
BENCHMARK(BM_FirstEditorDraw)->Iterations(3)->Unit(benchmark::kMillisecond);

// Context switches of every thread of this process but the calling one.
long OtherThreadsSwitches()
{
  long total = 0;
  const std::string self = std::to_string(gettid());
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
  {
    if (task.path().filename() == self) continue;
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  return total;
}

double WakeupsPerSecond(double seconds)
{
  const long before = OtherThreadsSwitches();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return double(OtherThreadsSwitches() - before) / seconds;
}

void BM_IdleWakeups(benchmark::State& state)
{
  UseEmptyDataFolder();
  double velk = 0, idle = 0;
  for (auto _ : state)
  {
    const std::vector<double> v = InChild(
        []
        {
          const double reference = WakeupsPerSecond(2.0);
          vsthost::VstHost host;
          if (!host.Load(PluginPath()) || !host.Open()) return std::vector<double>{};
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          return std::vector<double>{WakeupsPerSecond(3.0), reference};
        });
    if (v.size() != 2)
    {
      state.SkipWithError("the plug-in did not load");
      return;
    }
    velk += v[0], idle += v[1];
  }
  const double n = double(state.iterations());
  state.counters["wakeups_per_s"] = velk / n;
  state.counters["ref_idle_wakeups_per_s"] = idle / n;
}
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace
