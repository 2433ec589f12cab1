// libFuzzer target for the definition documents. The first byte chooses the form of the rest:
// even, the bytes are an enciphered resource (deciphered as the plug-in does); odd, they are the
// deciphered text itself. Its next bits choose the editor's size (normal, large, small). Both
// documents are read from it by a fresh reader: each must be read or refused whole, never
// half-applied, and nothing may crash or leak. As at the plug-in's entry point, an exception ends
// the input without a crash; the allocation limit of the fuzzer still catches a count that asks for
// gigabytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/ConfigReader.h"
#include "config/DecipherResource.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "platform/resources/ResourceTable.h"
#include "tests/support/HostlessPlug.h"

namespace
{
void Check(bool condition)
{
  if (!condition) std::abort();
}

constexpr double kScales[] = {1.0, 1.15, 0.85};

int ReadInput(const std::uint8_t* data, std::size_t size)
{
  std::string text;
  if (data[0] % 2 == 0)
    DecipherResource(data + 1, int32_t(size - 1), text);
  else
    text.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  const int scaleChoice = (data[0] >> 1) % 3;
  const double scale = kScales[scaleChoice];

  // One editor per size keeps the skin in the bitmap cache for the whole run, so each input's
  // reader finds its bitmaps there instead of decoding them again.
  static HostlessPlug keeperPlug;
  static bool kept[3] = {};
  if (!kept[scaleChoice])
  {
    static IGraphics* keepers[3] = {};
    static ConfigReader* readers[3] = {};
    keepers[scaleChoice] = new IGraphics(&keeperPlug, int(1500 * scale), int(757 * scale));
    readers[scaleChoice] = new ConfigReader;
    readers[scaleChoice]->Read(keepers[scaleChoice], &keeperPlug, nullptr, 0, scale);
    kept[scaleChoice] = true;
  }

  // Each input's reader starts from the embedded SysEx document, the images and names, and a
  // small user-interface document in place of the embedded one, whose whole editor would take a
  // tenth of a second per input.
  static const std::vector<uint8_t> small = EncipherResource(
      "<?xml version=\"1.0\"?><uiconfig><list name=\"tempoValues\">40;41</list>"
      "<layer name=\"miniMixer\" id=\"70\" x=\"0\" y=\"0\" w=\"100\" h=\"100\"/></uiconfig>");
  static const bool swapped = []
  {
    ResourceTable::Register("TEXTFILE", ConfigReader::kUiDocumentId, small);
    return true;
  }();
  (void)swapped;
  // The parameter table is shared too: each reader takes its records back when it goes.
  static HostlessPlug plug;
  IGraphics graphics(&plug, int(1500 * scale), int(757 * scale));
  {
    ConfigReader reader;
    reader.Read(&graphics, &plug, nullptr, 0, scale); // the documents in the resource table first
    const size_t sysex = reader.SysExTable().size();
    if (!reader.ReadSysExText(text)) Check(reader.SysExTable().size() == sysex);
    const int controls = graphics.NumControls();
    const int groups = graphics.NumLayerGroups();
    if (!reader.ReadUiText(text))
    {
      Check(graphics.NumControls() == controls);
      Check(graphics.NumLayerGroups() == groups);
    }
    // Lookups on whatever was read never insert.
    reader.GetValueList("tempoValues");
    reader.GetLayer("miniMixer");
    reader.ReleaseImages(&graphics);
  }
  return 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1 || size > (1u << 20)) return 0;
  try
  {
    return ReadInput(data, size);
  }
  catch (...)
  {
    return 0;
  }
}
