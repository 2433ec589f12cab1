#include "gfx/Gfx_PNGWrite.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gfx/Gfx_IBitmap.h"

namespace
{
[[noreturn]] void OnPngError(png_structp png, png_const_charp)
{
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

// Holds the setjmp region: a libpng error jumps back here. The rows are built before it, so no
// object with a destructor lives across the jump.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, int width, int height, png_bytepp rows)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}
} // namespace

bool Gfx_WritePNGFile(const char* path, const Gfx_IBitmap& bitmap)
{
  const int width = bitmap.Width(), height = bitmap.Height();
  if (!path || width < 1 || height < 1 || !bitmap.PixelData()) return false;

  // 0xAARRGGBB words to R, G, B, A bytes, whatever the machine's byte order.
  std::vector<png_byte> bytes(std::size_t(width) * std::size_t(height) * 4);
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
  {
    png_bytep out = &bytes[std::size_t(y) * std::size_t(width) * 4];
    rows[std::size_t(y)] = out;
    const std::uint32_t* in = bitmap.Row(y);
    for (int x = 0; x < width; ++x, out += 4)
    {
      out[0] = png_byte(in[x] >> 16);
      out[1] = png_byte(in[x] >> 8);
      out[2] = png_byte(in[x]);
      out[3] = png_byte(in[x] >> 24);
    }
  }

  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = info && WriteRows(png, info, file, width, height, rows.data());
  png_destroy_write_struct(&png, &info);
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(path);
  return ok;
}
