#pragma once
// A text rasteriser of known glyph shapes, for tests that must know every
// coverage byte. Built-in shapes scale with the height:
//   ascent = (3 x height + 2) / 4, advance = max(1, height / 2);
//   space (32) and 160: no ink;
//   33 to 126: a solid box, columns 1 to advance - 2 (all columns when the
//     advance is below 3), rows ascent - cap to ascent - 1, cap = max(1, 2 x ascent / 3);
//   below 32 and 127 to 159: no glyph at all (advance 0);
//   161 and above: missing, drawn as the hollow missing-glyph box of the same
//     size, or nothing when the box is switched off.
// Defined glyphs replace the built-in shape of their code in fonts opened
// afterwards.

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

#include "platform/text/TextRasteriser.h"

struct SyntheticGlyph
{
  int advance = 0;
  int left = 0; // ink position in the cell: pen at x 0, top of the line at y 0
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> ink; // width x height, rows top first

  // Rows of text: '#' is 255, '+' is 128, a digit d is d x 28, anything else 0.
  static SyntheticGlyph FromRows(int advance, int left, int top, std::initializer_list<const char*> rows);
};

class SyntheticRasteriser : public TextRasteriser
{
public:
  void DefineGlyph(uint32_t code, SyntheticGlyph glyph);
  void SetMissingGlyphBox(bool present) { mMissingBox = present; }

  std::unique_ptr<TextFont> OpenFont(const TextFontRequest& request) override;

  // Characters drawn by every font this rasteriser opened (for cache tests).
  int RenderCount() const { return mRenderCount->load(); }

private:
  using Table = std::map<uint32_t, SyntheticGlyph>;
  std::shared_ptr<const Table> mGlyphs = std::make_shared<Table>();
  bool mMissingBox = true;
  std::shared_ptr<std::atomic<int>> mRenderCount = std::make_shared<std::atomic<int>>(0);
};
