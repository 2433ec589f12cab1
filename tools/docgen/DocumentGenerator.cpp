#include "tools/docgen/DocumentGenerator.h"

#include <set>

static const char* const kPanDelayLayers[] = {"miniMixerDelayPart", "partPanning"};

DocumentGenerator::DocumentGenerator(const Layout& layout, const ValueLists& lists, const SysExEntries& sysex)
    : mLayout(layout), mLists(lists), mSysExEntries(sysex)
{
}

const std::map<std::string, int>& DocumentGenerator::ParameterIndex()
{
  static const std::map<std::string, int> names = {
#define VELK_PARAM(name, index) {#name, index},
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
  };
  return names;
}

bool DocumentGenerator::ImageExists(const std::string& name)
{
  static const std::set<std::string> images = {
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme) #name,
#include "config/ImageTable.def"
#undef VELK_IMAGE
  };
  return images.count(name) != 0;
}

std::string DocumentGenerator::DisplayName(const std::string& paramName)
{
  std::string s = paramName.size() > 1 && paramName[0] == 'k' ? paramName.substr(1) : paramName;
  std::string out;
  for (size_t i = 0; i < s.size(); ++i)
  {
    char c = s[i], p = i ? s[i - 1] : ' ';
    bool upper = c >= 'A' && c <= 'Z', digit = c >= '0' && c <= '9';
    bool pLower = p >= 'a' && p <= 'z', pDigit = p >= '0' && p <= '9', pUpper = p >= 'A' && p <= 'Z';
    // An upper-case run ends before the capital that starts the next word ("FXRouting": "FX Routing").
    bool nLower = i + 1 < s.size() && s[i + 1] >= 'a' && s[i + 1] <= 'z';
    if (i && ((upper && (pLower || pDigit || (pUpper && nLower))) || (digit && !pDigit))) out += ' ';
    out += c;
  }
  return out;
}

static std::string Escape(const std::string& s)
{
  std::string o;
  for (char c : s)
  {
    switch (c)
    {
    case '&':
      o += "&amp;";
      break;
    case '<':
      o += "&lt;";
      break;
    case '>':
      o += "&gt;";
      break;
    case '"':
      o += "&quot;";
      break;
    default:
      o += c;
    }
  }
  return o;
}

static std::string Attr(const std::string& key, const std::string& value)
{
  return " " + key + "=\"" + Escape(value) + "\"";
}
static std::string Attr(const std::string& key, int value)
{
  return Attr(key, std::to_string(value));
}

void DocumentGenerator::Line(int depth, const std::string& text)
{
  mUi += std::string(depth * 2, ' ') + text + "\n";
}

void DocumentGenerator::Fail(const BindingRow& row, const std::string& what)
{
  mErrors.push_back("bindings.tsv:" + std::to_string(row.line) + " (" + row.name + "): " + what);
}

