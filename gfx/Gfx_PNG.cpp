#include "gfx/Gfx_PNG.h"

#include <png.h>

#include <cctype>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gfx/Gfx_DeferredBitmap.h"
#include "platform/resources/ResourceTable.h"

namespace
{
// Read state of a PNG in memory.
struct MemoryReader
{
  const std::uint8_t* next;
  std::size_t remaining;
};

// libpng's read callback. Asking for more than is left is an error: zero-filling the rest would
// hand libpng a made-up tail.
void ReadMemoryChunk(png_structp png, png_bytep out, png_size_t length)
{
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (!reader || length > reader->remaining) png_error(png, "PNG data ends early");
  std::memcpy(out, reader->next, length);
  reader->next += length;
  reader->remaining -= length;
}

// Errors come back through png_jmpbuf; messages are not shown.
[[noreturn]] void OnPngError(png_structp png, png_const_charp)
{
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

struct ImageHeader
{
  png_uint_32 width;
  png_uint_32 height;
  png_size_t rowBytes;
};

// The two functions below hold the setjmp regions: a libpng error jumps back into them, so they
// keep no object with a destructor.

// Reads the header and requests the transforms that make every colour type 8-bit A, R, G, B.
bool ReadHeader(png_structp png, png_infop info, ImageHeader* header)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);

