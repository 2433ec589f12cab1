// The walker of the user-interface document's element tree: layers and multilayers, the
// background images and the librarian view are built here, every other element by the control
// factory of its kind.
#include "config/UiDocumentWalker.h"

#include "config/ConfigReader.h"
#include "config/DocumentBounds.h"
#include "framework/controls/IBitmapControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/LibrarianViewControl.h"

#include <tinyxml2.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

// ---- attribute forms ----

std::string GetAttributeString(const tinyxml2::XMLElement* element, const char* name)
{
  const char* value = element ? element->Attribute(name) : nullptr;
  return value ? std::string(value) : std::string();
}

int ParseInt(const std::string& text)
{
  return ParseInt(std::string_view(text));
}

int ParseInt(const char* text)
{
  return text ? ParseInt(std::string_view(text)) : 0;
}

int ParseInt(std::string_view text)
{
  // As strtol in base 10 (leading white space, a sign, the digits up to the first other
  // character), without its locale and its per-call cost: the document has some 20,000 numbers.
  size_t at = 0;
  const size_t n = text.size();
  while (at < n && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
    ++at;
  bool negative = false;
  if (at < n && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at >= n || text[at] < '0' || text[at] > '9') return 0;
  // Past the int range the value only has to stay there: it is held at the range's end.
  constexpr int64_t kPastRange = int64_t(INT_MAX) + 2;
  int64_t v = 0;
  for (; at < n && text[at] >= '0' && text[at] <= '9'; ++at)
    if (v < kPastRange) v = v * 10 + (text[at] - '0');
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}

int GetIntAttribute(const tinyxml2::XMLElement* element, const char* name)
{
  const char* value = element ? element->Attribute(name) : nullptr;
  return value ? ParseInt(value) : 0;
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
// Calls use(piece) for each non-empty piece of text between delimiter characters, at most limit
// times; answers the number of non-empty pieces.
template <class Use> int ForEachPiece(const char* text, char delimiter, int limit, Use use)
{
  int pieces = 0;
  for (const char* at = text; *at;)
  {
    const char* stop = std::strchr(at, delimiter);
    if (!stop) stop = at + std::strlen(at);
    if (stop > at && pieces++ < limit) use(std::string_view(at, size_t(stop - at)));
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
  if (text)
    ForEachPiece(text, ',', count, [&](std::string_view piece) { values[filled++] = ParseInt(piece); });
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
constexpr const char* kAttributeNames[] = {
    "biDirectLink", "bounds",       "buttons",   "ccNumber",   "changingByte", "channel",
    "create",       "displaySize",  "id",        "imageId",    "inputDev",     "length",
    "lsbControl",   "lsbValue",     "msbValue",  "msgZeroVal", "name",         "nameLen",
    "overlay",      "paramGroup",   "paramId",   "position",   "sysexIndex",   "type",
    "valueBounds",  "valueDisplay", "valueList", "visible",    "white"};
constexpr int kAttributeCount = int(sizeof kAttributeNames / sizeof kAttributeNames[0]);

constexpr size_t NameLength(const char* name)
{
  size_t n = 0;
  while (name[n])
    ++n;
  return n;
}

// Where each name sits, by its length and its first letter: no two names share both, so one
// comparison tells whether an attribute is one of them.
struct NameSlots
{
  static constexpr size_t kLengths = 16;
  int8_t slot[kLengths][32] = {};
};

constexpr NameSlots MakeNameSlots()
{
  NameSlots t;
  for (auto& row : t.slot)
    for (int8_t& s : row)
      s = -1;
  for (int i = 0; i < kAttributeCount; ++i)
    t.slot[NameLength(kAttributeNames[i])][kAttributeNames[i][0] & 31] = int8_t(i);
  return t;
}

constexpr bool NameSlotsUnique()
{
  const NameSlots t = MakeNameSlots();
  for (int i = 0; i < kAttributeCount; ++i)
  {
    const size_t n = NameLength(kAttributeNames[i]);
    if (n == 0 || n >= NameSlots::kLengths || t.slot[n][kAttributeNames[i][0] & 31] != i) return false;
  }
  return true;
}
static_assert(NameSlotsUnique(), "each attribute name has a slot of its own");
static_assert(kAttributeCount == int(At::white) + 1, "one name per attribute");
constexpr NameSlots kNameSlots = MakeNameSlots();

// The attribute a name is, or -1.
int AttributeSlot(const char* name)
{
  size_t n = 0;
  while (n < NameSlots::kLengths && name[n])
    ++n;
  if (n == 0 || n >= NameSlots::kLengths) return -1;
  const int slot = kNameSlots.slot[n][name[0] & 31];
  return slot >= 0 && std::memcmp(kAttributeNames[slot], name, n) == 0 ? slot : -1;
}

class Attributes
{
public:
  explicit Attributes(const tinyxml2::XMLElement* element)
  {
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next())
      if (const int slot = AttributeSlot(a->Name()); slot >= 0 && !mValues[slot]) mValues[slot] = a->Value();
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
bool IsPartPanel(std::string_view name, std::string_view prefix)
{
  const size_t n = prefix.size();
  return name.size() == n + 1 && name.substr(0, n) == prefix && name[n] >= '0' && name[n] <= '7';
}

// The first count numbers of a list attribute.
void ReadList(const Attributes& a, At at, int32_t* values, int count)
{
  ParseIntList(a.Text(at), values, count);
}

// The list "valueList" names, copied into the element (nothing for a name no list has).
void ReadValueList(const ConfigReader& reader, const Attributes& a, ControlElement& e)
{
  if (const std::vector<std::string>* list = reader.FindValueList(a.Text(At::valueList))) e.valueList = *list;
}

// "valueDisplay": two numbers separated by ":", else (-1, -1).
void ReadValueDisplay(const Attributes& a, int (&values)[2])
{
  int read[2] = {-1, -1}, n = 0;
  const int pieces = ForEachPiece(a.Text(At::valueDisplay), ':', 2,
                                  [&](std::string_view piece) { read[n++] = ParseInt(piece); });
  values[0] = values[1] = -1;
  if (pieces != 2) return;
  values[0] = read[0];
  values[1] = read[1];
}

// The numeric attributes and their bounds: coordinates, then every other number.
struct NumberBound
{
  At at;
  int limit;
};
constexpr NumberBound kNumberBounds[] = {
    {At::position, DocumentBounds::kMaxCoordinate}, {At::bounds, DocumentBounds::kMaxCoordinate},
    {At::length, DocumentBounds::kMaxCoordinate},   {At::buttons, DocumentBounds::kMaxNumber},
    {At::ccNumber, DocumentBounds::kMaxNumber},     {At::changingByte, DocumentBounds::kMaxNumber},
    {At::channel, DocumentBounds::kMaxNumber},      {At::create, DocumentBounds::kMaxNumber},
    {At::displaySize, DocumentBounds::kMaxNumber},  {At::id, DocumentBounds::kMaxNumber},
    {At::inputDev, DocumentBounds::kMaxNumber},     {At::lsbControl, DocumentBounds::kMaxNumber},
    {At::lsbValue, DocumentBounds::kMaxNumber},     {At::msbValue, DocumentBounds::kMaxNumber},
    {At::msgZeroVal, DocumentBounds::kMaxNumber},   {At::nameLen, DocumentBounds::kMaxNumber},
    {At::sysexIndex, DocumentBounds::kMaxNumber},   {At::valueBounds, DocumentBounds::kMaxNumber},
    {At::valueDisplay, DocumentBounds::kMaxNumber}, {At::visible, DocumentBounds::kMaxNumber},
    {At::white, DocumentBounds::kMaxNumber},
};

// True when every number of the element's numeric attributes lies within its bound; else false,
// with a log line naming the element, the attribute and the number.
bool NumbersInBounds(const ConfigReader& reader, const tinyxml2::XMLElement& element, const Attributes& a)
{
  for (const NumberBound& bound : kNumberBounds)
  {
    int outside = 0;
    bool found = false;
    for (const char* at = a.Text(bound.at); *at && !found;)
    {
      const size_t n = std::strcspn(at, ",:");
      const int v = ParseInt(std::string_view(at, n));
      if (v < -bound.limit || v > bound.limit)
      {
        outside = v;
        found = true;
      }
      at += n;
      if (*at) ++at;
    }
    if (!found) continue;
    reader.Log(std::string(element.Name() ? element.Name() : "") + " " + a.Text(At::name) + ": " +
               kAttributeNames[int(bound.at)] + " " + std::to_string(outside) + " outside " +
               std::to_string(-bound.limit) + ".." + std::to_string(bound.limit) + ", NOT BUILT!");
    return false;
  }
  return true;
}
} // namespace

const char* CaptionForParentLayer(std::string_view name)
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
  std::string_view pieces[2];
  int n = 0;
  ForEachPiece(text, '+', 2, [&](std::string_view piece) { pieces[n++] = piece; });
  if (n == 0) return -1;
  const int base = reader.GetParamId(pieces[0]);
  if (base < 0) return -1;
  int64_t index = int64_t(base) + (partIndex >= 0 ? partIndex : 0);
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
// The elements the walker builds, each by its name: the builder reads the attributes its kind has
// into the element and hands it to a factory (or builds a layer or picture itself).
using ElementBuilder = void (*)(ConfigReader&, const tinyxml2::XMLElement&, const Attributes&,
                                ControlElement&);
struct ElementKind
{
  std::string_view name;
  ElementBuilder build;
};

// The factory of a "type" within a kind.
using ControlMaker = IControl* (*)(ConfigReader&, const ControlElement&);
struct ControlType
{
  std::string_view name;
  ControlMaker make;
  bool readsValueList = false; // the element's "valueList" is read before the factory runs
};

// The names are short and mostly differ in length: compared here character by character rather
// than by a call to memcmp per entry of the same length.
bool SameName(std::string_view a, std::string_view b)
{
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The tables are searched in order: the kinds and types the document has most of come first.
template <class Entry, size_t N> const Entry* FindByName(const Entry (&table)[N], std::string_view name)
{
  for (const Entry& entry : table)
    if (SameName(entry.name, name)) return &entry;
  return nullptr;
}

void BuildLibrarianView(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                        ControlElement& e)
{
  int bounds[4];
  ReadList(a, At::bounds, bounds, 4);
  const int left = reader.Scaled(bounds[0]), top = reader.Scaled(bounds[1]);
  const IRectangle rect(left, top, left + reader.Scaled(bounds[2]), top + reader.Scaled(bounds[3]));
  auto* view = new LibrarianViewControl(reader.Plug(), left, top, reader.GetImage(e.imageId), rect,
                                        reader.Librarian(), reader.UiScale());
  if (PlaceControl(reader.Graphics(), e.parent, view)) reader.SetLibrarianView(view);
}

void BuildBackground(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                     ControlElement& e)
{
  int position[2];
  ReadList(a, At::position, position, 2);
  auto* control = new IBitmapControl(reader.Plug(), reader.Scaled(position[0]), reader.Scaled(position[1]),
                                     -1, reader.GetImage(e.imageId));
  PlaceControl(reader.Graphics(), e.parent, control);
}

void BuildLayer(ConfigReader& reader, const tinyxml2::XMLElement& element, const Attributes& a,
                ControlElement& e)
{
  const std::string name = a.Text(At::name);
  auto* group = new LayerGroup(uint32_t(a.Int(At::id)), name.c_str());
  if (!PlaceGroup(reader.Graphics(), e.parent, group))
  {
    reader.Log("layer " + name + " could not be added, NOT BUILT!");
    return;
  }
  reader.RegisterLayer(name, group);
  reader.EnterLayer();
  reader.BuildElement(element.FirstChild(), group, e.partIndex);
  // After the children: the outermost layer's setting holds for everything below it, so a layer
  // inside another leaves it to that one (which sets its whole tree, this one's included).
  if (reader.LeaveLayer() == 0)
    group->SetReportDirtyWhenHidden(std::strcmp(a.Text(At::overlay), "true") == 0);
}

void BuildMultilayer(ConfigReader& reader, const tinyxml2::XMLElement& element, const Attributes& a,
                     ControlElement& e)
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
    if (!PlaceGroup(reader.Graphics(), e.parent, group))
    {
      reader.Log("multilayer " + groupName + " could not be added, NOT BUILT!");
      continue;
    }
    reader.BuildElement(element.FirstChild(), group, i);
    reader.RegisterLayer(groupName, group);
  }
}

void BuildDisplay(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a, ControlElement& e)
{
  e.name = "Display";
  ReadList(a, At::bounds, e.bounds, 4);
  int size[2];
  ReadList(a, At::displaySize, size, 2);
  e.displaySize = size[0];
  reader.CreateDisplay(e);
}

void BuildSwitch(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a, ControlElement& e)
{
  ReadList(a, At::position, e.position, 2);
  int bounds[3];
  ReadList(a, At::valueBounds, bounds, 3);
  e.valueBounds[0] = bounds[0];
  reader.CreateSwitch(e);
}

void BuildAutoOff(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a, ControlElement& e)
{
  ReadList(a, At::position, e.position, 2);
  reader.CreateAutoOffButton(e);
}

void BuildRadio(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a, ControlElement& e)
{
  ReadList(a, At::position, e.position, 2);
  e.buttons = a.Int(At::buttons);
  reader.CreateRadioButtons(e);
}

// The "dropMenu" types.
void BuildTextSelection(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes&,
                        ControlElement& e)
{
  reader.CreateTextSelection(e);
}

void BuildDeviceSelection(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                          ControlElement& e)
{
  e.name = "MIDI Setup";
  int inputDev[2];
  ReadList(a, At::inputDev, inputDev, 2);
  e.inputDev = inputDev[0];
  reader.CreateDeviceSelection(e);
}

void BuildNameSelection(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                        ControlElement& e)
{
  e.nameLen = a.Int(At::nameLen);
  reader.CreateNameSelection(e);
}

void BuildDropSelection(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                        ControlElement& e)
{
  ReadValueList(reader, a, e);
  reader.CreateDropSelection(e);
}

constexpr ElementKind kDropMenuTypes[] = {
    {"dropSelection", BuildDropSelection},
    {"nameSelection", BuildNameSelection},
    {"deviceSelection", BuildDeviceSelection},
    {"textSelection", BuildTextSelection},
};

void BuildDropMenu(ConfigReader& reader, const tinyxml2::XMLElement& element, const Attributes& a,
                   ControlElement& e)
{
  ReadList(a, At::bounds, e.bounds, 4);
  ReadList(a, At::valueBounds, e.valueBounds, 3);
  if (const ElementKind* type = FindByName(kDropMenuTypes, a.Text(At::type)))
    type->build(reader, element, a, e);
}

// The "multiFx" types.
void BuildMultiFxKnob(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                      ControlElement& e)
{
  ReadList(a, At::position, e.position, 2);
  int bounds[4];
  ReadList(a, At::valueBounds, bounds, 4);
  for (int i = 0; i < 3; ++i)
    e.valueBounds[i] = bounds[i];
  reader.CreateMultiFxKnob(e);
}

void BuildMultiFxMenu(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                      ControlElement& e)
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

constexpr ElementKind kMultiFxTypes[] = {
    {"Knob", BuildMultiFxKnob},
    {"Menu", BuildMultiFxMenu},
};

void BuildMultiFx(ConfigReader& reader, const tinyxml2::XMLElement& element, const Attributes& a,
                  ControlElement& e)
{
  ReadValueList(reader, a, e);
  if (const ElementKind* type = FindByName(kMultiFxTypes, a.Text(At::type)))
    type->build(reader, element, a, e);
}

// The types of the generic controls ("knobcontrol", "buttoncontrol", "menucontrol" and
// "slidercontrol" alike): each a factory over the same attributes.
constexpr ControlType kGenericTypes[] = {
    {"ccKnob", [](ConfigReader& r, const ControlElement& e) { return r.CreateCcKnob(e); }},
    {"msbLsbMenu", [](ConfigReader& r, const ControlElement& e) { return r.CreateMsbLsbMenu(e); }, true},
    {"msbLsbKnob", [](ConfigReader& r, const ControlElement& e) { return r.CreateMsbLsbKnob(e); }},
    {"msbLsbButton", [](ConfigReader& r, const ControlElement& e) { return r.CreateMsbLsbButton(e); }},
    {"ccMenu", [](ConfigReader& r, const ControlElement& e) { return r.CreateCcMenu(e); }, true},
    {"seKnob", [](ConfigReader& r, const ControlElement& e) { return r.CreateSeKnob(e); }},
    {"seMenu", [](ConfigReader& r, const ControlElement& e) { return r.CreateSeMenu(e); }, true},
    {"seButton", [](ConfigReader& r, const ControlElement& e) { return r.CreateSeButton(e); }},
    {"ccButton", [](ConfigReader& r, const ControlElement& e) { return r.CreateCcButton(e); }},
    {"seSliderVer", [](ConfigReader& r, const ControlElement& e) { return r.CreateSeSlider(e, false); }},
    {"seSliderHor", [](ConfigReader& r, const ControlElement& e) { return r.CreateSeSlider(e, true); }},
    {"ccSliderVer", [](ConfigReader& r, const ControlElement& e) { return r.CreateCcSlider(e, false); }},
    {"ccSliderHor", [](ConfigReader& r, const ControlElement& e) { return r.CreateCcSlider(e, true); }},
};

void BuildGenericControl(ConfigReader& reader, const tinyxml2::XMLElement&, const Attributes& a,
                         ControlElement& e)
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

  const ControlType* type = FindByName(kGenericTypes, a.Text(At::type));
  if (!type) return;
  if (type->readsValueList) ReadValueList(reader, a, e);
  type->make(reader, e);
}

constexpr ElementKind kElementKinds[] = {
    {"multiFx", BuildMultiFx},
    {"knobcontrol", BuildGenericControl},
    {"switch", BuildSwitch},
    {"dropMenu", BuildDropMenu},
    {"layer", BuildLayer},
    {"background", BuildBackground},
    {"menucontrol", BuildGenericControl},
    {"sublayer", BuildLayer},
    {"buttoncontrol", BuildGenericControl},
    {"slidercontrol", BuildGenericControl},
    {"radio", BuildRadio},
    {"multilayer", BuildMultilayer},
    {"display", BuildDisplay},
    {"autooff", BuildAutoOff},
    {"patchBrowser", BuildLibrarianView},
};
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
    const Attributes a(element);
    ControlElement e;
    e.imageId = a.Text(At::imageId);
    e.paramIdx = ResolveParamRef(*this, a.Text(At::paramId), partIndex);
    e.caption = a.Text(At::paramGroup);
    e.channel = a.Int(At::channel);
    e.name = a.Text(At::name);
    e.partIndex = partIndex;
    e.parent = parent;
    const ElementKind* kind = FindByName(kElementKinds, element->Name() ? element->Name() : "");
    // Also for an element of no kind: its "channel" still sets the part of its parameter's record.
    if (!NumbersInBounds(*this, *element, a)) continue;
    try
    {
      if (kind) kind->build(*this, *element, a, e);
    }
    catch (const std::exception& failure)
    {
      // Memory for one element that the system cannot give: that element is not built, the rest is.
      Log(std::string(element->Name()) + " " + e.name + ": " + failure.what() + ", NOT BUILT!");
      continue;
    }

    // The part the parameter's messages address: the multilayer's part, else the channel's.
    if (e.paramIdx >= 0 && mPlug)
      if (IParameter* param = mPlug->ParameterAt(e.paramIdx); param && param->MidiMap())
        param->MidiMap()->part = partIndex >= 0 ? partIndex : e.channel - 1;
  }
}
