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

// ---- attribute forms ----

std::string GetAttributeString(const tinyxml2::XMLElement* element, const char* name)
{
  const char* value = element ? element->Attribute(name) : nullptr;
  return value ? std::string(value) : std::string();
}

int ParseInt(const std::string& text)
{
  const char* start = text.c_str();
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

void ParseIntList(const std::string& text, int32_t* values, int count)
{
  if (!values) return;
  const std::vector<std::string> pieces = SplitString(text, ",");
  for (int i = 0; i < count; ++i)
    values[i] = size_t(i) < pieces.size() ? ParseInt(pieces[size_t(i)]) : 0;
}

const tinyxml2::XMLElement* FindNextSiblingElement(const tinyxml2::XMLNode* node)
{
  return node ? node->NextSiblingElement() : nullptr;
}

namespace
{
// "<prefix>0" .. "<prefix>7".
bool IsPartPanel(const std::string& name, const char* prefix)
{
  const size_t n = std::strlen(prefix);
  return name.size() == n + 1 && name.compare(0, n, prefix) == 0 && name[n] >= '0' && name[n] <= '7';
}

// The first count numbers of a list attribute.
void ReadList(const tinyxml2::XMLElement* element, const char* name, int32_t* values, int count)
{
  ParseIntList(GetAttributeString(element, name), values, count);
}

// "valueDisplay": two numbers separated by ":", else (-1, -1).
void ReadValueDisplay(const tinyxml2::XMLElement* element, int (&values)[2])
{
  const std::vector<std::string> pieces = SplitString(GetAttributeString(element, "valueDisplay"), ":");
  values[0] = values[1] = -1;
  if (pieces.size() != 2) return;
  values[0] = ParseInt(pieces[0]);
  values[1] = ParseInt(pieces[1]);
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
int ResolveParamRef(const ConfigReader& reader, const std::string& text, int partIndex)
{
  if (text.empty()) return -1;
  const std::vector<std::string> pieces = SplitString(text, "+");
  if (pieces.empty()) return -1;
  const int base = reader.GetParamId(pieces[0]);
  if (base < 0) return -1;
  long index = long(base) + (partIndex >= 0 ? partIndex : 0);
  if (pieces.size() > 1) index += ParseInt(pieces[1]);
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
  link.first = ResolveParamRef(*this, pieces[0], partIndex);
  link.second = ResolveParamRef(*this, pieces[1], partIndex);
  link.third = pieces.size() == 3 ? ParseInt(pieces[2]) : -1;
  return link;
}

namespace
{
void BuildGenericControl(ConfigReader& reader, const tinyxml2::XMLElement* element, const std::string& type,
                         ControlElement& e);
void BuildLibrarianView(ConfigReader& reader, const tinyxml2::XMLElement* element, const ControlElement& e)
{
  int bounds[4];
  ReadList(element, "bounds", bounds, 4);
  const int left = reader.Scaled(bounds[0]), top = reader.Scaled(bounds[1]);
  const IRectangle rect(left, top, left + reader.Scaled(bounds[2]), top + reader.Scaled(bounds[3]));
  auto* view = new LibrarianViewControl(reader.Plug(), left, top, reader.GetImage(e.imageId), rect,
                                        reader.Librarian(), reader.UiScale());
  if (PlaceControl(reader.Graphics(), e.parent, view)) reader.SetLibrarianView(view);
}

void BuildLayer(ConfigReader& reader, const tinyxml2::XMLElement* element, LayerGroup* parent, int partIndex)
{
  const std::string name = GetAttributeString(element, "name");
  auto* group = new LayerGroup(uint32_t(GetIntAttribute(element, "id")), name.c_str());
  if (!PlaceGroup(reader.Graphics(), parent, group))
  {
    reader.Log("layer " + name + " could not be added, NOT BUILT!");
    return;
  }
  reader.RegisterLayer(name, group);
  reader.BuildElement(element->FirstChild(), group, partIndex);
  // After the children: the outermost layer's setting holds for everything below it.
  group->SetReportDirtyWhenHidden(GetAttributeString(element, "overlay") == "true");
}

void BuildMultilayer(ConfigReader& reader, const tinyxml2::XMLElement* element, LayerGroup* parent)
{
  const std::string name = GetAttributeString(element, "name");
  int create = GetIntAttribute(element, "create");
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

void BuildControl(ConfigReader& reader, const tinyxml2::XMLElement* element, const std::string& kind,
                  ControlElement& e)
{
  const std::string type = GetAttributeString(element, "type");
  if (kind == "display")
  {
    e.name = "Display";
    ReadList(element, "bounds", e.bounds, 4);
    int size[2];
    ReadList(element, "displaySize", size, 2);
    e.displaySize = size[0];
    reader.CreateDisplay(e);
  }
  else if (kind == "switch")
  {
    ReadList(element, "position", e.position, 2);
    int bounds[3];
    ReadList(element, "valueBounds", bounds, 3);
    e.valueBounds[0] = bounds[0];
    reader.CreateSwitch(e);
  }
  else if (kind == "autooff")
  {
    ReadList(element, "position", e.position, 2);
    reader.CreateAutoOffButton(e);
  }
  else if (kind == "dropMenu")
  {
    ReadList(element, "bounds", e.bounds, 4);
    ReadList(element, "valueBounds", e.valueBounds, 3);
    if (type == "textSelection")
      reader.CreateTextSelection(e);
    else if (type == "deviceSelection")
    {
      e.name = "MIDI Setup";
      int inputDev[2];
      ReadList(element, "inputDev", inputDev, 2);
      e.inputDev = inputDev[0];
      reader.CreateDeviceSelection(e);
    }
    else if (type == "nameSelection")
    {
      e.nameLen = GetIntAttribute(element, "nameLen");
      reader.CreateNameSelection(e);
    }
    else if (type == "dropSelection")
    {
      e.valueList = reader.GetValueList(GetAttributeString(element, "valueList"));
      reader.CreateDropSelection(e);
    }
  }
  else if (kind == "multiFx")
  {
    e.valueList = reader.GetValueList(GetAttributeString(element, "valueList"));
    if (type == "Knob")
    {
      ReadList(element, "position", e.position, 2);
      int bounds[4];
      ReadList(element, "valueBounds", bounds, 4);
      for (int i = 0; i < 3; ++i)
        e.valueBounds[i] = bounds[i];
      reader.CreateMultiFxKnob(e);
    }
    else if (type == "Menu")
    {
      ReadList(element, "position", e.position, 4);
      ReadList(element, "valueBounds", e.valueBounds, 3);
      int visible[2];
      ReadList(element, "visible", visible, 2);
      e.visible = visible[0];
      ReadValueDisplay(element, e.valueDisplay);
      e.white = GetIntAttribute(element, "white") != 0;
      reader.CreateMultiFxMenu(e);
    }
  }
  else if (kind == "radio")
  {
    ReadList(element, "position", e.position, 2);
    e.buttons = GetIntAttribute(element, "buttons");
    reader.CreateRadioButtons(e);
  }
  else if (kind == "knobcontrol" || kind == "buttoncontrol" || kind == "menucontrol" ||
           kind == "slidercontrol")
    BuildGenericControl(reader, element, type, e);
}

void BuildGenericControl(ConfigReader& reader, const tinyxml2::XMLElement* element, const std::string& type,
                         ControlElement& e)
{
  ReadList(element, "position", e.position, 3);
  e.length = GetIntAttribute(element, "length");
  ReadList(element, "valueBounds", e.valueBounds, 4);
  e.changingByte = GetIntAttribute(element, "changingByte");
  e.link = reader.ParseBiDirectLink(GetAttributeString(element, "biDirectLink"), e.partIndex);
  ReadValueDisplay(element, e.valueDisplay);
  e.ccNumber = GetIntAttribute(element, "ccNumber");
  e.msbValue = GetIntAttribute(element, "msbValue");
  e.lsbValue = GetIntAttribute(element, "lsbValue");
  e.lsbControl = GetIntAttribute(element, "lsbControl");
  e.sysexIndex = GetIntAttribute(element, "sysexIndex");
  e.msgZeroVal = GetIntAttribute(element, "msgZeroVal");
  // "color" is read by the document's authors' tools only; it changes nothing here.
  if (e.parent && e.paramIdx >= 0)
    if (const char* caption = CaptionForParentLayer(e.parent->Name() ? e.parent->Name() : ""))
      e.caption = caption;

  const bool wantsList = type == "msbLsbMenu" || type == "seMenu" || type == "ccMenu";
  if (wantsList) e.valueList = reader.GetValueList(GetAttributeString(element, "valueList"));
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
    const std::string kind = element->Name() ? element->Name() : "";
    ControlElement e;
    e.imageId = GetAttributeString(element, "imageId");
    e.paramIdx = ResolveParamRef(*this, GetAttributeString(element, "paramId"), partIndex);
    e.caption = GetAttributeString(element, "paramGroup");
    e.channel = GetIntAttribute(element, "channel");
    e.name = GetAttributeString(element, "name");
    e.partIndex = partIndex;
    e.parent = parent;

    if (kind == "patchBrowser")
      BuildLibrarianView(*this, element, e);
    else if (kind == "layer" || kind == "sublayer")
      BuildLayer(*this, element, parent, partIndex);
    else if (kind == "multilayer")
      BuildMultilayer(*this, element, parent);
    else if (kind == "background")
    {
      int position[2];
      ReadList(element, "position", position, 2);
      auto* control =
          new IBitmapControl(mPlug, Scaled(position[0]), Scaled(position[1]), -1, GetImage(e.imageId));
      PlaceControl(mGraphics, parent, control);
    }
    else
      BuildControl(*this, element, kind, e);

    // The part the parameter's messages address: the multilayer's part, else the channel's.
    if (e.paramIdx >= 0 && mPlug)
      if (IParameter* param = mPlug->ParameterAt(e.paramIdx); param && param->MidiMap())
        param->MidiMap()->part = partIndex >= 0 ? partIndex : e.channel - 1;
  }
}
