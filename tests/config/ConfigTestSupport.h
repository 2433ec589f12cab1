#pragma once

#include "config/ConfigReader.h"
#include "config/DecipherResource.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "platform/resources/ResourceTable.h"
#include "tests/support/HostlessPlug.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Puts a document, enciphered as the build does, in place of an embedded one for the life of the
// object, and puts the embedded one back afterwards.
class ScopedDocument
{
public:
  ScopedDocument(int id, const std::string& text)
      : mId(id), mSaved(ResourceTable::Find("TEXTFILE", id)), mBytes(EncipherResource(text))
  {
    ResourceTable::Register("TEXTFILE", id, mBytes);
  }
  ~ScopedDocument()
  {
    if (mSaved.empty())
      ResourceTable::Unregister("TEXTFILE", mId);
    else
      ResourceTable::Register("TEXTFILE", mId, mSaved);
  }

private:
  int mId;
  std::span<const std::uint8_t> mSaved;
  std::vector<uint8_t> mBytes;
};

// A reader whose log lines are collected (the log enabled) and which is destroyed before the plug.
struct ReaderFixture
{
  HostlessPlug plug;
  std::unique_ptr<IGraphics> graphics;
  std::vector<std::string> log;
  std::unique_ptr<ConfigReader> reader = std::make_unique<ConfigReader>();

  explicit ReaderFixture(double scale = 1.0, bool logOn = true)
      : graphics(std::make_unique<IGraphics>(&plug, int(1500 * scale), int(757 * scale)))
  {
    if (logOn) reader->SetLogSink([this](const std::string& line) { log.push_back(line); });
  }
  ~ReaderFixture()
  {
    if (reader) reader->ReleaseImages(graphics.get());
    reader.reset();
    graphics.reset();
  }

  int Count(const std::string& line) const
  {
    int n = 0;
    for (const std::string& l : log)
      n += l == line;
    return n;
  }
};