bool DocumentGenerator::Generate()
{
  mUi.clear();
  mSysEx.clear();
  mErrors.clear();
  mEmitted.clear();
  const auto& names = ParameterIndex();
  for (const BindingRow& row : mLayout.Bindings().Rows())
  {
    auto it = names.find(row.name);
    if (it == names.end())
    {
      Fail(row, "is not a parameter name");
      continue;
    }
    bool perPart = row.parts == 8;
    if (row.image != "-" && !ImageExists(row.image))
      Fail(row, "image " + row.image + " is not in the image table");
    if (row.list != "-")
    {
      const std::vector<std::string>* list = mLists.Find(row.list);
      if (!list)
      {
        Fail(row, "value list " + row.list + " is not in lists.txt");
      }
      else if (static_cast<int>(list->size()) != row.Count())
      {
        Fail(row, "value list " + row.list + " has " + std::to_string(list->size()) + " entries for " +
                      std::to_string(row.Count()) + " values");
      }
    }
    else if (row.control == "menu")
    {
      Fail(row, "a menu needs a value list");
    }
    if (row.control == "radio" && row.Count() < 2) Fail(row, "a radio needs two buttons or more");
    if ((row.control == "switch" || row.control == "lock" || row.control == "autooff") &&
        (row.min != 0 || row.max != 1))
      Fail(row, "a two-state control needs the range 0 to 1");
    if ((row.midi == "cc" || row.midi == "ccbtn" || row.midi == "nrpn") && row.max > 127)
      Fail(row, "a MIDI-bound value above 127 cannot travel in a data byte");
    if (row.midi == "nrpn" && row.nrpnBase + row.max > 127)
      Fail(row, "NRPN value offset plus maximum exceeds 127");
    (void)perPart;
  }
  Line(0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  Line(0, "<!-- Generated from resources/src by tools/docgen: edit the sources, not this file. -->");
  Line(0, "<uiconfig>");
  Line(1, "<valueLists>");
  for (const auto& [name, values] : mLists.All())
  {
    Line(2, "<list" + Attr("name", name) + ">");
    for (const std::string& v : values)
      Line(3, "<value>" + Escape(v) + "</value>");
    Line(2, "</list>");
  }
  Line(1, "</valueLists>");
  std::vector<const LayoutNode*> layers;
  for (const LayoutNode& n : mLayout.Root().children)
    EmitNode(n, layers, 1);
  Line(0, "</uiconfig>");

  mSysEx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Generated from resources/src/sysex.txt by "
           "tools/docgen. -->\n<sysexlist>\n";
  for (const SysExEntry& e : mSysExEntries.All())
    mSysEx += "  <sysex><values><value>" + e.bytes + "</value></values></sysex>\n";
  mSysEx += "</sysexlist>\n";
  CheckRules();
  return mErrors.empty();
}

void DocumentGenerator::EmitNode(const LayoutNode& n, const std::vector<const LayoutNode*>& layers, int depth)
{
  switch (n.kind)
  {
  case LayoutKind::Layer:
  case LayoutKind::Sublayer:
  case LayoutKind::Multilayer:
  {
    const char* tag = n.kind == LayoutKind::Layer      ? "layer"
                      : n.kind == LayoutKind::Sublayer ? "sublayer"
                                                       : "multilayer";
    if (n.kind == LayoutKind::Multilayer)
      Line(depth, std::string("<") + tag + Attr("create", n.id) + Attr("name", n.name) + ">");
    else
      Line(depth, std::string("<") + tag + Attr("name", n.name) + Attr("id", n.id) +
                      (n.overlay ? Attr("overlay", "true") : "") + ">");
    std::vector<const LayoutNode*> inner = layers;
    inner.push_back(&n);
    for (const LayoutNode& c : n.children)
      EmitNode(c, inner, depth + 1);
    // The bindings close the page tree: after every visible control, never a page of its own.
    if (n.name == "pages" && layers.empty()) EmitBindings(depth + 1);
    Line(depth, std::string("</") + tag + ">");
    break;
  }
  case LayoutKind::Background:
    if (!ImageExists(n.name))
      mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": image " + n.name +
                        " is not in the image table");
    Line(depth, "<background" + Attr("imageId", n.name) +
                    Attr("position", std::to_string(n.rect.x) + "," + std::to_string(n.rect.y)) + "/>");
    break;
  case LayoutKind::Browser:
    if (!ImageExists(n.name))
      mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": image " + n.name +
                        " is not in the image table");
    Line(depth, "<patchBrowser" + Attr("imageId", n.name) +
                    Attr("bounds", std::to_string(n.rect.x) + "," + std::to_string(n.rect.y) + "," +
                                       std::to_string(n.rect.w) + "," + std::to_string(n.rect.h)) +
                    "/>");
    break;
  default:
    for (const PlacedControl* c : mLayout.ControlsIn(n))
      EmitControl(*c, depth);
    break;
  }
}

