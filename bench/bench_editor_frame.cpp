// One editor frame of 300 knobs at normal size: every knob dirty, and one knob dirty.
#include "framework/plugin/IEffectBase.h"
#include "framework/graphics/IGraphics.h"
#include "framework/controls/IKnobMultiControl.h"
#include "gfx/Gfx_MemBitmap.h"

#include <benchmark/benchmark.h>

namespace
{
class BenchPlug : public IEffectBase
{
public:
  BenchPlug() { initialize(); }
  intptr_t BeginParamEdit(int) override { return 0; }
  intptr_t AutomateParam(int, double) override { return 0; }
  intptr_t EndParamEdit(int) override { return 0; }
  intptr_t RefreshHostDisplay() override { return 0; }
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int* n, int* d) override { *n = *d = 4; }
  void HostTimeInfo(HostTransportInfo*) override {}
  void UpdateEditorSize() override {}
  bool SendMidiToHost(IMidiMessage*) override { return false; }
};

// The editor at 1500 x 757 with a background and knob strips of 64 frames of 40 x 40.
class BenchGraphics : public IGraphics
{
public:
  explicit BenchGraphics(IEffectBase* plug) : IGraphics(plug, 1500, 757) {}
  Gfx_IBitmap* LoadBitmapResource(int id, const char*) override
  {
    const bool background = id == kBackgroundImageId;
    auto* b = new Gfx_MemBitmap(background ? 1500 : 40, background ? 757 : 40 * 64);
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

struct Editor
{
  BenchPlug plug;
  BenchGraphics* g = new BenchGraphics(&plug);
  IKnobMultiControl* knobs[300] = {};

  Editor()
  {
    g->AttachBackgroundFrame(1.0);
    const IBitmapStrip strip = g->LoadScaledBitmap(900, "knob.png", 1.0, 64);
    for (int i = 0; i < 300; ++i)
    {
      knobs[i] = new IKnobMultiControl(&plug, 20 + (i % 25) * 58, 20 + (i / 25) * 60, i, strip);
      g->AddControl(knobs[i]);
    }
    plug.AttachEditor(g); // sends every value, makes the draw bitmaps; the plug-in owns the editor
    g->DrawFrame();
    g->DrawFrame();
  }
};

void BM_FrameAllKnobsDirty(benchmark::State& state)
{
  Editor e;
  int step = 0;
  for (auto _ : state)
  {
    ++step;
    for (int i = 0; i < 300; ++i)
      e.g->SyncParameterToControls(i, ((i + step) % 64) / 63.0, true);
    benchmark::DoNotOptimize(e.g->DrawFrame());
    e.g->DrawFrame(); // the second repaint of the dirty flag
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_FrameAllKnobsDirty)->Unit(benchmark::kMicrosecond);

void BM_FrameOneKnobDirty(benchmark::State& state)
{
  Editor e;
  int step = 0;
  for (auto _ : state)
  {
    ++step;
    e.g->SyncParameterToControls(137, (step % 64) / 63.0, true);
    benchmark::DoNotOptimize(e.g->DrawFrame());
    e.g->DrawFrame();
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_FrameOneKnobDirty)->Unit(benchmark::kMicrosecond);
} // namespace
