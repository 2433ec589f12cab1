#pragma once
// The text rasteriser seam: opens fonts by face, height, weight, italic and
// quality. Two back ends: FreeType over the installed fonts, and a synthetic
// one of known glyph shapes for exact tests.

#include <memory>

#include "platform/text/TextFont.h"

class TextRasteriser
{
public:
  using LogSink = void (*)(const char* line);

  virtual ~TextRasteriser() = default;

  // Never null: a face that cannot be found falls back to the default
  // monospace face (with one log line).
  virtual std::unique_ptr<TextFont> OpenFont(const TextFontRequest& request) = 0;

  // The rasteriser the product uses (FreeType, or the synthetic one when no
  // font file is installed at all). Lives until the process ends.
  static TextRasteriser& Default();

  // Where log lines go; null restores the default (standard error).
  static void SetLogSink(LogSink sink);
  static void Log(const char* line);
};