static std::string Rect4(const LayoutRect& r)
{
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
         std::to_string(r.h);
}
static std::string Pos2(const LayoutRect& r)
{
  return std::to_string(r.x) + "," + std::to_string(r.y);
}

void DocumentGenerator::EmitControl(const PlacedControl& c, int depth)
{
  const BindingRow& row = *c.row;
  bool inMulti = c.InMultilayer();
  // A per-part name outside a multilayer addresses its part explicitly (part 1 when the home names none).
  int part = c.part >= 0 ? c.part : (row.parts == 8 && !inMulti ? 0 : -1);
  Emitted e;
  std::string text = Control(c, row, part, inMulti, c.rect, false, e);
  if (text.empty()) return;
  for (const LayoutNode* l : c.layers)
  {
    for (const char* prefix : kPanDelayLayers)
    {
      if (l->name.rfind(prefix, 0) == 0 && row.name != "kFXMultiDelaySend" &&
          row.name != "kFXMultiPanPosition")
        Fail(row, "only the delay send and the pan position may sit in layer " + l->name);
    }
  }
  Line(depth, text);
  mEmitted.push_back(e);
}

std::string DocumentGenerator::Control(const PlacedControl& c, const BindingRow& row, int part, bool inMulti,
                                       const LayoutRect& r, bool forBinding, Emitted& e)
{
  // A binding keeps the family of its row's control: the factories of knobs, buttons and menus
  // choose the channel and block flag differently.
  std::string kind = c.kind;
  if (forBinding)
    kind = row.control == "switch" || row.control == "lock" ? "switch"
           : row.control == "menu"                          ? "menu"
                                                            : "knob";
  std::string image = forBinding ? Layout::DefaultImage(row, kind == "knob" ? "knob" : kind) : c.image;
  if (!image.empty() && !ImageExists(image)) Fail(row, "image " + image + " is not in the image table");
  auto known = ParameterIndex().find(row.name);
  if (known == ParameterIndex().end()) return ""; // reported once with the table's checks
  std::string pid = row.name + (part > 0 ? "+" + std::to_string(part) : "");
  std::string common = Attr("name", DisplayName(row.name)) + Attr("paramId", pid);
  if (!inMulti && part >= 0) common += Attr("channel", part + 1);
  e.param = row.name;
  e.index = known->second + (part > 0 ? part : 0);
  e.binding = forBinding;
  e.inMulti = inMulti;
  const std::string& midi = forBinding ? row.midi : (c.kind == "radio" ? std::string("none") : row.midi);
  std::string def = std::to_string(row.def), lo = std::to_string(row.min), hi = std::to_string(row.max);
  std::string nrpn = Attr("ccNumber", 6) + Attr("msbValue", row.nrpnMsb) + Attr("lsbValue", row.nrpnBase) +
                     Attr("lsbControl", row.nrpnLsb);
  auto ranged = [&](int mn, int mx)
  {
    e.rangeKnown = true;
    e.min = mn;
    e.max = mx;
  };
  if (kind == "knob" || kind == "small")
  {
    ranged(row.min, row.max);
    std::string at = common + Attr("imageId", image) + Attr("position", Pos2(r));
    if (midi == "cc" || midi == "ccbtn")
      return "<knobcontrol" + Attr("type", "ccKnob") + at +
             Attr("valueBounds", def + "," + lo + "," + hi + "," + std::to_string(row.step)) +
             Attr("ccNumber", row.cc) + "/>";
    if (midi == "nrpn")
      return "<knobcontrol" + Attr("type", "msbLsbKnob") + at +
             Attr("valueBounds", def + "," + lo + "," + hi) + nrpn + "/>";
    return "<multiFx" + Attr("type", "Knob") + at + Attr("valueBounds", def + "," + lo + "," + hi) + "/>";
  }
  if (kind == "switch" || kind == "lock")
  {
    ranged(0, 1);
    std::string at = common + Attr("imageId", image) + Attr("position", Pos2(r));
    if (midi == "cc" || midi == "ccbtn")
      return "<buttoncontrol" + Attr("type", "ccButton") + at + Attr("valueBounds", def + ",0,127") +
             Attr("ccNumber", row.cc) + "/>";
    if (midi == "nrpn")
      return "<buttoncontrol" + Attr("type", "msbLsbButton") + at + Attr("valueBounds", def + ",0,1") + nrpn +
             "/>";
    return "<switch" + at + Attr("valueBounds", def) + "/>";
  }
  if (kind == "menu")
  {
    ranged(0, row.Count() - 1);
    std::string bounds =
        Attr("valueBounds", def + ",0," + std::to_string(row.Count())) + Attr("valueList", row.list);
    if (midi == "cc" || midi == "ccbtn")
      return "<menucontrol" + Attr("type", "ccMenu") + common +
             Attr("position", Pos2(r) + "," + std::to_string(r.w)) + bounds + Attr("ccNumber", row.cc) + "/>";
    if (midi == "nrpn")
      return "<menucontrol" + Attr("type", "msbLsbMenu") + common +
             Attr("position", Pos2(r) + "," + std::to_string(r.w)) + bounds + nrpn + "/>";
    return "<dropMenu" + Attr("type", "dropSelection") + common + Attr("bounds", Rect4(r)) + bounds + "/>";
  }
  if (kind == "radio")
  {
    ranged(0, row.Count() - 1);
    if (row.min != 0) Fail(row, "a radio's range starts at 0");
    return "<radio" + common + Attr("imageId", image) + Attr("position", Pos2(r)) +
           Attr("buttons", row.Count()) + "/>";
  }
  if (kind == "autooff")
  {
    ranged(0, 1);
    return "<autooff" + common + Attr("imageId", image) + Attr("position", Pos2(r)) + "/>";
  }
  if (kind == "name")
    return "<dropMenu" + Attr("type", "nameSelection") + common + Attr("bounds", Rect4(r)) +
           Attr("nameLen", 16) + "/>";
  if (kind == "display")
    return "<display" + common + Attr("bounds", Rect4(r)) + Attr("displaySize", "1,0") + "/>";
  if (kind == "devin" || kind == "devout")
    return "<dropMenu" + Attr("type", "deviceSelection") + common + Attr("bounds", Rect4(r)) +
           Attr("inputDev", kind == "devin" ? "1,0" : "0,0") + "/>";
  Fail(row, "control " + kind + " has no element");
  return "";
}

