// The generated definition documents read as XML, element by element as the walker reads them:
// ranges of the dump names, the binding rules, list lengths, images and rectangles.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/resources/DumpRanges.h"

// What the elements of one parameter index set up, in document order.
struct BoundElement
{
  std::string element, type;
  int min = 0, max = 0;
  bool ranged = true;
  int kind = -1; // MIDI kind the element's factory gives the record; -1 keeps it
  int cc = -1, msb = -1, lsb = -1, base = -1;
  bool inMulti = false;
  int channel = 0;
  std::vector<std::string> layers;
};

static std::vector<int> Ints(const char* text)
{
  std::vector<int> out;
  std::stringstream in(text ? text : "");
  std::string piece;
  while (std::getline(in, piece, ','))
    if (!piece.empty()) out.push_back(std::atoi(piece.c_str()));
  return out;
}

struct GeneratedDocuments : ::testing::Test
{
  tinyxml2::XMLDocument ui, sysex;
  std::map<std::string, int> names = RegisteredIndices();
  std::map<int, std::vector<BoundElement>> byIndex;
  std::map<std::string, std::vector<std::string>> lists;
  std::vector<std::string> problems;

  void SetUp() override
  {
    ASSERT_EQ(ui.LoadFile(VELK_BINARY_DIR "/resources/uiconfig.xml"), tinyxml2::XML_SUCCESS);
    ASSERT_EQ(sysex.LoadFile(VELK_BINARY_DIR "/resources/sysex.xml"), tinyxml2::XML_SUCCESS);
    const tinyxml2::XMLElement* root = ui.FirstChildElement("uiconfig");
    ASSERT_NE(root, nullptr);
    for (const tinyxml2::XMLElement* l = root->FirstChildElement("valueLists")->FirstChildElement("list"); l;
         l = l->NextSiblingElement("list"))
    {
      std::vector<std::string>& v = lists[l->Attribute("name")];
      for (const tinyxml2::XMLElement* e = l->FirstChildElement("value"); e;
           e = e->NextSiblingElement("value"))
        v.push_back(e->GetText() ? e->GetText() : "");
    }
    std::vector<std::string> layers;
    Walk(root->FirstChildElement(), -1, layers);
  }

  void Walk(const tinyxml2::XMLElement* e, int part, std::vector<std::string>& layers)
  {
    for (; e; e = e->NextSiblingElement())
    {
      std::string tag = e->Name();
      if (tag == "layer" || tag == "sublayer")
      {
        layers.push_back(e->Attribute("name"));
        Walk(e->FirstChildElement(), part, layers);
        layers.pop_back();
        continue;
      }
      if (tag == "multilayer")
      {
        for (int i = 0; i < e->IntAttribute("create"); ++i)
        {
          layers.push_back(std::string(e->Attribute("name")) + std::to_string(i));
          Walk(e->FirstChildElement(), i, layers);
          layers.pop_back();
        }
        continue;
      }
      const char* image = e->Attribute("imageId");
      if (image && !ImageKnown(image)) problems.push_back(std::string("unknown image ") + image);
      std::vector<int> pos =
          Ints(e->Attribute("position") ? e->Attribute("position") : e->Attribute("bounds"));
      if (pos.size() >= 2 && (pos[0] < 0 || pos[1] < 0 || pos[0] >= 1500 || pos[1] >= 757))
        problems.push_back(std::string("outside the editor: ") +
                           (e->Attribute("name") ? e->Attribute("name") : tag));
      const char* pid = e->Attribute("paramId");
      if (!pid) continue;
      std::string ref = pid, name = ref;
      int offset = 0;
      if (size_t plus = ref.find('+'); plus != std::string::npos)
      {
        name = ref.substr(0, plus);
        offset = std::atoi(ref.c_str() + plus + 1);
      }
      if (!names.count(name))
      {
        problems.push_back("unregistered " + name);
        continue;
      }
      BoundElement b;
      b.element = tag;
      b.type = e->Attribute("type") ? e->Attribute("type") : "";
      b.inMulti = part >= 0;
      b.channel = e->IntAttribute("channel");
      b.layers = layers;
      std::vector<int> vb = Ints(e->Attribute("valueBounds"));
      vb.resize(4, 0);
      const std::string& t = b.type;
      if (t == "ccKnob" || t == "msbLsbKnob" || t == "seKnob" || (tag == "multiFx" && t == "Knob"))
      {
        b.min = vb[1], b.max = vb[2];
      }
      else if (t == "ccButton" || t == "msbLsbButton" || t == "seButton" || tag == "switch" ||
               tag == "autooff")
      {
        b.min = 0, b.max = 1;
      }
      else if (t == "ccMenu" || t == "msbLsbMenu" || t == "seMenu" || t == "dropSelection")
      {
        b.min = 0, b.max = vb[2] - vb[1] - 1;
        const char* list = e->Attribute("valueList");
        if (!list || int(lists[list].size()) != vb[2] - vb[1])
          problems.push_back("menu " + name + " has no list of exactly " + std::to_string(vb[2] - vb[1]) +
                             " entries");
      }
      else if (tag == "radio")
      {
        b.min = 0, b.max = e->IntAttribute("buttons") - 1;
      }
      else if (t == "nameSelection" || t == "textSelection")
      {
        b.min = 0, b.max = 0;
      }
      else
      {
        b.ranged = false;
      }
      if (t == "ccKnob" || t == "ccMenu")
        b.kind = 1;
      else if (t == "ccButton")
        b.kind = 2;
      else if (t.rfind("msbLsb", 0) == 0)
        b.kind = 3;
      else if (t == "seButton")
        b.kind = 4;
      else if (t.rfind("se", 0) == 0)
        b.kind = 5;
      else if (tag != "multiFx")
        b.kind = 0;
      b.cc = e->IntAttribute("ccNumber", -1);
      b.msb = e->IntAttribute("msbValue", -1);
      b.lsb = e->IntAttribute("lsbControl", -1);
      b.base = e->IntAttribute("lsbValue", -1);
      byIndex[names[name] + (part >= 0 ? part : 0) + offset].push_back(b);
    }
  }

