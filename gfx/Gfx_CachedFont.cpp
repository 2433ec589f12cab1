#include "gfx/Gfx_CachedFont.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gfx/Gfx_SysBitmap.h"
#include "platform/text/TextFont.h"

namespace
{

// Shared by every font, guarded by Gfx_CachedFont::Lock().
int gLiveFonts = 0;
Gfx_SysBitmap* gRenderBitmap = nullptr;
std::vector<std::uint8_t> gCell; // the rasteriser's coverage cell for one character

constexpr int kMaxLineHeight = 1024;
constexpr std::size_t kCoverageGranule = 65536;
constexpr std::size_t kExtendedGranule = 4096 / sizeof(Gfx_GlyphRecord);

// The render bitmap holds the character as a grey picture: every byte but alpha the coverage.
Gfx_SysBitmap* RenderBitmap(int size)
{
  if (!gRenderBitmap) gRenderBitmap = new (std::nothrow) Gfx_SysBitmap(0, 0);
  if (gRenderBitmap && (gRenderBitmap->Width() < size || gRenderBitmap->Height() < size))
    gRenderBitmap->SetSize(size, size);
  return gRenderBitmap;
}

void ReleaseSharedState()
{
  delete gRenderBitmap;
  gRenderBitmap = nullptr;
  std::vector<std::uint8_t>().swap(gCell);
}

void Threshold(std::uint8_t* map, std::size_t n)
{
  for (std::size_t i = 0; i < n; ++i)
    map[i] = map[i] < 131 ? 0 : 255;
}

// The ink may overhang the advance: keeps columns up to the last one that holds ink.
int InkWidth(const Gfx_SysBitmap& rb, int advance, int right, int bottom)
{
  int width = advance;
  for (int y = 0; y < bottom; ++y)
  {
    const std::uint32_t* row = rb.Row(y);
    for (int x = right - 1; x >= width; --x)
      if ((row[x] >> 16) & 0xFF)
      {
        width = x + 1;
        break;
      }
  }
  return width;
}

// Turns a width x height map by 90 degrees in place (width and height swap): downward text
// clockwise, upward text the other way. The scratch holds at least the map.
void TurnMap(std::uint8_t* map, std::uint8_t* scratch, int& width, int& height, bool up)
{
  std::memcpy(scratch, map, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::uint8_t* old = scratch;
  const int W = width, H = height;
  width = H;
  height = W;
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      map[static_cast<std::size_t>(r) * width + c] = up ? old[static_cast<std::size_t>(c) * W + (W - 1 - r)]
                                                        : old[static_cast<std::size_t>(H - 1 - c) * W + r];
}

// Thresholds the map, then marks the empty pixels beside the ink with 128: a drop shadow (ink to
// the left or above) or an outline (ink on any side). The scratch holds at least the map.
void MarkEdges(std::uint8_t* map, std::uint8_t* scratch, int width, int height, bool shadow)
{
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  Threshold(map, bytes);
  std::memcpy(scratch, map, bytes);
  const std::uint8_t* ink = scratch;
  auto at = [&](int r, int c)
  {
    return r >= 0 && c >= 0 && r < height && c < width && ink[static_cast<std::size_t>(r) * width + c] == 255;
  };
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
    {
      std::uint8_t& v = map[static_cast<std::size_t>(r) * width + c];
      if (v != 0) continue;
      const bool mark = shadow ? (at(r, c - 1) || at(r - 1, c - 1) || at(r - 1, c))
                               : (at(r - 1, c) || at(r + 1, c) || at(r, c - 1) || at(r, c + 1));
      if (mark) v = 128;
    }
}

} // namespace

int Gfx_CompareGlyphCodes(const Gfx_GlyphRecord& a, const Gfx_GlyphRecord& b)
{
  return a.code < b.code ? -1 : (a.code > b.code ? 1 : 0);
}

std::mutex& Gfx_CachedFont::Lock()
{
  // Made on first use and never destroyed, so fonts that a static cache deletes at exit still find it.
  // (Not a constant-initialised global: the mutex of the Windows thread library has no constexpr
  // constructor.) Built in static storage, not on the heap: a plug-in unloaded with the mutex still allocated
  // would leave a block nothing points at any more.
  alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
  static std::mutex* lock = new (storage) std::mutex;
  return *lock;
}

Gfx_CachedFont::Gfx_CachedFont()
{
  std::lock_guard<std::mutex> guard(Lock());
  ++gLiveFonts;
}

Gfx_CachedFont::~Gfx_CachedFont()
{
  std::lock_guard<std::mutex> guard(Lock());
  if ((mFlags & FontOwnsHandle) && mFont) delete mFont;
  mFont = nullptr;
  if (--gLiveFonts == 0) ReleaseSharedState();
}

void Gfx_CachedFont::AttachFont(TextFont* font, std::uint32_t flags)
{
  std::lock_guard<std::mutex> guard(Lock());
  if ((mFlags & FontOwnsHandle) && mFont && mFont != font) delete mFont;
  mFlags = flags;
  mFont = font;
  mLineHeight = 0;
  if (font)
  {
    RenderBitmap(256);
    mLineHeight = font->LineHeight();
  }
  for (Gfx_GlyphRecord& g : mGlyphs)
    g = Gfx_GlyphRecord{};
  mExtended.clear();
  mCoverage.clear();
  if (mFlags & FontPrerenderASCII)
    for (std::uint32_t code = 0; code < 128; ++code)
      Render(code);
}

std::uint32_t Gfx_CachedFont::SetTextColour(std::uint32_t colour)
{
  std::lock_guard<std::mutex> guard(Lock());
  std::swap(mTextColour, colour);
  return colour;
}

std::uint32_t Gfx_CachedFont::SetBackColour(std::uint32_t colour)
{
  std::lock_guard<std::mutex> guard(Lock());
  std::swap(mBackColour, colour);
  return colour;
}

std::uint32_t Gfx_CachedFont::SetEffectColour(std::uint32_t colour)
{
  std::lock_guard<std::mutex> guard(Lock());
  std::swap(mEffectColour, colour);
  return colour;
}

int Gfx_CachedFont::SetBackMode(int mode)
{
  std::lock_guard<std::mutex> guard(Lock());
  std::swap(mBackMode, mode);
  return mode;
}

void Gfx_CachedFont::SetBlend(int mode, float alpha)
{
  std::lock_guard<std::mutex> guard(Lock());
  mBlendMode = mode;
  mAlpha = alpha;
}

std::uint32_t Gfx_CachedFont::TextColour() const
{
  std::lock_guard<std::mutex> guard(Lock());
  return mTextColour;
}

TextFont* Gfx_CachedFont::FontHandle() const
{
  std::lock_guard<std::mutex> guard(Lock());
  return mFont;
}

int Gfx_CachedFont::LineHeight() const
{
  std::lock_guard<std::mutex> guard(Lock());
  return mLineHeight;
}

std::uint32_t Gfx_CachedFont::Flags() const
{
  std::lock_guard<std::mutex> guard(Lock());
  return mFlags;
}

int Gfx_CachedFont::LineSpacing() const
{
  std::lock_guard<std::mutex> guard(Lock());
  return mLineSpacing;
}

const Gfx_GlyphRecord* Gfx_CachedFont::FindGlyph(std::uint32_t code) const
{
  if (code < 128) return &mGlyphs[code];
  Gfx_GlyphRecord key;
  key.code = code;
  auto it = std::lower_bound(mExtended.begin(), mExtended.end(), key,
                             [](const Gfx_GlyphRecord& a, const Gfx_GlyphRecord& b)
                             { return Gfx_CompareGlyphCodes(a, b) < 0; });
  return (it != mExtended.end() && it->code == code) ? &*it : nullptr;
}

const Gfx_GlyphRecord* Gfx_CachedFont::ExtendedGlyph(int i) const
{
  return (i >= 0 && i < ExtendedGlyphCount()) ? &mExtended[static_cast<std::size_t>(i)] : nullptr;
}

bool Gfx_CachedFont::ValidCoverage(const Gfx_GlyphRecord& g) const
{
  if (!g.HasCoverage() || g.width <= 0 || g.height <= 0) return false;
  const std::size_t start = g.position - 1;
  const std::size_t size = static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height);
  return start <= mCoverage.size() && size <= mCoverage.size() - start;
}

