// The walker of the user-interface document's element tree: layers and multilayers, the
// background images and the librarian view are built here, every other element by the control
// factory of its kind.
#include "config/UiDocumentWalker.h"

#include "config/ConfigReader.h"
#include "framework/controls/IBitmapControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/LibrarianViewControl.h"

#include <tinyxml2.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

// ---- attribute forms ----

std::string GetAttributeString(const tinyxml2::XMLElement* element, const char* name)
{
  const char* value = element ? element->Attribute(name) : nullptr;
  return value ? std::string(value) : std::string();
}

int ParseInt(const std::string& text)
{
  return ParseInt(text.c_str());
}

int ParseInt(const char* start)
{
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(start, &end, 10);
  if (end == start) return 0;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}

int GetIntAttribute(const tinyxml2::XMLElement* element, const char* name)
{
  return ParseInt(GetAttributeString(element, name));
}

std::vector<std::string> SplitString(const std::string& text, const char* delimiters)
{
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size())
  {
    const size_t end = text.find_first_of(delimiters, start);
    const size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > start) pieces.push_back(text.substr(start, stop - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return pieces;
}

namespace
{
// Calls use(start) for each non-empty piece of text between delimiter characters, at most limit
// times; answers the number of non-empty pieces. A number read from a piece's start stops at the
// delimiter, as one read from the piece alone.
template <class Use> int ForEachPiece(const char* text, char delimiter, int limit, Use use)
{
  int pieces = 0;
  for (const char* at = text; *at;)
  {
    const char* stop = std::strchr(at, delimiter);
    if (!stop) stop = at + std::strlen(at);
    if (stop > at && pieces++ < limit) use(at);
    if (!*stop) break;
    at = stop + 1;
  }
  return pieces;
}
} // namespace

void ParseIntList(const std::string& text, int32_t* values, int count)
{
  ParseIntList(text.c_str(), values, count);
}

void ParseIntList(const char* text, int32_t* values, int count)
{
  if (!values) return;
  int filled = 0;
  if (text) ForEachPiece(text, ',', count, [&](const char* piece) { values[filled++] = ParseInt(piece); });
  for (int i = filled; i < count; ++i)
    values[i] = 0;
}

const tinyxml2::XMLElement* FindNextSiblingElement(const tinyxml2::XMLNode* node)
{
  return node ? node->NextSiblingElement() : nullptr;
}

namespace
{
// The attributes the walker reads. Each element's are found in one pass over its attributes
// (the first of a repeated name wins, as a lookup by name answers) rather than one search per
// name: the document has some 3,000 elements of a dozen attributes each.
enum class At
{
  biDirectLink,
  bounds,
  buttons,
  ccNumber,
  changingByte,
  channel,
  create,
  displaySize,
  id,
  imageId,
  inputDev,
  length,
  lsbControl,
  lsbValue,
  msbValue,
  msgZeroVal,
  name,
  nameLen,
  overlay,
  paramGroup,
  paramId,
  position,
  sysexIndex,
  type,
  valueBounds,
  valueDisplay,
  valueList,
  visible,
  white,
};
constexpr const char* kAttributeNames[] = {"biDirectLink", "bounds", "buttons", "ccNumber", "changingByte", "channel", "create", "displaySize", "id", "imageId", "inputDev", "length", "lsbControl", "lsbValue", "msbValue", "msgZeroVal", "name", "nameLen", "overlay", "paramGroup", "paramId", "position", "sysexIndex", "type", "valueBounds", "valueDisplay", "valueList", "visible", "white"};
constexpr int kAttributeCount = int(sizeof kAttributeNames / sizeof kAttributeNames[0]);

constexpr int Compare(const char* a, const char* b)
{
  while (*a && *a == *b)
    ++a, ++b;
  return int(static_cast<unsigned char>(*a)) - int(static_cast<unsigned char>(*b));
}

constexpr bool NamesSorted()
{
  for (int i = 1; i < kAttributeCount; ++i)
    if (Compare(kAttributeNames[i - 1], kAttributeNames[i]) >= 0) return false;
  return true;
}
static_assert(NamesSorted(), "the attribute names are searched by halving");
static_assert(kAttributeCount == int(At::white) + 1, "one name per attribute");

class Attributes
{
public:
  explicit Attributes(const tinyxml2::XMLElement* element)
  {
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next())
    {
      const char* name = a->Name();
      int low = 0, high = kAttributeCount;
      while (low < high)
      {
        const int mid = (low + high) / 2;
        const int order = std::strcmp(kAttributeNames[mid], name);
        if (order == 0)
        {
          if (!mValues[mid]) mValues[mid] = a->Value();
          break;
        }
        if (order < 0)
          low = mid + 1;
        else
          high = mid;
      }
    }
  }

  // The value; the empty text when absent.
  const char* Text(At at) const { return mValues[int(at)] ? mValues[int(at)] : ""; }
  // As GetIntAttribute.
  int Int(At at) const { return ParseInt(Text(at)); }

private:
  const char* mValues[kAttributeCount] = {};
};
} // namespace

