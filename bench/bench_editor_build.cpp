// The whole editor: building it from the embedded documents at normal size (the plug-in as a host
// creates it), and pushing every parameter value to editors of 100, 1,000 and 3,000 controls.
#include "editor/VELK.h"
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "tests/support/HostlessPlug.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace
{
// An empty data folder, so that no UI settings or log of the machine take part.
void UseEmptyDataFolder()
{
  static const std::filesystem::path folder = []
  {
    auto p = std::filesystem::temp_directory_path() / "velk-bench-editor-build";
    std::filesystem::create_directories(p);
    return p;
  }();
  setenv("VELK_DATA_DIR", folder.c_str(), 1);
}

void BM_BuildWholeEditor(benchmark::State& state)
{
  UseEmptyDataFolder();
  for (auto _ : state)
  {
    VELK plug(nullptr);
    benchmark::DoNotOptimize(plug.Editor());
  }
}
BENCHMARK(BM_BuildWholeEditor)->Unit(benchmark::kMillisecond);

class PlainControl : public IControl
{
public:
  PlainControl(IEffectBase* plug, int paramIdx) : IControl(plug, IRectangle(0, 0, 10, 10), paramIdx) {}
  bool Draw(IGraphics*) override { return true; }
};

// All 5,866 parameter values to an editor of n controls, each bound to its own parameter.
void BM_PushAllParameters(benchmark::State& state)
{
  HostlessPlug plug;
  auto* graphics = new IGraphics(&plug, 1500, 757);
  const int n = int(state.range(0));
  for (int i = 0; i < n; ++i)
    graphics->AddControl(new PlainControl(&plug, i % plug.NumParameters()));
  plug.AttachEditor(graphics);
  for (auto _ : state)
    plug.PushParametersToEditor();
  state.SetComplexityN(n);
}
BENCHMARK(BM_PushAllParameters)->Arg(100)->Arg(1000)->Arg(3000)->Complexity()->Unit(benchmark::kMillisecond);
} // namespace
