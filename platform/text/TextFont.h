#pragma once
// A font opened through the text rasteriser: the stand-in for a system font
// handle. It answers the line metrics and draws one character at a time into
// an 8-bit coverage cell, which the cached font of gfx/ turns into glyphs.

#include <cstdint>

// What a caller asks for. The face is copied with bounds: a name longer than
// the field is cut, never overrun.
struct TextFontRequest
{
  static constexpr int kFaceSize = 32; // 31 characters and the terminator

  char face[kFaceSize] = {};
  int height = 0;   // cell height in pixels (ascent + descent); negative: em height
  int weight = 400; // 400 normal, 700 bold; 600 and above draw bold
  bool italic = false;
  int quality = 0; // 0 default, 1 not anti-aliased, 2 anti-aliased, 3 sub-pixel (drawn grey)

  TextFontRequest() = default;
  TextFontRequest(const char* faceName, int h, int w = 400, bool it = false, int q = 0);

  void SetFace(const char* faceName);
  bool NonAntialiased() const { return quality == 1; }
  bool Bold() const { return weight >= 600; }
};

class TextFont
{
public:
  virtual ~TextFont() = default;

  // The face that was asked for (bounded copy) and the face actually used.
  const char* RequestedFace() const { return mRequest.face; }
  const char* Face() const { return mFace; }
  const TextFontRequest& Request() const { return mRequest; }

  // Cell height of a line: ascent + descent (what the text metrics call the height).
  virtual int LineHeight() const = 0;
  // Pixels from the top of the cell to the baseline.
  virtual int Ascent() const = 0;
  int Descent() const { return LineHeight() - Ascent(); }

  // True when the font has a glyph of its own for this character.
  virtual bool HasChar(uint32_t code) const = 0;

  // How far the pen moves after the character, in whole pixels. A character
  // the font lacks answers the missing-glyph box's advance, or 0 when the font
  // has no such box. Control characters answer 0.
  virtual int CharAdvance(uint32_t code) = 0;

  // Clears the cell (width x height bytes, rows `stride` bytes apart) to 0 and
  // draws the character into it with the pen at x 0 and the top of the line at
  // y 0, clipped to the cell; 255 is full ink. Answers the advance, as
  // CharAdvance. A null cell or an empty size draws nothing.
  virtual int RenderChar(uint32_t code, uint8_t* cell, int width, int height, int stride) = 0;

protected:
  TextFont(const TextFontRequest& request, const char* usedFace);

private:
  TextFontRequest mRequest;
  char mFace[TextFontRequest::kFaceSize] = {};
};