  bool hasAlpha = (type & PNG_COLOR_MASK_ALPHA) != 0;
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS))
  {
    png_set_tRNS_to_alpha(png);
    hasAlpha = true;
  }
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (hasAlpha)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  header->width = width;
  header->height = height;
  header->rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadRows(png_structp png, png_bytepp rows)
{
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

// A, R, G, B bytes in place to 0xAARRGGBB words.
void ToPixelWords(std::uint32_t* row, int width)
{
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
  for (int i = 0; i < width; ++i, bytes += 4)
    row[i] = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
             (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

// Decodes with the read source already set up. Into `into` when given, else into `created`.
bool Decode(png_structp png, png_infop info, Gfx_IBitmap* into, std::unique_ptr<Gfx_MemBitmap>& created)
{
  ImageHeader header{};
  if (!ReadHeader(png, info, &header)) return false;
  if (header.width < 1 || header.height < 1 || header.width > png_uint_32(Gfx_MaxBitmapSide) ||
      header.height > png_uint_32(Gfx_MaxBitmapSide))
    return false;
  const int width = int(header.width), height = int(header.height);

  Gfx_IBitmap* target = into;
  if (target)
    target->SetSize(width, height);
  else
  {
    created = std::make_unique<Gfx_MemBitmap>(width, height);
    target = created.get();
  }
  // libpng writes rowBytes into each row: it must be exactly the bitmap's row of pixels.
  if (target->Width() != width || target->Height() != height || !target->PixelData() ||
      target->RowSpan() < width || header.rowBytes != std::size_t(width) * 4)
    return false;

  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[y] = reinterpret_cast<png_bytep>(target->Row(y));
  if (!ReadRows(png, rows.data())) return false;
  for (int y = 0; y < height; ++y)
    ToPixelWords(target->Row(y), width);
  return true;
}

png_structp CreateReader()
{
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png) png_set_user_limits(png, Gfx_MaxBitmapSide, Gfx_MaxBitmapSide);
  return png;
}

// Runs a decode with fresh libpng structures; `source` sets the read source on them.
template <class SetSource>
bool DecodeWith(SetSource source, Gfx_IBitmap* into, std::unique_ptr<Gfx_MemBitmap>& created)
{
  png_structp png = CreateReader();
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  bool ok = false;
  if (info)
  {
    source(png);
    ok = Decode(png, info, into, created);
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) created.reset();
  return ok;
}

bool DecodeFile(const char* path, Gfx_IBitmap* into, std::unique_ptr<Gfx_MemBitmap>& created)
{
  if (!path) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  const bool ok = DecodeWith([file](png_structp png) { png_init_io(png, file); }, into, created);
  std::fclose(file);
  return ok;
}

constexpr ImageLoaderRecord kPngLoader{Gfx_PNGLoaderLoadFile, Gfx_PNGLoaderFilterText, nullptr};
} // namespace

std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGMemory(const void* data, std::size_t size)
{
  std::unique_ptr<Gfx_MemBitmap> bitmap;
  if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return bitmap;
  MemoryReader reader{static_cast<const std::uint8_t*>(data), size};
  DecodeWith([&reader](png_structp png) { png_set_read_fn(png, &reader, ReadMemoryChunk); }, nullptr, bitmap);
  return bitmap;
}

std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGResource(int id)
{
  const auto bytes = ResourceTable::Find("PNG", id);
  if (bytes.size() < 8) return nullptr;
  return Gfx_ReadPNGMemory(bytes.data(), bytes.size());
}

bool Gfx_ReadPNGSize(const void* data, std::size_t size, int* width, int* height)
{
  // Signature, then the first chunk, which must be IHDR: length 13, type, width and height (big-endian).
  static constexpr std::uint8_t kIhdr[8] = {0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  if (!data || size < 24 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return false;
  const auto* b = static_cast<const std::uint8_t*>(data);
  if (std::memcmp(b + 8, kIhdr, 8) != 0) return false;
  auto word = [](const std::uint8_t* p)
  { return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]; };
  const std::uint32_t w = word(b + 16), h = word(b + 20);
  if (w == 0 || h == 0 || w > std::uint32_t(Gfx_MaxBitmapSide) || h > std::uint32_t(Gfx_MaxBitmapSide))
    return false;
  if (width) *width = int(w);
  if (height) *height = int(h);
  return true;
}

std::unique_ptr<Gfx_IBitmap> Gfx_DeferPNGResource(int id)
{
  const auto bytes = ResourceTable::Find("PNG", id);
  int w = 0, h = 0;
  if (!Gfx_ReadPNGSize(bytes.data(), bytes.size(), &w, &h)) return nullptr;
  return std::make_unique<Gfx_DeferredBitmap>(
      w, h, [id]() -> std::unique_ptr<Gfx_IBitmap> { return Gfx_ReadPNGResource(id); });
}

std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGFile(const char* path)
{
  std::unique_ptr<Gfx_MemBitmap> bitmap;
  DecodeFile(path, nullptr, bitmap);
  return bitmap;
}

bool Gfx_ReadPNGFile(const char* path, Gfx_IBitmap& into)
{
  std::unique_ptr<Gfx_MemBitmap> unused;
  return DecodeFile(path, &into, unused);
}

Gfx_IBitmap* Gfx_PNGLoaderLoadFile(const char* fileName, bool checkExtension, Gfx_IBitmap* into)
{
  if (!fileName) return nullptr;
  if (checkExtension)
  {
    const std::size_t length = std::strlen(fileName);
    std::size_t start = length;
    while (start > 0 && fileName[start - 1] != '.' && fileName[start - 1] != '/' &&
           fileName[start - 1] != '\\')
      --start;
    if (start > 0) --start;
    const char* tail = fileName + start;
    static constexpr char kExtension[] = ".png";
    if (length - start != 4) return nullptr;
    for (int i = 0; i < 4; ++i)
      if (std::tolower(static_cast<unsigned char>(tail[i])) != kExtension[i]) return nullptr;
  }
  if (into) return Gfx_ReadPNGFile(fileName, *into) ? into : nullptr;
  return Gfx_ReadPNGFile(fileName).release();
}

const char* Gfx_PNGLoaderFilterText()
{
  static constexpr char kFilter[] = "PNG files (*.PNG)\0*.PNG\0"; // the literal adds the final zero
  return kFilter;
}

const ImageLoaderRecord* Gfx_ImageLoaders()
{
  return &kPngLoader;
}
