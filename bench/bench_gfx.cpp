// Graphics library throughput at the editor's full size (1500 x 757). Each benchmark reports the
// bytes it writes per second; BM_Memcpy copies the same bytes, so ratios read off one run.
#include <benchmark/benchmark.h>

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_PNG.h"
#include "gfx/Gfx_StretchBlit.h"

namespace
{
constexpr int kW = 1500, kH = 757;
constexpr std::int64_t kBytes = std::int64_t(kW) * kH * 4;

// A picture with varied colour and alpha, so no blend mode takes a trivial path.
Gfx_MemBitmap Picture(int w, int h)
{
  Gfx_MemBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.Row(y)[x] = std::uint32_t((x * 7 + y) & 0xFF) << 24 | std::uint32_t((x * 3) & 0xFF) << 16 |
                    std::uint32_t((y * 5) & 0xFF) << 8 | std::uint32_t((x ^ y) & 0xFF);
  return b;
}

void BM_Memcpy(benchmark::State& state)
{
  std::vector<std::uint8_t> a(kBytes, 1), b(kBytes, 2);
  for (auto _ : state)
  {
    std::memcpy(b.data(), a.data(), kBytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_Memcpy);

// Arguments: mode word, alpha in thousandths.
void BM_Blit(benchmark::State& state)
{
  const Gfx_MemBitmap src = Picture(kW, kH);
  Gfx_MemBitmap dst = Picture(kW, kH);
  const int mode = int(state.range(0));
  const float alpha = float(state.range(1)) / 1000.0f;
  for (auto _ : state)
  {
    Gfx_BlitBitmap(&dst, &src, 0, 0, nullptr, alpha, mode);
    benchmark::DoNotOptimize(dst.PixelData());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_Blit)
    ->ArgNames({"mode", "alpha"})
    ->Args({BlendCopy, 1000})
    ->Args({BlendCopy, 500})
    ->Args({BlendCopy, 700})
    ->Args({BlendAdd, 700})
    ->Args({BlendDodge, 700})
    ->Args({BlendMultiply, 700})
    ->Args({BlendOverlay, 700})
    ->Args({BlendHSVAdjust, 700})
    ->Args({BlendSourceAlpha | BlendCopy, 1000})
    ->Args({BlendSourceAlpha | BlendCopy, 700})
    ->Args({BlendSourceAlpha | BlendAdd, 1000})
    ->Args({BlendSourceAlpha | BlendDodge, 1000})
    ->Args({BlendSourceAlpha | BlendMultiply, 1000})
    ->Args({BlendSourceAlpha | BlendOverlay, 1000})
    ->Args({BlendSourceAlpha | BlendHSVAdjust, 1000})
    ->Args({0xF3, 1000});

void BM_FillArea(benchmark::State& state)
{
  Gfx_MemBitmap dst = Picture(kW, kH);
  const int mode = int(state.range(0));
  const float alpha = float(state.range(1)) / 1000.0f;
  for (auto _ : state)
  {
    Gfx_FillArea(&dst, 0, 0, kW, kH, 0xC0806040u, alpha, mode);
    benchmark::DoNotOptimize(dst.PixelData());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_FillArea)
    ->ArgNames({"mode", "alpha"})
    ->Args({BlendCopy, 1000})
    ->Args({BlendCopy, 500})
    ->Args({BlendCopy, 700})
    ->Args({BlendAdd, 700})
    ->Args({BlendMultiply, 700})
    ->Args({BlendSourceAlpha | BlendCopy, 1000});

// Argument: scale in thousandths; the destination is the full editor size at that scale.
void BM_StretchBlit(benchmark::State& state)
{
  const Gfx_MemBitmap src = Picture(kW, kH);
  const double scale = double(state.range(0)) / 1000.0;
  const int w = int(kW * scale), h = int(kH * scale);
  Gfx_MemBitmap dst(w, h);
  for (auto _ : state)
  {
    Gfx_StretchBlit(&dst, &src, 0, 0, w, h, 0, 0, float(kW), float(kH), 1.0f);
    benchmark::DoNotOptimize(dst.PixelData());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(w) * h * 4);
}
BENCHMARK(BM_StretchBlit)->ArgName("scale")->Arg(850)->Arg(1150);

void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

std::vector<std::uint8_t> EncodePicture()
{
  const Gfx_MemBitmap pic = Picture(kW, kH);
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, kW, kH, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<std::uint8_t> row(std::size_t(kW) * 4);
  for (int y = 0; y < kH; ++y)
  {
    for (int x = 0; x < kW; ++x)
    {
      const std::uint32_t p = pic.Row(y)[x];
      row[x * 4 + 0] = std::uint8_t(p >> 16), row[x * 4 + 1] = std::uint8_t(p >> 8);
      row[x * 4 + 2] = std::uint8_t(p), row[x * 4 + 3] = std::uint8_t(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void BM_DecodePNG(benchmark::State& state)
{
  const std::vector<std::uint8_t> file = EncodePicture();
  for (auto _ : state)
  {
    auto bitmap = Gfx_ReadPNGMemory(file.data(), file.size());
    if (!bitmap) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bitmap.get());
  }
  state.SetBytesProcessed(state.iterations() * kBytes);
}
BENCHMARK(BM_DecodePNG);
} // namespace
