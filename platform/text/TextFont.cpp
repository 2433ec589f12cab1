#include "platform/text/TextFont.h"

#include <cstring>

namespace
{

void CopyFace(char* dst, const char* src)
{
  std::memset(dst, 0, TextFontRequest::kFaceSize);
  if (!src) return;
  const size_t n = strnlen(src, TextFontRequest::kFaceSize - 1);
  std::memcpy(dst, src, n);
}

} // namespace

TextFontRequest::TextFontRequest(const char* faceName, int h, int w, bool it, int q)
    : height(h), weight(w), italic(it), quality(q)
{
  SetFace(faceName);
}

void TextFontRequest::SetFace(const char* faceName)
{
  CopyFace(face, faceName);
}

TextFont::TextFont(const TextFontRequest& request, const char* usedFace) : mRequest(request)
{
  // The request may come from a caller that filled the array by hand.
  mRequest.face[TextFontRequest::kFaceSize - 1] = 0;
  CopyFace(mFace, usedFace);
}
