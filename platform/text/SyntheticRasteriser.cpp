#include "platform/text/SyntheticRasteriser.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr int kDefaultHeight = 16;

class SyntheticFont : public TextFont
{
public:
  SyntheticFont(const TextFontRequest& request,
                std::shared_ptr<const std::map<uint32_t, SyntheticGlyph>> glyphs, bool missingBox,
                std::shared_ptr<std::atomic<int>> renderCount)
      : TextFont(request, request.face[0] ? request.face : "Synthetic Mono"), mGlyphs(std::move(glyphs)),
        mMissingBox(missingBox), mRenderCount(std::move(renderCount))
  {
    int h = request.height;
    if (h < 0) h = -h + (-h + 3) / 4; // an em height asks for a cell with room for the descent
    if (h == 0) h = kDefaultHeight;
    mHeight = std::min(h, 4096);
    mAscent = (3 * mHeight + 2) / 4;
    mAdvance = std::max(1, mHeight / 2);
    mCap = std::max(1, 2 * mAscent / 3);
  }

  int LineHeight() const override { return mHeight; }
  int Ascent() const override { return mAscent; }

  bool HasChar(uint32_t code) const override
  {
    if (mGlyphs->count(code)) return true;
    return code == 32 || (code >= 33 && code <= 126) || code == 160;
  }

  int CharAdvance(uint32_t code) override
  {
    auto it = mGlyphs->find(code);
    if (it != mGlyphs->end()) return it->second.advance;
    if (code < 32 || (code >= 127 && code <= 159)) return 0;
    if (HasChar(code) || mMissingBox) return mAdvance;
    return 0;
  }

  int RenderChar(uint32_t code, uint8_t* cell, int width, int height, int stride) override
  {
    const int advance = CharAdvance(code);
    if (!cell || width <= 0 || height <= 0 || stride < width) return advance;
    ++*mRenderCount;
    for (int y = 0; y < height; ++y)
      std::memset(cell + static_cast<size_t>(y) * stride, 0, width);

    auto put = [&](int x, int y, uint8_t v)
    {
      if (x < 0 || y < 0 || x >= width || y >= height) return;
      if (Request().NonAntialiased()) v = v >= 128 ? 255 : 0;
      cell[static_cast<size_t>(y) * stride + x] = v;
    };

    auto it = mGlyphs->find(code);
    if (it != mGlyphs->end())
    {
      const SyntheticGlyph& g = it->second;
      for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
        {
          const size_t i = static_cast<size_t>(y) * g.width + x;
          if (i < g.ink.size()) put(g.left + x, g.top + y, g.ink[i]);
        }
      return advance;
    }
    if (code == 32 || code == 160 || advance == 0) return advance;

    const int x0 = mAdvance >= 3 ? 1 : 0;
    const int x1 = mAdvance >= 3 ? mAdvance - 2 : mAdvance - 1;
    const int y0 = mAscent - mCap;
    const int y1 = mAscent - 1;
    const bool hollow = !HasChar(code);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (!hollow || x == x0 || x == x1 || y == y0 || y == y1) put(x, y, 255);
    return advance;
  }

private:
  std::shared_ptr<const std::map<uint32_t, SyntheticGlyph>> mGlyphs;
  bool mMissingBox;
  std::shared_ptr<std::atomic<int>> mRenderCount;
  int mHeight = 0;
  int mAscent = 0;
  int mAdvance = 0;
  int mCap = 0;
};

} // namespace

SyntheticGlyph SyntheticGlyph::FromRows(int advance, int left, int top,
                                        std::initializer_list<const char*> rows)
{
  SyntheticGlyph g;
  g.advance = advance;
  g.left = left;
  g.top = top;
  g.height = static_cast<int>(rows.size());
  for (const char* r : rows)
    g.width = std::max(g.width, static_cast<int>(std::strlen(r)));
  g.ink.assign(static_cast<size_t>(g.width) * g.height, 0);
  int y = 0;
  for (const char* r : rows)
  {
    for (int x = 0; r[x]; ++x)
    {
      const char c = r[x];
      uint8_t v = 0;
      if (c == '#')
        v = 255;
      else if (c == '+')
        v = 128;
      else if (c >= '0' && c <= '9')
        v = static_cast<uint8_t>((c - '0') * 28);
      g.ink[static_cast<size_t>(y) * g.width + x] = v;
    }
    ++y;
  }
  return g;
}

void SyntheticRasteriser::DefineGlyph(uint32_t code, SyntheticGlyph glyph)
{
  // Fonts already open keep the table they were opened with.
  auto table = std::make_shared<Table>(*mGlyphs);
  (*table)[code] = std::move(glyph);
  mGlyphs = std::move(table);
}

std::unique_ptr<TextFont> SyntheticRasteriser::OpenFont(const TextFontRequest& request)
{
  return std::make_unique<SyntheticFont>(request, mGlyphs, mMissingBox, mRenderCount);
}
