// Text drawing from cached glyphs. This platform has no native text road, so every
// string is drawn glyph by glyph, whatever the font's FontPreferNative asks for.

#include <algorithm>
#include <climits>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_IBitmap.h"

namespace
{

inline bool IsContinuation(unsigned char b)
{
  return b >= 0x80 && b <= 0xBF;
}

constexpr std::uint32_t kAlignFlags = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;

// Positions are worked out in 64 bits: rectangles may reach the ends of the int range.
int ClampInt(long long v)
{
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Walks the characters of a text: stops at a zero byte or when the length runs out.
class Utf8Reader
{
public:
  Utf8Reader(const char* text, int length) : mText(text), mLeft(length) {}

  bool Next(std::uint32_t& code)
  {
    if (mLeft == 0 || *mText == 0) return false;
    int used = 1;
    code = Gfx_DecodeUTF8Char(mText, mLeft, &used);
    mText += used;
    if (mLeft > 0) mLeft = std::max(0, mLeft - used);
    return true;
  }

private:
  const char* mText;
  int mLeft;
};

// The pen of a text walk: a line feed takes it back to the start of its line and one line on.
template <class T> struct Pen
{
  T x, y;
  T startX, startY;
  bool vertical;
  int lineStep;

  void NewLine()
  {
    if (vertical)
    {
      y = startY;
      x += lineStep;
    }
    else
    {
      x = startX;
      y += lineStep;
    }
  }
};

// Hands every glyph of the text to fn: CR is skipped, LF breaks the line (a space with
// DT_SINGLELINE), characters without a glyph are skipped.
template <class T, class Ready, class Fn>
void ForEachGlyph(const char* text, int length, bool singleLine, Pen<T>& pen, Ready ready, Fn fn)
{
  Utf8Reader reader(text, length);
  std::uint32_t code;
  while (reader.Next(code))
  {
    if (code == 13) continue;
    if (code == 10)
    {
      if (!singleLine)
      {
        pen.NewLine();
        continue;
      }
      code = 32;
    }
    if (const Gfx_GlyphRecord* g = ready(code)) fn(*g);
  }
}

} // namespace

std::uint16_t Gfx_DecodeUTF8Char(const char* text, int available, int* used)
{
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  const unsigned char b0 = s[0];
  // A sequence cut short by the length reads as its lead byte alone.
  auto has = [&](int n)
  {
    if (available >= 0 && available < n) return false;
    for (int i = 1; i < n; ++i)
      if (!IsContinuation(s[i])) return false;
    return true;
  };
  int n = 1;
  std::uint16_t code = b0;
  if (b0 >= 0xC2 && b0 <= 0xDF && has(2))
  {
    n = 2;
    code = static_cast<std::uint16_t>(((b0 & 0x1F) << 6) | (s[1] & 0x3F));
  }
  else if (b0 >= 0xE0 && b0 <= 0xEF && has(3))
  {
    n = 3;
    code = static_cast<std::uint16_t>((b0 << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
  }
  else if (b0 >= 0xF0 && b0 <= 0xF4 && has(4))
  {
    n = 4;
    code = 32; // beyond 16 bits: a space stands in
  }
  if (used) *used = n;
  return code;
}

const Gfx_GlyphRecord* Gfx_CachedFont::ReadyGlyph(std::uint32_t code)
{
  const Gfx_GlyphRecord* g = FindGlyph(code);
  if (!g || g->position == Gfx_GlyphRecord::kNotRendered)
  {
    Render(code);
    g = FindGlyph(code);
  }
  return (g && ValidCoverage(*g)) ? g : nullptr;
}

int Gfx_CachedFont::DrawString(Gfx_IBitmap* bitmap, const char* text, int length, Gfx_Rect* rect,
                               std::uint32_t flags)
{
  if (!text || !rect) return 0;
  if (!bitmap && !(flags & DT_CALCRECT)) return 0;
  // There is no native road to keep DrawNoNative for.
  flags &= ~DrawNoNative;
  std::lock_guard<std::mutex> guard(Lock());
  if (flags & DT_CALCRECT) return MeasureString(text, length, rect, flags);
  return DrawGlyphString(bitmap, text, length, *rect, flags);
}

int Gfx_CachedFont::MeasureString(const char* text, int length, Gfx_Rect* rect, std::uint32_t flags)
{
  const bool vertical = (mFlags & FontVertical) != 0;
  Pen<long long> pen{0, 0, 0, 0, vertical, mLineHeight + mLineSpacing};
  long long wide = 0, high = 0;
  ForEachGlyph(
      text, length, (flags & DT_SINGLELINE) != 0, pen,
      [this](std::uint32_t code) { return ReadyGlyph(code); },
      [&](const Gfx_GlyphRecord& g)
      {
        if (vertical)
        {
          high = std::max({high, pen.y + g.height, pen.y + g.advance});
          pen.y += g.advance;
          wide = std::max(wide, pen.x + g.width);
        }
        else
        {
          wide = std::max({wide, pen.x + g.width, pen.x + g.advance});
          pen.x += g.advance;
          high = std::max(high, pen.y + g.height);
        }
      });
  const int w = static_cast<int>(std::min<long long>(wide, 0x3FFFFFFF));
  const int h = static_cast<int>(std::min<long long>(high, 0x3FFFFFFF));
  rect->right = ClampInt(static_cast<long long>(rect->left) + w);
  rect->bottom = ClampInt(static_cast<long long>(rect->top) + h);
  return vertical ? w : h;
}

int Gfx_CachedFont::DrawGlyphString(Gfx_IBitmap* bitmap, const char* text, int length, const Gfx_Rect& rect,
                                    std::uint32_t flags)
{
  const float savedAlpha = mAlpha;
  if (flags & DrawUseColourAlpha) mAlpha = mAlpha * (static_cast<float>(mTextColour >> 24) / 255.0f);
  struct Restore
  {
    float& alpha;
    float saved;
    ~Restore() { alpha = saved; }
  } restore{mAlpha, savedAlpha};
  if (mAlpha == 0.0f) return 0;

  const bool vertical = (mFlags & FontVertical) != 0;
  const bool upward = vertical && (mFlags & FontVerticalUp) != 0;
  const bool single = (flags & DT_SINGLELINE) != 0;

  const long long left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
  long long startX = left, startY = top;
  if ((flags & kAlignFlags) || upward)
  {
    Gfx_Rect m{0, 0, 0, 0};
    MeasureString(text, length, &m, flags & DT_SINGLELINE);
    const long long mw = m.right, mh = m.bottom;
    if (flags & DT_CENTER)
      startX = (right - mw - left) / 2 + left;
    else if (flags & DT_RIGHT)
      startX = right - mw;
    if (flags & DT_VCENTER)
      startY = top + (bottom - mh - top) / 2;
    else if (flags & DT_BOTTOM)
      startY = bottom - mh;
    if (upward) startY += mh; // upward text grows from the bottom
  }

  Gfx_Rect clip{0, 0, bitmap->Width(), bitmap->Height()};
  if (!(flags & DT_NOCLIP))
    clip = Gfx_Rect{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, clip.right),
                    std::min(rect.bottom, clip.bottom)};
  if (clip.right <= clip.left || clip.bottom <= clip.top) return 0;

  Pen<long long> pen{startX, startY, startX, startY, vertical, mLineHeight + mLineSpacing};
  long long lowest = startY, rightmost = startX;
  ForEachGlyph(
      text, length, single, pen, [this](std::uint32_t code) { return ReadyGlyph(code); },
      [&](const Gfx_GlyphRecord& g)
      {
        if (upward) pen.y -= g.height;
        // A glyph whose position leaves the int range lies outside every bitmap.
        const bool drawn = pen.x == ClampInt(pen.x) && pen.y == ClampInt(pen.y) &&
                           DrawGlyphRecord(bitmap, g, static_cast<int>(pen.x), static_cast<int>(pen.y), clip);
        if (vertical)
        {
          pen.y += upward ? g.height - g.advance : g.advance;
          if (drawn) rightmost = std::max(rightmost, pen.x + g.width);
        }
        else
        {
          pen.x += g.advance;
          if (drawn) lowest = std::max(lowest, pen.y + g.height);
        }
      });
  return ClampInt(vertical ? rightmost - startX : lowest - startY);
}