  static bool ImageKnown(const std::string& name)
  {
    static const std::set<std::string> images = {
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme) #name,
#include "config/ImageTable.def"
#undef VELK_IMAGE
    };
    return images.count(name) != 0;
  }
};

TEST_F(GeneratedDocuments, EveryDumpNameIsBoundWithItsDumpRangeInEveryPart)
{
  for (const std::string& p : problems)
    ADD_FAILURE() << p;
  int checked = 0;
  for (const ExpectedRange& r : kDumpRanges)
  {
    std::istringstream in(r.names);
    std::string name;
    while (in >> name)
    {
      ++checked;
      ASSERT_TRUE(names.count(name)) << name;
      int parts = PerPart(names, name) && !kSingleVoiced.count(name) ? kPartCount : 1;
      for (int p = 0; p < parts; ++p)
      {
        auto it = byIndex.find(names[name] + p);
        ASSERT_NE(it, byIndex.end()) << name << " part " << p + 1 << " is bound by no element";
        for (const BoundElement& b : it->second)
        {
          if (!b.ranged) continue;
          EXPECT_EQ(b.min, r.min) << name << " in a " << b.element << " " << b.type;
          EXPECT_EQ(b.max, r.max) << name << " in a " << b.element << " " << b.type;
        }
      }
    }
  }
  EXPECT_EQ(checked, 496);
}

TEST_F(GeneratedDocuments, BindingRulesHold)
{
  for (const auto& [index, elements] : byIndex)
  {
    // The element that decides the record's kind is the last one that sets it; when any element
    // gives MIDI, the last such element lies in the never-shown binding layer.
    const BoundElement* last = nullptr;
    bool anyMidi = false;
    for (const BoundElement& b : elements)
    {
      if (b.kind >= 0) last = &b;
      anyMidi |= b.kind > 0;
    }
    if (anyMidi)
    {
      ASSERT_NE(last, nullptr);
      EXPECT_GT(last->kind, 0) << "index " << index << ": a control without MIDI comes after the binding";
      EXPECT_EQ(last->layers.front(), "pages") << index;
      EXPECT_TRUE(std::find(last->layers.begin(), last->layers.end(), "midiBindings") != last->layers.end())
          << index;
    }
    // Data bytes: every number a binding sends stays below 0x80 over the whole range.
    for (const BoundElement& b : elements)
    {
      if (b.kind == 1 || b.kind == 2)
      {
        EXPECT_GE(b.cc, 0) << index;
        EXPECT_LT(b.cc, 0x80) << index;
        EXPECT_LT(b.max, 0x80) << index;
      }
      if (b.kind == 3)
      {
        EXPECT_LT(b.msb, 0x80) << index;
        EXPECT_LT(b.lsb, 0x80) << index;
        EXPECT_GE(b.base, 0) << index;
        EXPECT_LT(b.base + b.max, 0x80) << index << " sends a data value above 127";
      }
      // Per-part elements outside a multilayer name their part as the channel.
      bool perPartIndex = false;
      for (const auto& [n, i] : names)
        if (index >= i && index < i + kPartCount && PerPart(names, n) && !kSingleVoiced.count(n))
          perPartIndex = true;
      if (perPartIndex && !b.inMulti)
      {
        int part = 0;
        for (const auto& [n, i] : names)
          if (index >= i && index < i + kPartCount && PerPart(names, n)) part = index - i;
        EXPECT_EQ(b.channel, part + 1) << "index " << index << " outside a multilayer";
      }
      // Only the delay send and the pan position go into the delay and panning layers.
      for (const std::string& l : b.layers)
      {
        if (l.rfind("miniMixerDelayPart", 0) == 0)
        {
          EXPECT_TRUE(index >= kFXMultiDelaySend && index < kFXMultiDelaySend + 8) << l;
        }
        if (l.rfind("partPanning", 0) == 0)
        {
          EXPECT_TRUE(index >= kFXMultiPanPosition && index < kFXMultiPanPosition + 8) << l;
        }
      }
    }
  }
}