void DocumentGenerator::EmitBindings(int depth)
{
  // Rows that send MIDI get their binding element here, so it is the last of its parameter and
  // decides the message kind; rows without any visible control get a range-only knob, so that
  // every parameter a dump carries is set up with its range.
  std::vector<const BindingRow*> single, perPart;
  std::set<std::string> placed;
  for (const PlacedControl& c : mLayout.Controls())
    placed.insert(c.row->name);
  for (const BindingRow& row : mLayout.Bindings().Rows())
  {
    bool midi = row.midi != "none";
    bool textual = row.control == "name" || row.control == "display" || row.control == "devin" ||
                   row.control == "devout";
    if (textual || (!midi && placed.count(row.name))) continue;
    (row.parts == 8 ? perPart : single).push_back(&row);
  }
  Line(depth, "<layer" + Attr("name", kBindingLayer) + Attr("id", kBindingLayerId) + ">");
  LayoutRect origin{0, 0, 104, 13};
  PlacedControl none;
  for (const BindingRow* row : single)
  {
    Emitted e;
    std::string t = Control(none, *row, -1, false, origin, true, e);
    if (!t.empty())
    {
      Line(depth + 1, t);
      mEmitted.push_back(e);
    }
  }
  Line(depth + 1,
       "<multilayer" + Attr("create", 8) + Attr("name", std::string(kBindingLayer) + "Part") + ">");
  for (const BindingRow* row : perPart)
  {
    Emitted e;
    std::string t = Control(none, *row, -1, true, origin, true, e);
    if (!t.empty())
    {
      Line(depth + 2, t);
      mEmitted.push_back(e);
    }
  }
  Line(depth + 1, "</multilayer>");
  // SysEx bindings stay outside any multilayer: there the factory keeps the template's byte 4.
  int index = 0;
  for (const SysExEntry& s : mSysExEntries.All())
  {
    const BindingRow* row = mLayout.Bindings().Find(s.name);
    if (!row)
    {
      mErrors.push_back("sysex.txt:" + std::to_string(s.line) + ": " + s.name + " is not in bindings.tsv");
      ++index;
      continue;
    }
    auto known = ParameterIndex().find(row->name);
    if (known == ParameterIndex().end())
    {
      ++index;
      continue;
    }
    Emitted e;
    e.param = row->name;
    e.index = known->second + s.part;
    e.binding = true;
    e.rangeKnown = true;
    e.min = row->min;
    e.max = row->max;
    if (row->max + 0 > 127) Fail(*row, "a SysEx value above 127");
    Line(depth + 1, "<knobcontrol" + Attr("type", "seKnob") + Attr("name", DisplayName(row->name)) +
                        Attr("paramId", row->name + (s.part ? "+" + std::to_string(s.part) : "")) +
                        Attr("channel", s.part + 1) + Attr("imageId", Layout::DefaultImage(*row, "knob")) +
                        Attr("position", "0,0") +
                        Attr("valueBounds", std::to_string(row->def) + "," + std::to_string(row->min) + "," +
                                                std::to_string(row->max)) +
                        Attr("changingByte", s.changingByte) + Attr("sysexIndex", index) +
                        Attr("msgZeroVal", 0) + "/>");
    mEmitted.push_back(e);
    ++index;
  }
  Line(depth, "</layer>");
}

