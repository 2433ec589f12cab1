// Start-up cost of the configuration: deciphering and parsing both embedded documents, and
// registering every image of the skin at each editor size. BM_DecodePngsWithLibpng decodes the
// same PNG resources with libpng alone, so the registry's own share reads off one run.
#include <benchmark/benchmark.h>

#include <png.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "config/ConfigReader.h"
#include "config/DecipherResource.h"
#include "framework/graphics/BitmapCache.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "platform/resources/ResourceTable.h"
#include "tests/support/HostlessPlug.h"

namespace
{
void BM_ReadDocuments(benchmark::State& state)
{
  HostlessPlug plug;
  int64_t bytes = 0;
  for (auto _ : state)
  {
    ConfigReader reader;
    for (int id : {ConfigReader::kSysExDocumentId, ConfigReader::kUiDocumentId})
    {
      const auto span = ResourceTable::Find("TEXTFILE", id);
      std::string text;
      DecipherResource(span.data(), int32_t(span.size()), text);
      bytes += int64_t(span.size());
      if (id == ConfigReader::kSysExDocumentId)
        reader.ReadSysExText(text);
      else
        reader.ReadUiText(text);
    }
    benchmark::DoNotOptimize(reader.SysExTable().size());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadDocuments);

// Every image registered from an empty cache at the size, then released again.
void BM_RegisterImages(benchmark::State& state)
{
  const double scale = state.range(0) / 100.0;
  HostlessPlug plug;
  for (auto _ : state)
  {
    IGraphics graphics(&plug, int(1500 * scale), int(757 * scale));
    ConfigReader reader;
    reader.Read(&graphics, &plug, nullptr, 0, scale);
    reader.ReleaseImages(&graphics);
    benchmark::DoNotOptimize(reader.ImageCount());
  }
  state.counters["images"] = 109;
}
BENCHMARK(BM_RegisterImages)->Arg(85)->Arg(100)->Arg(115)->Unit(benchmark::kMillisecond);

void BM_DecodePngsWithLibpng(benchmark::State& state)
{
  std::vector<std::span<const std::uint8_t>> images;
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme)                                               \
  images.push_back(ResourceTable::Find("PNG", id));
#include "config/ImageTable.def"
#undef VELK_IMAGE
  std::vector<std::uint8_t> pixels;
  for (auto _ : state)
  {
    for (const auto& bytes : images)
    {
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) continue;
      image.format = PNG_FORMAT_BGRA;
      pixels.resize(PNG_IMAGE_SIZE(image));
      png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
      benchmark::DoNotOptimize(pixels.data());
    }
  }
  state.counters["images"] = double(images.size());
}
BENCHMARK(BM_DecodePngsWithLibpng)->Unit(benchmark::kMillisecond);
} // namespace