TEST_F(GeneratedDocuments, ListsTheCodeReadsHaveOneEntryPerValue)
{
  auto count = [&](int index)
  {
    const BoundElement& b = byIndex.at(index).front();
    return b.max - b.min + 1;
  };
  EXPECT_EQ(int(lists["categoryName"].size()), count(kCategoryName));
  EXPECT_EQ(int(lists["tempoValues"].size()), count(kGlobalTempo));
  EXPECT_EQ(int(lists["arpBank"].size()), count(kArpBank));
}

TEST_F(GeneratedDocuments, SysExEntriesAreFramedAndEveryIndexExists)
{
  const tinyxml2::XMLElement* list = sysex.FirstChildElement("sysexlist");
  ASSERT_NE(list, nullptr);
  std::vector<std::vector<int>> templates;
  for (const tinyxml2::XMLElement* s = list->FirstChildElement("sysex"); s;
       s = s->NextSiblingElement("sysex"))
  {
    const tinyxml2::XMLElement* v = s->FirstChildElement("values")->FirstChildElement("value");
    std::vector<int> bytes;
    std::istringstream in(v->GetText());
    std::string hex;
    while (in >> hex)
      bytes.push_back(std::stoi(hex, nullptr, 16));
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ((std::vector<int>(bytes.begin(), bytes.begin() + 5)),
              (std::vector<int>{0xF0, 0x00, 0x20, 0x29, 0x01}));
    EXPECT_EQ(bytes.back(), 0xF7);
    for (size_t i = 1; i + 1 < bytes.size(); ++i)
      EXPECT_LT(bytes[i], 0x80);
    templates.push_back(bytes);
  }
  ASSERT_EQ(templates.size(), 8u);
  // Each part's pattern element sits outside any multilayer (byte 4 keeps the frame) and uses the
  // entry that names its part in the payload.
  int seen = 0;
  std::function<void(const tinyxml2::XMLElement*, bool)> walk =
      [&](const tinyxml2::XMLElement* e, bool inMulti)
  {
    for (; e; e = e->NextSiblingElement())
    {
      std::string tag = e->Name();
      if (tag == "layer" || tag == "sublayer" || tag == "multilayer")
        walk(e->FirstChildElement(), inMulti || tag == "multilayer");
      const char* type = e->Attribute("type");
      if (!type || std::string(type).rfind("se", 0) != 0) continue;
      ++seen;
      EXPECT_FALSE(inMulti);
      int index = e->IntAttribute("sysexIndex", -1);
      ASSERT_GE(index, 0);
      ASSERT_LT(index, int(templates.size()));
      int part = e->IntAttribute("channel") - 1;
      EXPECT_EQ(templates[index][8], part);
      int changing = e->IntAttribute("changingByte");
      EXPECT_GT(changing, 8);
      EXPECT_LT(changing, int(templates[index].size()));
      std::vector<int> vb = Ints(e->Attribute("valueBounds"));
      EXPECT_LT(vb[2] + e->IntAttribute("msgZeroVal"), 0x80);
    }
  };
  walk(ui.FirstChildElement("uiconfig")->FirstChildElement(), false);
  EXPECT_EQ(seen, 8);
}