namespace
{
// "<prefix>0" .. "<prefix>7".
bool IsPartPanel(const std::string& name, const char* prefix)
{
  const size_t n = std::strlen(prefix);
  return name.size() == n + 1 && name.compare(0, n, prefix) == 0 && name[n] >= '0' && name[n] <= '7';
}

// The first count numbers of a list attribute.
void ReadList(const Attributes& a, At at, int32_t* values, int count)
{
  ParseIntList(a.Text(at), values, count);
}

// "valueDisplay": two numbers separated by ":", else (-1, -1).
void ReadValueDisplay(const Attributes& a, int (&values)[2])
{
  int read[2] = {-1, -1}, n = 0;
  const int pieces = ForEachPiece(a.Text(At::valueDisplay), ':', 2, [&](const char* piece) { read[n++] = ParseInt(piece); });
  values[0] = values[1] = -1;
  if (pieces != 2) return;
  values[0] = read[0];
  values[1] = read[1];
}
} // namespace

const char* CaptionForParentLayer(const std::string& name)
{
  if (IsPartPanel(name, "effects2Panel") || name == "effectsUsed") return "Effects";
  if (IsPartPanel(name, "effects1Panel") || name == "lfo1destination1" || name == "lfo1destination2" ||
      name == "lfo1destination3" || name == "lfo1destination4")
    return "LFOs / Mod Matrix";
  if (IsPartPanel(name, "filtersEnvelopesPanel")) return "Filter / Envelopes";
  if (IsPartPanel(name, "oscillatorsPanel") || name == "o1pw" || name == "o2pw" || name == "o3pw")
    return "Oscillators";
  if (IsPartPanel(name, "sequencerPanel")) return "Arpeggiator";
  return nullptr;
}

// ---- parameter references ----

namespace
{
// A parameter name, optionally followed by "+" and a decimal offset; the part index (inside a
// multilayer) is added too. -1 for an empty reference or an unregistered name.
int ResolveParamRef(const ConfigReader& reader, const char* text, int partIndex)
{
  // The pieces between "+", empty ones dropped: the name, then the offset.
  std::string pieces[2];
  int n = 0;
  ForEachPiece(text, '+', 2, [&](const char* piece) { pieces[n++].assign(piece, std::strcspn(piece, "+")); });
  if (n == 0) return -1;
  const int base = reader.GetParamId(pieces[0]);
  if (base < 0) return -1;
  long index = long(base) + (partIndex >= 0 ? partIndex : 0);
  if (n > 1) index += ParseInt(pieces[1]);
  // An offset that leaves the int range names no parameter.
  return index < 0 || index > INT_MAX ? -1 : int(index);
}

// Appends a control to the parent layer, or to the editor at the top level. False when it could
// not be placed (the control is then deleted).
bool PlaceControl(IGraphics* graphics, LayerGroup* parent, IControl* control)
{
  if (parent) return parent->AddControl(control) >= 0;
  if (graphics) return graphics->AddControl(control) >= 0;
  delete control;
  return false;
}

bool PlaceGroup(IGraphics* graphics, LayerGroup* parent, LayerGroup* group)
{
  if (parent) return parent->AddChildGroup(group) >= 0;
  if (graphics) return graphics->AddLayerGroup(group) >= 0;
  delete group;
  return false;
}
} // namespace

IntTriple ConfigReader::ParseBiDirectLink(const std::string& text, int partIndex)
{
  const std::vector<std::string> pieces = SplitString(text, ",");
  IntTriple link;
  if (pieces.size() < 2) return link;
  link.first = ResolveParamRef(*this, pieces[0].c_str(), partIndex);
  link.second = ResolveParamRef(*this, pieces[1].c_str(), partIndex);
  link.third = pieces.size() == 3 ? ParseInt(pieces[2]) : -1;
  return link;
}

