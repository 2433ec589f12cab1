// libFuzzer target for the PNG reader: any input must give a bitmap or null, never a crash or a
// read outside the input.
#include <cstddef>
#include <cstdint>

#include "gfx/Gfx_PNG.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  auto bitmap = Gfx_ReadPNGMemory(data, size);
  if (bitmap)
  {
    // Touch every decoded pixel so a short row would show up under the sanitizer.
    std::uint32_t sum = 0;
    for (int y = 0; y < bitmap->Height(); ++y)
      for (int x = 0; x < bitmap->Width(); ++x)
        sum += bitmap->Row(y)[x];
    volatile std::uint32_t sink = sum;
    (void)sink;
  }
  return 0;
}
