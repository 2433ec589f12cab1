// Editor frames at normal size (1500 x 757) and parameter pushes. BM_Memcpy copies one frame's bytes
// in the same program, so every figure reads as a ratio to it (the frames also report it as x_memcpy):
// - BM_FrameAllKnobsDirty: one frame after 300 knobs all changed value (also against a memcpy made
//   after each frame: x_memcpy_interleaved; goal at most 3).
// - BM_FrameDirtyAmong3000/1 and /2: one frame after one control, or two at opposite corners,
//   changed value among 3,000.
// - BM_PushAllParameters/N: every parameter (5866) pushed to an editor of N controls in layer groups.
#include "framework/controls/IKnobMultiControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "gfx/Gfx_MemBitmap.h"
#include "tests/support/HostlessPlug.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
constexpr int kW = 1500, kH = 757;

// The editor with an opaque background and knob strips of 64 frames: image 900 of 40 x 40 frames,
// image 901 of 20 x 12 frames; the knob pixels carry every alpha.
class BenchGraphics : public IGraphics
{
public:
  explicit BenchGraphics(IEffectBase* plug) : IGraphics(plug, kW, kH) {}
  Gfx_IBitmap* LoadBitmapResource(int id, const char*) override
  {
    const bool background = id == kBackgroundImageId;
    const int w = background ? kW : id == 900 ? 40 : 20;
    const int h = background ? kH : (id == 900 ? 40 : 12) * 64;
    auto* b = new Gfx_MemBitmap(w, h);
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x)
        b->Row(y)[x] = ((x * 7 + y * 3) & 0xFF) << 24 | 0x336699u;
    if (background)
      for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x)
          b->Row(y)[x] |= 0xFF000000u;
    return b;
  }
};

// Knobs in a grid over the window: `count` knobs of the strip, the first `inGroups` of them in the
// flat list and the rest spread over eight panels with one page each.
struct Editor
{
  HostlessPlug plug;
  BenchGraphics* g = new BenchGraphics(&plug);
  std::vector<IKnobMultiControl*> knobs;

  Editor(int count, int columns, int pitchX, int pitchY, int image)
  {
    g->AttachBackgroundFrame(1.0);
    const IBitmapStrip strip = g->LoadScaledBitmap(image, "knob.png", 1.0, 64);
    LayerGroup* pages[8];
    for (int p = 0; p < 8; ++p)
    {
      auto* panel = new LayerGroup(uint32_t(p + 1), "panel");
      pages[p] = new LayerGroup(uint32_t(10 + p), "page");
      panel->AddChildGroup(pages[p]);
      panel->SetCurrentPage(false, 10 + p);
      g->AddLayerGroup(panel);
      panel->Hide(false);
    }
    for (int i = 0; i < count; ++i)
    {
      auto* knob =
          new IKnobMultiControl(&plug, 4 + (i % columns) * pitchX, 4 + (i / columns) * pitchY, i, strip);
      knobs.push_back(knob);
      if (i < count / 4)
        g->AddControl(knob);
      else
        pages[i % 8]->AddControl(knob);
    }
    plug.AttachEditor(g); // sends every value, makes the draw bitmaps; the plug-in owns the editor
    while (g->DrawFrame())
    {
    }
  }
};

// One memcpy of the frame's bytes in microseconds: the median of 51 copies, measured once.
double MemcpyMicros()
{
  static const double micros = []
  {
    const std::size_t bytes = std::size_t(kW) * kH * 4;
    std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2);
    std::vector<double> times;
    for (int i = 0; i < 51; ++i)
    {
      const auto start = std::chrono::steady_clock::now();
      std::memcpy(b.data(), a.data(), bytes);
      benchmark::DoNotOptimize(b.data());
      times.push_back(
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + 25, times.end());
    return times[25];
  }();
  return micros;
}

// Times the loop itself and reports each iteration as a multiple of one memcpy of the frame.
class MemcpyRatio
{
public:
  explicit MemcpyRatio(benchmark::State& state) : mState(state), mStart(std::chrono::steady_clock::now()) {}
  ~MemcpyRatio()
  {
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - mStart).count();
    if (mState.iterations() > 0)
      mState.counters["x_memcpy"] = micros / double(mState.iterations()) / MemcpyMicros();
  }

private:
  benchmark::State& mState;
  std::chrono::steady_clock::time_point mStart;
};

void BM_Memcpy(benchmark::State& state)
{
  const std::size_t bytes = std::size_t(kW) * kH * 4;
  std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state)
  {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

void BM_FrameAllKnobsDirty(benchmark::State& state)
{
  Editor e(300, 25, 58, 60, 900);
  int step = 0;
  // Each frame is timed beside a memcpy of the frame's bytes made right after it, so that both
  // see the same load of the machine: "x_memcpy_interleaved" is their ratio.
  const std::size_t bytes = std::size_t(kW) * kH * 4;
  std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2);
  double frameMicros = 0, copyMicros = 0;
  using Clock = std::chrono::steady_clock;
  MemcpyMicros();
  {
    MemcpyRatio ratio(state);
    for (auto _ : state)
    {
      ++step;
      Clock::time_point t0 = Clock::now();
      for (int i = 0; i < 300; ++i)
        e.g->SyncParameterToControls(e.knobs[i]->ParamIdx(), ((i + step) % 64) / 63.0, true);
      benchmark::DoNotOptimize(e.g->DrawFrame());
      Clock::time_point t1 = Clock::now();
      frameMicros += std::chrono::duration<double, std::micro>(t1 - t0).count();
      t0 = Clock::now();
      std::memcpy(b.data(), a.data(), bytes);
      benchmark::DoNotOptimize(b.data());
      t1 = Clock::now();
      copyMicros += std::chrono::duration<double, std::micro>(t1 - t0).count();
    }
  }
  if (copyMicros > 0) state.counters["x_memcpy_interleaved"] = frameMicros / copyMicros;
}
BENCHMARK(BM_FrameAllKnobsDirty)->Unit(benchmark::kMicrosecond);

// Argument: 1 (the top-left control) or 2 (top-left and bottom-right).
void BM_FrameDirtyAmong3000(benchmark::State& state)
{
  Editor e(3000, 60, 25, 15, 901);
  const int dirty[2] = {0, 2999};
  int step = 0;
  MemcpyMicros();
  {
    MemcpyRatio ratio(state);
    for (auto _ : state)
    {
      ++step;
      for (int i = 0; i < state.range(0); ++i)
        e.g->SyncParameterToControls(e.knobs[dirty[i]]->ParamIdx(), (step % 64) / 63.0, true);
      benchmark::DoNotOptimize(e.g->DrawFrame());
    }
  }
}
BENCHMARK(BM_FrameDirtyAmong3000)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Argument: the number of controls.
void BM_PushAllParameters(benchmark::State& state)
{
  const int n = int(state.range(0));
  Editor e(n, 60, 25, 15, 901);
  const int params = e.plug.NumParameters();
  int step = 0;
  for (auto _ : state)
  {
    ++step;
    for (int p = 0; p < params; ++p)
      e.g->SyncParameterToControls(p, ((p + step) % 64) / 63.0, true);
  }
  state.SetItemsProcessed(state.iterations() * params);
}
BENCHMARK(BM_PushAllParameters)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMicrosecond);
} // namespace