namespace
{
void BuildGenericControl(ConfigReader& reader, const Attributes& a, std::string_view type, ControlElement& e);
void BuildLibrarianView(ConfigReader& reader, const Attributes& a, const ControlElement& e)
{
  int bounds[4];
  ReadList(a, At::bounds, bounds, 4);
  const int left = reader.Scaled(bounds[0]), top = reader.Scaled(bounds[1]);
  const IRectangle rect(left, top, left + reader.Scaled(bounds[2]), top + reader.Scaled(bounds[3]));
  auto* view = new LibrarianViewControl(reader.Plug(), left, top, reader.GetImage(e.imageId), rect,
                                        reader.Librarian(), reader.UiScale());
  if (PlaceControl(reader.Graphics(), e.parent, view)) reader.SetLibrarianView(view);
}

void BuildLayer(ConfigReader& reader, const tinyxml2::XMLElement* element, const Attributes& a, LayerGroup* parent,
                int partIndex)
{
  const std::string name = a.Text(At::name);
  auto* group = new LayerGroup(uint32_t(a.Int(At::id)), name.c_str());
  if (!PlaceGroup(reader.Graphics(), parent, group))
  {
    reader.Log("layer " + name + " could not be added, NOT BUILT!");
    return;
  }
  reader.RegisterLayer(name, group);
  reader.BuildElement(element->FirstChild(), group, partIndex);
  // After the children: the outermost layer's setting holds for everything below it.
  group->SetReportDirtyWhenHidden(std::strcmp(a.Text(At::overlay), "true") == 0);
}

void BuildMultilayer(ConfigReader& reader, const tinyxml2::XMLElement* element, const Attributes& a,
                     LayerGroup* parent)
{
  const std::string name = a.Text(At::name);
  int create = a.Int(At::create);
  // One group per part: a larger count would address the parameters of other names.
  if (create > kPartCount)
  {
    reader.Log("multilayer " + name + ": create " + std::to_string(create) + " held at " +
               std::to_string(kPartCount));
    create = kPartCount;
  }
  for (int i = 0; i < create; ++i)
  {
    const std::string groupName = name + std::to_string(i);
    auto* group = new LayerGroup(uint32_t(i), groupName.c_str());
    group->SetPartCopy(i); // shown while its part is the one chosen
    // Placed before its children are built, so that a group that could not be placed leaves no
    // registered layer behind.
    if (!PlaceGroup(reader.Graphics(), parent, group))
    {
      reader.Log("multilayer " + groupName + " could not be added, NOT BUILT!");
      continue;
    }
    reader.BuildElement(element->FirstChild(), group, i);
    reader.RegisterLayer(groupName, group);
  }
}

void BuildControl(ConfigReader& reader, const Attributes& a, std::string_view kind, ControlElement& e)
{
  const std::string_view type = a.Text(At::type);
  if (kind == "display")
  {
    e.name = "Display";
    ReadList(a, At::bounds, e.bounds, 4);
    int size[2];
    ReadList(a, At::displaySize, size, 2);
    e.displaySize = size[0];
    reader.CreateDisplay(e);
  }
  else if (kind == "switch")
  {
    ReadList(a, At::position, e.position, 2);
    int bounds[3];
    ReadList(a, At::valueBounds, bounds, 3);
    e.valueBounds[0] = bounds[0];
    reader.CreateSwitch(e);
  }
  else if (kind == "autooff")
  {
    ReadList(a, At::position, e.position, 2);
    reader.CreateAutoOffButton(e);
  }
  else if (kind == "dropMenu")
  {
    ReadList(a, At::bounds, e.bounds, 4);
    ReadList(a, At::valueBounds, e.valueBounds, 3);
    if (type == "textSelection")
      reader.CreateTextSelection(e);
    else if (type == "deviceSelection")
    {
      e.name = "MIDI Setup";
      int inputDev[2];
      ReadList(a, At::inputDev, inputDev, 2);
      e.inputDev = inputDev[0];
      reader.CreateDeviceSelection(e);
    }
    else if (type == "nameSelection")
    {
      e.nameLen = a.Int(At::nameLen);
      reader.CreateNameSelection(e);
    }
    else if (type == "dropSelection")
    {
      e.valueList = reader.GetValueList(a.Text(At::valueList));
      reader.CreateDropSelection(e);
    }
  }
  else if (kind == "multiFx")
  {
    e.valueList = reader.GetValueList(a.Text(At::valueList));
    if (type == "Knob")
    {
      ReadList(a, At::position, e.position, 2);
      int bounds[4];
      ReadList(a, At::valueBounds, bounds, 4);
      for (int i = 0; i < 3; ++i)
        e.valueBounds[i] = bounds[i];
      reader.CreateMultiFxKnob(e);
    }
    else if (type == "Menu")
    {
      ReadList(a, At::position, e.position, 4);
      ReadList(a, At::valueBounds, e.valueBounds, 3);
      int visible[2];
      ReadList(a, At::visible, visible, 2);
      e.visible = visible[0];
      ReadValueDisplay(a, e.valueDisplay);
      e.white = a.Int(At::white) != 0;
      reader.CreateMultiFxMenu(e);
    }
  }
  else if (kind == "radio")
  {
    ReadList(a, At::position, e.position, 2);
    e.buttons = a.Int(At::buttons);
    reader.CreateRadioButtons(e);
  }
  else if (kind == "knobcontrol" || kind == "buttoncontrol" || kind == "menucontrol" ||
           kind == "slidercontrol")
    BuildGenericControl(reader, a, type, e);
}

void BuildGenericControl(ConfigReader& reader, const Attributes& a, std::string_view type, ControlElement& e)
{
  ReadList(a, At::position, e.position, 3);
  e.length = a.Int(At::length);
  ReadList(a, At::valueBounds, e.valueBounds, 4);
  e.changingByte = a.Int(At::changingByte);
  e.link = reader.ParseBiDirectLink(a.Text(At::biDirectLink), e.partIndex);
  ReadValueDisplay(a, e.valueDisplay);
  e.ccNumber = a.Int(At::ccNumber);
  e.msbValue = a.Int(At::msbValue);
  e.lsbValue = a.Int(At::lsbValue);
  e.lsbControl = a.Int(At::lsbControl);
  e.sysexIndex = a.Int(At::sysexIndex);
  e.msgZeroVal = a.Int(At::msgZeroVal);
  // "color" is read by the document's authors' tools only; it changes nothing here.
  if (e.parent && e.paramIdx >= 0)
    if (const char* caption = CaptionForParentLayer(e.parent->Name() ? e.parent->Name() : ""))
      e.caption = caption;

  const bool wantsList = type == "msbLsbMenu" || type == "seMenu" || type == "ccMenu";
  if (wantsList) e.valueList = reader.GetValueList(a.Text(At::valueList));
  if (type == "seKnob")
    reader.CreateSeKnob(e);
  else if (type == "seSliderVer" || type == "seSliderHor")
    reader.CreateSeSlider(e, type == "seSliderHor");
  else if (type == "seButton")
    reader.CreateSeButton(e);
  else if (type == "ccSliderVer" || type == "ccSliderHor")
    reader.CreateCcSlider(e, type == "ccSliderHor");
  else if (type == "ccKnob")
    reader.CreateCcKnob(e);
  else if (type == "ccButton")
    reader.CreateCcButton(e);
  else if (type == "msbLsbKnob")
    reader.CreateMsbLsbKnob(e);
  else if (type == "msbLsbButton")
    reader.CreateMsbLsbButton(e);
  else if (type == "msbLsbMenu")
    reader.CreateMsbLsbMenu(e);
  else if (type == "seMenu")
    reader.CreateSeMenu(e);
  else if (type == "ccMenu")
    reader.CreateCcMenu(e);
}
} // namespace

