#include "framework/support/IDrawTypes.h"

#include <cmath>
#include <cstring>

ITextStyle::ITextStyle(const char* faceName, int32_t sizePx, const IColour& textColour)
    : size(sizePx), colour(textColour)
{
  SetFace(faceName);
}

void ITextStyle::SetFace(const char* faceName)
{
  std::memset(face, 0, sizeof(face));
  if (faceName) std::strncpy(face, faceName, sizeof(face) - 1);
}

int32_t IBitmapStrip::FrameForValue(double value) const
{
  if (frames <= 1 || !std::isfinite(value)) return 1;
  const double f = (frames - 1) * value + 0.5;
  if (f < 0.0) return 1;
  if (f >= frames) return frames;
  const int32_t frame = int32_t(f) + 1;
  return frame > frames ? frames : frame;
}
