#pragma once
// The text rasteriser over FreeType and the fonts installed on the system
// (DejaVu and Liberation). Faces of the product's home system map onto their
// nearest installed family; an unknown face falls back to the default
// monospace face with one log line. When no font file is installed at all,
// fonts come from the synthetic rasteriser, so a font is never null.

#include <memory>
#include <string>

#include "platform/text/TextRasteriser.h"

class FreeTypeRasteriser : public TextRasteriser
{
public:
  FreeTypeRasteriser();
  ~FreeTypeRasteriser() override;

  std::unique_ptr<TextFont> OpenFont(const TextFontRequest& request) override;

  // The font file a request resolves to ("" when none is installed), and
  // whether the face was known (a false answer means the fallback was taken).
  std::string ResolveFile(const TextFontRequest& request, bool* known = nullptr);

  struct Impl;

private:
  std::shared_ptr<Impl> mImpl;
};