// ---- the walk ----

void ConfigReader::BuildElement(const tinyxml2::XMLNode* node, LayerGroup* parent, int partIndex)
{
  // Siblings by a loop, children by recursion: the document parser refuses nesting deeper than
  // its own limit, so the stack stays bounded.
  const tinyxml2::XMLElement* element = node ? node->ToElement() : nullptr;
  if (node && !element) element = FindNextSiblingElement(node);
  for (; element; element = FindNextSiblingElement(element))
  {
    const std::string_view kind = element->Name() ? element->Name() : "";
    const Attributes a(element);
    ControlElement e;
    e.imageId = a.Text(At::imageId);
    e.paramIdx = ResolveParamRef(*this, a.Text(At::paramId), partIndex);
    e.caption = a.Text(At::paramGroup);
    e.channel = a.Int(At::channel);
    e.name = a.Text(At::name);
    e.partIndex = partIndex;
    e.parent = parent;

    if (kind == "patchBrowser")
      BuildLibrarianView(*this, a, e);
    else if (kind == "layer" || kind == "sublayer")
      BuildLayer(*this, element, a, parent, partIndex);
    else if (kind == "multilayer")
      BuildMultilayer(*this, element, a, parent);
    else if (kind == "background")
    {
      int position[2];
      ReadList(a, At::position, position, 2);
      auto* control =
          new IBitmapControl(mPlug, Scaled(position[0]), Scaled(position[1]), -1, GetImage(e.imageId));
      PlaceControl(mGraphics, parent, control);
    }
    else
      BuildControl(*this, a, kind, e);

    // The part the parameter's messages address: the multilayer's part, else the channel's.
    if (e.paramIdx >= 0 && mPlug)
      if (IParameter* param = mPlug->ParameterAt(e.paramIdx); param && param->MidiMap())
        param->MidiMap()->part = partIndex >= 0 ? partIndex : e.channel - 1;
  }
}
