// The image registry: the skin images of the image table, loaded into the editor's bitmap cache.
#include "config/ConfigReader.h"

#include "framework/graphics/IGraphics.h"

namespace
{
enum Scheme
{
  kAnyScheme,
  kNormalScheme,
  kSecondScheme
};
} // namespace

void ConfigReader::LoadImages(IGraphics* graphics)
{
  Log("Started to read image resources...");
  mImages.reserve(256);
  const Scheme skipped = mColourScheme == 0 ? kSecondScheme : kNormalScheme;
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme)                                               \
  if (scheme != skipped) RegisterImage(graphics, id, #name, file, frames, horizontal);
#include "config/ImageTable.def"
#undef VELK_IMAGE
  Log("Completed!");
}

void ConfigReader::RegisterImage(IGraphics* graphics, int id, const char* name, const char* fileName,
                                 int frames, uint8_t framesHorizontal)
{
  if (mReleasing)
  {
    // Only this editor's reference goes: another editor of the process may use the same bitmap.
    if (graphics) graphics->ReleaseScaledBitmap(id, mUiScale);
    const auto it = mImages.find(name);
    if (it != mImages.end() && it->second.resourceId == id) it->second.strip = IBitmapStrip();
    return;
  }
  ImageEntry entry;
  entry.resourceId = id;
  entry.frames = frames;
  entry.framesHorizontal = framesHorizontal;
  if (graphics)
  {
    entry.strip = graphics->LoadScaledBitmap(id, fileName, mUiScale, frames);
    if (!entry.strip.bitmap) entry.strip = IBitmapStrip();
  }
  mImages.insert_or_assign(name, entry);
}

void ConfigReader::ReleaseImages(IGraphics* graphics)
{
  mReleasing = true;
  LoadImages(graphics);
  mReleasing = false;
}

const ImageEntry* ConfigReader::FindImageEntry(std::string_view name) const
{
  const auto it = mImages.find(name);
  return it == mImages.end() ? nullptr : &it->second;
}

IBitmapStrip ConfigReader::GetImage(std::string_view name) const
{
  const ImageEntry* entry = FindImageEntry(name);
  if (!entry)
  {
    if (LogEnabled()) Log("Image " + std::string(name) + " MISSING!");
    return IBitmapStrip();
  }
  IBitmapStrip strip = entry->strip;
  strip.frames = entry->frames;
  strip.framesSideBySide = entry->framesHorizontal != 0;
  return strip;
}
