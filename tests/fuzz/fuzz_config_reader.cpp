// libFuzzer target for the definition documents. The first byte chooses the form of the rest:
// even, the bytes are an enciphered resource (deciphered as the plug-in does); odd, they are the
// deciphered text itself. Both documents are read from it by a fresh reader: each must be read or
// refused whole, never half-applied, and nothing may crash or leak.
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
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1 || size > (1u << 20)) return 0;
  std::string text;
  if (data[0] % 2 == 0)
    DecipherResource(data + 1, int32_t(size - 1), text);
  else
    text.assign(reinterpret_cast<const char*>(data + 1), size - 1);

  // One editor keeps the skin in the bitmap cache for the whole run, so each input's reader finds
  // its bitmaps there instead of decoding them again.
  static HostlessPlug keeperPlug;
  static IGraphics keeper(&keeperPlug, 1500, 757);
  static bool kept = []
  {
    static ConfigReader reader;
    reader.Read(&keeper, &keeperPlug, nullptr, 0, 1.0);
    return true;
  }();
  (void)kept;

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
  IGraphics graphics(&plug, 1500, 757);
  {
    ConfigReader reader;
    reader.Read(&graphics, &plug, nullptr, 0, 1.0); // the documents in the resource table first
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
