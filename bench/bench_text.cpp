// Drawing a 64-character line a thousand times from a warm glyph cache.

#include <benchmark/benchmark.h>

#include <string>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/FreeTypeRasteriser.h"

static void BM_DrawLine(benchmark::State& state)
{
  FreeTypeRasteriser ft;
  Gfx_CachedFont font;
  font.AttachFont(ft.OpenFont(TextFontRequest("Consolas", static_cast<int>(state.range(0)))).release(),
                  FontOwnsHandle);
  font.SetTextColour(0xFF202020);
  const std::string line = "Osc 1 Pulsewidth 64 | Filter 1 Cutoff 127 | Env 2 Attack 0 \xC3\xA9\xC3\xA8 ok";
  Gfx_MemBitmap bmp(1200, 40);
  Gfx_Rect r{4, 4, 1196, 36};
  font.DrawString(&bmp, line.c_str(), -1, &r, DT_VCENTER | DT_SINGLELINE); // warm the cache
  for (auto _ : state)
  {
    for (int i = 0; i < 1000; ++i)
      benchmark::DoNotOptimize(font.DrawString(&bmp, line.c_str(), -1, &r, DT_VCENTER | DT_SINGLELINE));
  }
  state.SetItemsProcessed(state.iterations() * 1000 * 64);
}
BENCHMARK(BM_DrawLine)->Arg(12)->Arg(16)->Unit(benchmark::kMillisecond);
