#pragma once

#include <cstdint>

class Gfx_IBitmap;
class TextFont;
struct Gfx_Rect;

// Draw flags of DrawString: the alignment and layout values of the product's home
// system, plus two of this library's own.
enum : std::uint32_t
{
  DT_CENTER = 0x1,                  // centre horizontally in the rectangle
  DT_RIGHT = 0x2,                   // align to the right edge
  DT_VCENTER = 0x4,                 // centre vertically
  DT_BOTTOM = 0x8,                  // align to the bottom edge
  DT_SINGLELINE = 0x20,             // line feeds draw as spaces
  DT_NOCLIP = 0x100,                // clip to the bitmap only
  DT_CALCRECT = 0x400,              // measure only: set the rectangle's right and bottom
  DrawUseColourAlpha = 0x40000000u, // multiply the font's alpha by the text colour's alpha
  DrawNoNative = 0x80000000u,       // never hand the text to a native text road
};

// A font that draws UTF-8 text into any bitmap.
class Gfx_IFont
{
public:
  virtual ~Gfx_IFont() = default;

  // The font handle comes from the text rasteriser (platform/text); with
  // FontOwnsHandle in the flags the font deletes it.
  virtual void AttachFont(TextFont* font, std::uint32_t flags) = 0;
  virtual std::uint32_t SetTextColour(std::uint32_t colour) = 0;
  virtual std::uint32_t SetBackColour(std::uint32_t colour) = 0;
  virtual std::uint32_t SetEffectColour(std::uint32_t colour) = 0;
  virtual int SetBackMode(int mode) = 0;
  virtual void SetBlend(int mode, float alpha) = 0;
  // Draws (or with DT_CALCRECT measures) the text in the rectangle; answers the
  // height drawn or measured (the width for vertical fonts), 0 when nothing was done.
  // A negative length reads up to the terminating zero.
  virtual int DrawString(Gfx_IBitmap* bitmap, const char* text, int length, Gfx_Rect* rect,
                         std::uint32_t flags) = 0;
  virtual std::uint32_t TextColour() const = 0;
  virtual TextFont* FontHandle() const = 0;
  virtual int LineHeight() const = 0;
};