const std::uint8_t* Gfx_CachedFont::GlyphCoverage(const Gfx_GlyphRecord& record) const
{
  return ValidCoverage(record) ? mCoverage.data() + (record.position - 1) : nullptr;
}

bool Gfx_CachedFont::RenderGlyph(std::uint32_t code)
{
  std::lock_guard<std::mutex> guard(Lock());
  return Render(code);
}

bool Gfx_CachedFont::Render(std::uint32_t code)
{
  if (!mFont || mLineHeight >= kMaxLineHeight || code > 0xFFFF) return false;

  // The record is found or appended first: nothing after that moves the extended table until it is
  // sorted at the end.
  bool isNew = false;
  std::size_t extIndex = 0;
  if (code >= 128 && !FindOrAppendExtended(code, extIndex, isNew)) return false;
  Gfx_GlyphRecord& g = code < 128 ? mGlyphs[code] : mExtended[extIndex];
  if (!RenderCoverage(code, g))
  {
    g.position = Gfx_GlyphRecord::kEmpty;
    g.width = g.height = g.advance = 0;
  }
  if (isNew && mExtended.size() >= 2)
    std::sort(mExtended.begin(), mExtended.end(),
              [](const Gfx_GlyphRecord& a, const Gfx_GlyphRecord& b)
              { return Gfx_CompareGlyphCodes(a, b) < 0; });
  return true;
}

