#include "platform/text/TextRasteriser.h"

#include <atomic>
#include <cstdio>

#include "platform/text/FreeTypeRasteriser.h"

namespace
{

std::atomic<TextRasteriser::LogSink> gSink{nullptr};

} // namespace

TextRasteriser& TextRasteriser::Default()
{
  static FreeTypeRasteriser sRasteriser;
  return sRasteriser;
}

void TextRasteriser::SetLogSink(LogSink sink)
{
  gSink.store(sink);
}

void TextRasteriser::Log(const char* line)
{
  if (LogSink sink = gSink.load())
    sink(line);
  else
    std::fprintf(stderr, "%s\n", line);
}