void DocumentGenerator::CheckRules()
{
  // Ranges of one parameter agree; a MIDI-bound parameter's last element is its binding.
  std::map<std::string, const Emitted*> first, last;
  for (const Emitted& e : mEmitted)
  {
    if (e.rangeKnown)
    {
      auto it = first.find(e.param);
      if (it == first.end())
      {
        first[e.param] = &e;
      }
      else if (it->second->min != e.min || it->second->max != e.max)
      {
        const BindingRow* row = mLayout.Bindings().Find(e.param);
        if (row) Fail(*row, "two controls disagree on the range");
      }
    }
    for (int p = 0; p < (e.inMulti ? 8 : 1); ++p)
      last[e.param + "#" + std::to_string(e.index + p)] = &e;
  }
  for (const BindingRow& row : mLayout.Bindings().Rows())
  {
    bool bound = false;
    for (const auto& [key, e] : last)
    {
      if (e->param != row.name) continue;
      bound = true;
      if (row.midi != "none" && !e->binding)
      {
        Fail(row, "its MIDI binding is not its last element");
        break;
      }
    }
    bool textual = row.control == "name" || row.control == "display" || row.control == "devin" ||
                   row.control == "devout";
    if (!bound && !textual) Fail(row, "no element binds it");
  }
  // Page ids follow their blocks; only top-level layers decide "overlay".
  for (const LayoutNode& top : mLayout.Root().children)
  {
    if (top.name == "pages")
    {
      std::set<int> ids;
      for (const LayoutNode& page : top.children)
      {
        if (!page.IsLayer()) continue;
        if (page.id < 10 || page.id > 19 || !ids.insert(page.id).second)
          mErrors.push_back("layout.txt:" + std::to_string(page.line) + ": page " + page.name +
                            " needs its own id from 10 to 19");
      }
    }
  }
  mLayout.Walk(
      [&](const LayoutNode& n, const std::vector<const LayoutNode*>& layers)
      {
        if (n.overlay && !layers.empty())
          mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": \"overlay\" on " + n.name +
                            " is decided by its outermost layer");
      });
}
