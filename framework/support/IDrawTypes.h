#pragma once

#include <cstdint>

class Gfx_CachedFont;
class Gfx_IBitmap;

// Colour of a control's text: alpha, red, green, blue, each 0..255.
struct IColour
{
  int32_t A = 255;
  int32_t R = 0;
  int32_t G = 0;
  int32_t B = 0;

  constexpr IColour() = default;
  constexpr IColour(int32_t a, int32_t r, int32_t g, int32_t b) : A(a), R(r), G(g), B(b) {}

  // As a pixel word 0xAARRGGBB (each channel taken to its low 8 bits).
  constexpr uint32_t Word() const
  {
    return (uint32_t(A & 0xFF) << 24) | (uint32_t(R & 0xFF) << 16) | (uint32_t(G & 0xFF) << 8) |
           uint32_t(B & 0xFF);
  }

  constexpr bool operator==(const IColour& other) const = default;
};

// The text colours every control starts with.
struct TextColourDefaults
{
  static constexpr IColour Text{255, 0, 0, 0};
  static constexpr IColour EntryBackground{255, 255, 255, 255};
  static constexpr IColour EntryText{255, 0, 0, 0};
};

// How a control's bitmaps are combined with what lies below them.
struct IBlend
{
  enum Kind : int32_t
  {
    kSourceAlpha = 0, // copy weighted by the source pixel's alpha (also every unknown kind)
    kCopy = 1,        // plain copy
    kAdd = 2,         // additive, weighted by source alpha
    kDodge = 3,       // colour dodge, weighted by source alpha
  };

  int32_t kind = kSourceAlpha;
  float alpha = 1.0f; // 1.0 opaque; a greyed control draws at 0.5

  constexpr IBlend() = default;
  constexpr IBlend(int32_t k, float a) : kind(k), alpha(a) {}
};

// A loaded image: one or more frames, stacked top to bottom unless side by side. The bitmap
// belongs to the bitmap cache; a missing image is the empty one-frame strip (no bitmap).
struct IBitmapStrip
{
  Gfx_IBitmap* bitmap = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t frames = 1;
  bool framesSideBySide = false;

  IBitmapStrip() = default;
  IBitmapStrip(Gfx_IBitmap* b, int32_t w, int32_t h, int32_t n = 1, bool sideBySide = false)
      : bitmap(b), width(w), height(h), frames(n), framesSideBySide(sideBySide)
  {
  }

  // The frame count, never below 1.
  int32_t FrameCount() const { return frames > 1 ? frames : 1; }
  // The size of one frame.
  int32_t FrameWidth() const { return framesSideBySide ? width / FrameCount() : width; }
  int32_t FrameHeight() const { return framesSideBySide ? height : height / FrameCount(); }
  // The frame (from 1) a normalised value selects: the nearest of the strip's frames, clamped.
  int32_t FrameForValue(double value) const;
};

// How a control draws text. The font is looked up in the font cache the first time the style
// draws (not owned).
struct ITextStyle
{
  enum Style : int32_t
  {
    kNormal = 0,
    kBold = 1,
    kItalic = 2
  };
  enum HAlign : int32_t
  {
    kAlignLeft = 0,
    kAlignCentre = 1,
    kAlignRight = 2
  };
  enum VAlign : int32_t
  {
    kAlignTop = 0,
    kAlignBottom = 1,
    kAlignMiddle = 2
  };
  enum Quality : int32_t
  {
    kQualityDefault = 0,
    kQualityNonAntialiased = 1,
    kQualityAntialiased = 2,
    kQualityClearType = 3
  };

  static constexpr int kFaceLength = 32;

  char face[kFaceLength] = "Consolas";
  int32_t size = 12;
  IColour colour = TextColourDefaults::Text;
  IColour entryBackground = TextColourDefaults::EntryBackground;
  IColour entryText = TextColourDefaults::EntryText;
  int32_t style = kNormal;
  int32_t hAlign = kAlignCentre;
  int32_t vAlign = kAlignMiddle;
  int32_t orientation = 0; // degrees
  int32_t quality = kQualityClearType;
  Gfx_CachedFont* font = nullptr;

  ITextStyle() = default;
  // The control defaults with another face (cut to 31 characters), size and colour.
  ITextStyle(const char* faceName, int32_t sizePx, const IColour& textColour);

  void SetFace(const char* faceName);
};

// Mouse buttons and modifier keys of a mouse event.
struct IMouseMod
{
  bool L = false; // left button
  bool R = false; // right button
  bool S = false; // shift
  bool C = false; // control
  bool A = false; // alt

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool left, bool right, bool shift = false, bool control = false, bool alt = false)
      : L(left), R(right), S(shift), C(control), A(alt)
  {
  }
};
