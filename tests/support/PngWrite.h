#pragma once
// PNG files written with libpng, for the suites and benchmarks: images in any colour type to feed
// the reader, and bitmaps to look at. Header only, so no suite is built from this folder.

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/Gfx_IBitmap.h"

namespace pngwrite
{
// An image as rows of raw samples in the PNG's own layout (bit depth, colour type).
struct Image
{
  int width = 0, height = 0, depth = 8, type = PNG_COLOR_TYPE_RGBA;
  bool interlaced = false;
  std::vector<std::vector<std::uint8_t>> rows;
  std::vector<png_color> palette;
  std::vector<std::uint8_t> paletteAlpha; // tRNS of a palette image
  bool greyTransparent = false;           // tRNS of a grey image: this grey value
  int transparentGrey = 0;
};

// The bitmap's pixels as 8-bit R, G, B, A rows.
inline Image FromBitmap(const Gfx_IBitmap& b)
{
  Image image;
  image.width = b.Width(), image.height = b.Height();
  for (int y = 0; y < b.Height(); ++y)
  {
    std::vector<std::uint8_t> row;
    row.reserve(std::size_t(b.Width()) * 4);
    for (int x = 0; x < b.Width(); ++x)
    {
      const std::uint32_t p = b.Row(y)[x];
      row.insert(row.end(),
                 {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p), std::uint8_t(p >> 24)});
    }
    image.rows.push_back(std::move(row));
  }
  return image;
}

namespace detail
{
inline void Append(png_structp png, png_bytep data, png_size_t length)
{
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
inline void NoFlush(png_structp) {}

// Holds the setjmp region, so it keeps no object with a destructor.
inline bool Write(png_structp png, png_infop info, const Image& image, png_bytepp rows,
                  std::vector<std::uint8_t>* out)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, Append, NoFlush);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.depth, image.type,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) png_set_PLTE(png, info, image.palette.data(), int(image.palette.size()));
  if (!image.paletteAlpha.empty())
    png_set_tRNS(png, info, image.paletteAlpha.data(), int(image.paletteAlpha.size()), nullptr);
  if (image.greyTransparent)
  {
    png_color_16 grey{};
    grey.gray = png_uint_16(image.transparentGrey);
    png_set_tRNS(png, info, nullptr, 0, &grey);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}
} // namespace detail

// The encoded file, or nothing when libpng refuses the image.
inline std::vector<std::uint8_t> Encode(const Image& image)
{
  std::vector<std::uint8_t> out;
  if (image.rows.size() != std::size_t(image.height)) return out;
  std::vector<png_bytep> rows;
  for (const auto& r : image.rows)
    rows.push_back(const_cast<png_bytep>(r.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return out;
  png_infop info = png_create_info_struct(png);
  const bool ok = info && detail::Write(png, info, image, rows.data(), &out);
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) out.clear();
  return out;
}

inline bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}
} // namespace pngwrite
