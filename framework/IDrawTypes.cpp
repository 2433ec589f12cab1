#include "framework/IDrawTypes.h"

#include <cstring>

ITextStyle::ITextStyle(const char* faceName, int32_t sizePx, const IColour& textColour) : size(sizePx), colour(textColour)
{
  SetFace(faceName);
}

void ITextStyle::SetFace(const char* faceName)
{
  std::memset(face, 0, sizeof(face));
  if (faceName)
    std::strncpy(face, faceName, sizeof(face) - 1);
}
