#pragma once

#include <cstddef>
#include <memory>

#include "gfx/Gfx_MemBitmap.h"

// PNG decoding into 0xAARRGGBB bitmaps: every colour type arrives as 8-bit A, R, G, B (alpha 255
// where the image has none). Every failure answers null / false: short or foreign data, a libpng
// error (truncation, bad CRC), or a side of 0 or above Gfx_MaxBitmapSide.

// The resource of type "PNG" with this id (platform resource table).
std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGResource(int id);

// The same, decoded only when its pixels are first asked for (Gfx_DeferredBitmap); the size is read
// from the header at once. Null when there is no such resource or its header is not a PNG's of a
// usable size. The resource table lives as long as the module, so the bitmap may too.
std::unique_ptr<Gfx_IBitmap> Gfx_DeferPNGResource(int id);

// The width and height in the header of a PNG held in memory (signature, then IHDR), without
// decoding; false when it is not a PNG or a side is 0 or above Gfx_MaxBitmapSide.
bool Gfx_ReadPNGSize(const void* data, std::size_t size, int* width, int* height);

// A PNG held in memory, signature included.
std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGMemory(const void* data, std::size_t size);

// A PNG file (UTF-8 path) into a new bitmap, or into the given one (resized to the image; it may
// have been resized even when the decode then fails).
std::unique_ptr<Gfx_MemBitmap> Gfx_ReadPNGFile(const char* path);
bool Gfx_ReadPNGFile(const char* path, Gfx_IBitmap& into);

// Image loader interface: load into `into` (answering it) or, when null, into a new bitmap the
// caller owns; null on failure. With checkExtension the name must end in ".png" (any case).
Gfx_IBitmap* Gfx_PNGLoaderLoadFile(const char* fileName, bool checkExtension, Gfx_IBitmap* into);
// File-dialog filter: "PNG files (*.PNG)\0*.PNG\0\0".
const char* Gfx_PNGLoaderFilterText();

// Process-wide list of image loaders; the PNG loader registers itself at load time.
struct ImageLoaderRecord
{
  Gfx_IBitmap* (*load)(const char* fileName, bool checkExtension, Gfx_IBitmap* into);
  const char* (*filterText)();
  const ImageLoaderRecord* next;
};
const ImageLoaderRecord* Gfx_ImageLoaders();