bool Gfx_CachedFont::FindOrAppendExtended(std::uint32_t code, std::size_t& index, bool& isNew)
{
  const Gfx_GlyphRecord* found = FindGlyph(code);
  if (found)
  {
    index = static_cast<std::size_t>(found - mExtended.data());
    return true;
  }
  if (mFlags & FontPrerenderASCII) return false;
  try
  {
    if (mExtended.size() == mExtended.capacity()) mExtended.reserve(mExtended.size() + kExtendedGranule);
    Gfx_GlyphRecord fresh;
    fresh.code = code;
    mExtended.push_back(fresh);
  }
  catch (...)
  {
    return false;
  }
  index = mExtended.size() - 1;
  isNew = true;
  return true;
}

bool Gfx_CachedFont::RenderCoverage(std::uint32_t code, Gfx_GlyphRecord& g)
{
  int advance = 0, right = 0, bottom = 0;
  Gfx_SysBitmap* rb = RasteriseCell(code, advance, right, bottom);
  if (!rb) return false;
  int width = InkWidth(*rb, advance, right, bottom);
  int height = bottom;
  std::size_t position = 0;
  std::uint8_t* map = StoreCoverage(*rb, width, height, position);
  if (!map) return false;
  // The cell is free now and at least as large as the map: it serves as the scratch copy below.
  std::uint8_t* const scratch = gCell.data();
  if (mFlags & FontVertical) TurnMap(map, scratch, width, height, (mFlags & FontVerticalUp) != 0);
  if (mFlags & FontMono)
    Threshold(map, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  else if (mFlags & (FontShadow | FontOutline))
    MarkEdges(map, scratch, width, height, (mFlags & FontShadow) != 0);
  g.position = static_cast<std::uint32_t>(position + 1);
  g.width = width;
  g.height = height;
  g.advance = advance;
  return true;
}

Gfx_SysBitmap* Gfx_CachedFont::RasteriseCell(std::uint32_t code, int& advance, int& right, int& bottom)
{
  const int lineHeight = std::max(mLineHeight, 1);
  Gfx_SysBitmap* rb = RenderBitmap(2 * lineHeight + 8);
  if (!rb || !rb->PixelData()) return nullptr;
  const int extra = (mLineHeight < 16 ? 0 : mLineHeight / 16) + 2;

  // Measure, widen by the overhang allowance, draw white on black at the top-left.
  advance = mFont->CharAdvance(code);
  right = advance + extra;
  bottom = mLineHeight;
  advance = std::min(advance, rb->Width());
  right = std::min(right, rb->Width());
  bottom = std::min(bottom, rb->Height());
  if (advance < 1 || bottom < 1) return nullptr;

  try
  {
    gCell.resize(static_cast<std::size_t>(right) * static_cast<std::size_t>(bottom));
  }
  catch (...)
  {
    return nullptr;
  }
  mFont->RenderChar(code, gCell.data(), right, bottom, right);
  for (int y = 0; y < bottom; ++y)
  {
    std::uint32_t* row = rb->Row(y);
    const std::uint8_t* src = gCell.data() + static_cast<std::size_t>(y) * right;
    for (int x = 0; x < right; ++x)
      row[x] = static_cast<std::uint32_t>(src[x]) * 0x010101u;
  }

  if (mFlags & FontSmooth) Gfx_SmoothGlyphArea(rb, right, bottom);
  return rb;
}

std::uint8_t* Gfx_CachedFont::StoreCoverage(const Gfx_SysBitmap& rb, int width, int height,
                                            std::size_t& position)
{
  position = mCoverage.size();
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (position + 1 >= Gfx_GlyphRecord::kEmpty - bytes) return nullptr;
  try
  {
    if (mCoverage.capacity() < position + bytes)
      mCoverage.reserve((position + bytes + kCoverageGranule - 1) / kCoverageGranule * kCoverageGranule);
    mCoverage.resize(position + bytes);
  }
  catch (...)
  {
    return nullptr;
  }
  std::uint8_t* map = mCoverage.data() + position;
  const bool inverted = (mFlags & FontInverted) != 0;
  for (int y = 0; y < height; ++y)
  {
    const std::uint32_t* row = rb.Row(y);
    std::uint8_t* dst = map + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x)
    {
      const std::uint8_t v = static_cast<std::uint8_t>(row[x] >> 16);
      dst[x] = inverted ? static_cast<std::uint8_t>(255 - v) : v;
    }
  }
  return map;
}
