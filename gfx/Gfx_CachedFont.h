#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_IFont.h"

class Gfx_SysBitmap;

// Font flags.
enum : std::uint32_t
{
  FontVertical = 1,        // glyphs turned by 90 degrees, text runs down the y axis
  FontVerticalUp = 2,      // with FontVertical: turned the other way, text runs up
  FontPrerenderASCII = 4,  // attach renders codes 0 to 127; codes from 128 are never rendered
  FontSmooth = 16,         // each character is smoothed before its coverage is taken
  FontInverted = 32,       // coverage stored as 255 - value
  FontMono = 64,           // coverage thresholded; drawn without anti-aliasing
  FontShadow = 128,        // threshold, then a drop shadow of value 128
  FontOutline = 256,       // threshold, then an outline of value 128 (not with FontShadow)
  FontOwnsHandle = 0x200,  // the font deletes its handle when replaced or destroyed
  FontPreferNative = 0x400 // draw through a native text road where one exists (none here)
};

// One rendered (or not yet rendered) character.
struct Gfx_GlyphRecord
{
  static constexpr std::uint32_t kNotRendered = 0;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  std::uint32_t position = 0; // byte offset of the coverage map + 1, or one of the two values above
  std::int32_t width = 0;     // coverage map: rows of width bytes, top row first
  std::int32_t height = 0;
  std::int32_t advance = 0; // pen move after the glyph (along y for vertical fonts)
  std::uint32_t code = 0;

  bool HasCoverage() const { return position != kNotRendered && position != kEmpty; }
};

// Orders glyph records by code.
int Gfx_CompareGlyphCodes(const Gfx_GlyphRecord& a, const Gfx_GlyphRecord& b);

// One UTF-8 character: the 16-bit code and the bytes used (at least 1). Never reads
// more than `available` bytes when that is positive (negative: up to a zero byte).
// Characters beyond 16 bits read as a space.
std::uint16_t Gfx_DecodeUTF8Char(const char* text, int available, int* used);

// Smooths width x height pixels at the top-left of the bitmap in place: each byte becomes
// centre/2 + each of its four neighbours/8 (a missing neighbour's share goes to the
// opposite one). Nothing below 2 x 2.
void Gfx_SmoothGlyphArea(Gfx_IBitmap* bitmap, int width, int height);

// A font whose characters are rendered once into 8-bit coverage maps and then blended
// into any bitmap with the text colour, blend mode and opacity. Fonts are shared by every
// plug-in instance of the process (the font cache), whose user-interface threads may differ:
// the operations below take one process-wide lock, which also guards the shared render
// surface. The glyph inspection calls (FindGlyph and after) are for the thread that owns the
// font alone.
class Gfx_CachedFont : public Gfx_IFont
{
public:
  Gfx_CachedFont();
  ~Gfx_CachedFont() override;
  Gfx_CachedFont(const Gfx_CachedFont&) = delete;
  Gfx_CachedFont& operator=(const Gfx_CachedFont&) = delete;

  void AttachFont(TextFont* font, std::uint32_t flags) override;
  std::uint32_t SetTextColour(std::uint32_t colour) override;
  std::uint32_t SetBackColour(std::uint32_t colour) override;
  std::uint32_t SetEffectColour(std::uint32_t colour) override;
  int SetBackMode(int mode) override;
  void SetBlend(int mode, float alpha) override;
  int DrawString(Gfx_IBitmap* bitmap, const char* text, int length, Gfx_Rect* rect,
                 std::uint32_t flags) override;
  std::uint32_t TextColour() const override;
  TextFont* FontHandle() const override;
  int LineHeight() const override;

  std::uint32_t Flags() const;
  int LineSpacing() const;

  // Renders the character into the cache; false when it cannot be rendered at all.
  bool RenderGlyph(std::uint32_t code);
  // Draws a rendered glyph with its top-left at (x, y) inside the clip rectangle
  // (right and bottom exclusive); false when nothing of it lies inside.
  bool DrawGlyph(Gfx_IBitmap* bitmap, std::uint32_t code, int x, int y, const Gfx_Rect& clip);

  // Codes below 128: their table entry (never null); others: the extended entry or null.
  const Gfx_GlyphRecord* FindGlyph(std::uint32_t code) const;

  // The extended glyphs in their sorted order, and a glyph's coverage map (or null).
  int ExtendedGlyphCount() const { return static_cast<int>(mExtended.size()); }
  const Gfx_GlyphRecord* ExtendedGlyph(int i) const;
  const std::uint8_t* GlyphCoverage(const Gfx_GlyphRecord& record) const;

private:
  // The process-wide lock of every font; the private functions below expect it held.
  static std::mutex& Lock();

  // Rendering a character, stage by stage: its record, its cell drawn into the render bitmap, its
  // coverage map stored, turned and given its effects.
  bool Render(std::uint32_t code);
  bool FindOrAppendExtended(std::uint32_t code, std::size_t& index, bool& isNew);
  bool RenderCoverage(std::uint32_t code, Gfx_GlyphRecord& g);
  Gfx_SysBitmap* RasteriseCell(std::uint32_t code, int& advance, int& right, int& bottom);
  std::uint8_t* StoreCoverage(const Gfx_SysBitmap& rb, int width, int height, std::size_t& position);
  const Gfx_GlyphRecord* ReadyGlyph(std::uint32_t code);
  bool DrawGlyphRecord(Gfx_IBitmap* bitmap, const Gfx_GlyphRecord& g, int x, int y, const Gfx_Rect& clip);
  int MeasureString(const char* text, int length, Gfx_Rect* rect, std::uint32_t flags);
  int DrawGlyphString(Gfx_IBitmap* bitmap, const char* text, int length, const Gfx_Rect& rect,
                      std::uint32_t flags);
  bool ValidCoverage(const Gfx_GlyphRecord& g) const;

  std::uint32_t mTextColour = 0;
  std::uint32_t mBackColour = 0xFFFFFFFFu;
  std::uint32_t mEffectColour = 0xFFFFFFFFu;
  int mBackMode = 1;
  int mBlendMode = 0;
  float mAlpha = 1.0f;
  std::uint32_t mFlags = 0;
  int mLineHeight = 0;
  int mLineSpacing = 0;
  Gfx_GlyphRecord mGlyphs[128];
  std::vector<Gfx_GlyphRecord> mExtended; // sorted by code
  std::vector<std::uint8_t> mCoverage;    // every coverage map, back to back
  TextFont* mFont = nullptr;
};
