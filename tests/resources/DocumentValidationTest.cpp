// The embedded definition documents read through the real configuration reader: every name the
// dumps carry is bound with the range its dump field gives it, and the layers and lists the code
// looks up exist. That every MIDI binding gives data bytes and comes back to its parameter is the
// round trips' (tests/incoming/RoundTripTest.cpp, tests/editor/EditorRoundTripTest.cpp).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigReader.h"
#include "config/MidiMapRecord.h"
#include "editor/EditorDocument.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/resources/DumpRanges.h"

struct EmbeddedDocuments : ::testing::Test
{
  ReaderFixture f;
  void SetUp() override
  {
    ASSERT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0));
    // Until the document walker builds the element tree, the generated XML is checked directly
    // (DocumentXmlTest); these checks then run through the real reader.
    if (!f.reader->GetLayer("pages")) GTEST_SKIP() << "the walker built no layer yet";
  }
};

TEST(EmbeddedDocumentsLog, ReadWithoutMissingNamesOrImages)
{
  ReaderFixture f;
  ASSERT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0));
  EXPECT_EQ(f.reader->SysExTable().size(), 8u);
  for (const std::string& line : f.log)
  {
    EXPECT_EQ(line.find("NOT FOUND!"), std::string::npos) << line;
    EXPECT_EQ(line.find("MISSING!"), std::string::npos) << line;
    EXPECT_EQ(line.find("REFUSED"), std::string::npos) << line;
  }
}

TEST_F(EmbeddedDocuments, EveryDumpNameIsBoundWithItsDumpRange)
{
  std::map<std::string, int> names = RegisteredIndices();
  int checked = 0;
  for (const ExpectedRange& r : kDumpRanges)
  {
    std::istringstream in(r.names);
    std::string name;
    while (in >> name)
    {
      ++checked;
      ASSERT_TRUE(names.count(name)) << name;
      std::vector<int> indices{names[name]};
      if (PerPart(names, name) && !kSingleVoiced.count(name))
        for (int p = 1; p < kPartCount; ++p)
          indices.push_back(names[name] + p);
      for (int index : indices)
      {
        IParameter* param = f.plug.ParameterAt(index);
        ASSERT_NE(param, nullptr) << name;
        EXPECT_EQ(param->Min(), r.min) << name << " at " << index;
        EXPECT_EQ(param->Max(), r.max) << name << " at " << index;
        // Set up by an element: it has a name, which an unbound parameter lacks.
        EXPECT_STRNE(param->Name(), "") << name << " at " << index << " is bound by no element";
      }
    }
  }
  EXPECT_EQ(checked, 496);
}

TEST_F(EmbeddedDocuments, EveryLayerTheCodeLooksUpExists)
{
  // The layers the editor looks up by name, and those the pages and views find by theirs.
  std::vector<std::string> layers(std::begin(EditorDocument::kNamedLayers),
                                  std::end(EditorDocument::kNamedLayers));
  layers.insert(layers.end(), {"effectsUsed", "vocoderLayer", "multiVocoderLayer", "arpTempoLayer",
                               "multiModeMixer", "multiModeMixer2", "multiModeSettingsPage1", "o1pw", "o2pw",
                               "o3pw", "topBar", "partColumn", "pages"});
  for (int i = 0; i < 8; ++i)
  {
    for (const char* base :
         {"effects2Panel", "effects1Panel", "filtersEnvelopesPanel", "oscillatorsPanel", "sequencerPanel"})
      layers.push_back(base + std::to_string(i));
    for (const char* base : {"additionalSettingsPart", "miniMixerDelayPart", "partPanning"})
      layers.push_back(base + std::to_string(i + 1));
  }
  for (int i = 1; i <= 4; ++i)
    layers.push_back("lfo1destination" + std::to_string(i));
  for (const std::string& name : layers)
    EXPECT_NE(f.reader->GetLayer(name), nullptr) << name;
}

TEST_F(EmbeddedDocuments, ListsMatchTheirParameters)
{
  auto count = [&](int index)
  { return int(f.plug.ParameterAt(index)->Max() - f.plug.ParameterAt(index)->Min()) + 1; };
  EXPECT_EQ(int(f.reader->GetValueList("categoryName").size()), count(kCategoryName));
  EXPECT_EQ(int(f.reader->GetValueList("tempoValues").size()), count(kGlobalTempo));
  EXPECT_EQ(int(f.reader->GetValueList("arpBank").size()), count(kArpBank));
  // Every tempo entry is a whole number of beats per minute (the clock job reads it so).
  for (const std::string& bpm : f.reader->GetValueList("tempoValues"))
  {
    size_t used = 0;
    EXPECT_GT(std::stoi(bpm, &used), 0) << bpm;
    EXPECT_EQ(used, bpm.size()) << bpm;
  }
  // A menu's texts are its list: one per value.
  for (int index : {int(kFilterType), int(kGlideType), int(kCategoryName), int(kMultiPartMIDICh) + 3})
  {
    IParameter* p = f.plug.ParameterAt(index);
    EXPECT_EQ(p->ValueTextCount(), count(index)) << p->Name();
  }
}

TEST_F(EmbeddedDocuments, PatternSysExEntriesAddressTheirPartInThePayload)
{
  ASSERT_EQ(f.reader->SysExTable().size(), 8u);
  for (int part = 0; part < kPartCount; ++part)
  {
    const MidiMapRecord* record = f.plug.ParameterAt(kPartPattern + part)->MidiMap();
    ASSERT_NE(record, nullptr) << part;
    EXPECT_EQ(record->kind, uint32_t(MidiMapRecord::kSysExTable));
    EXPECT_EQ(record->part, part);
    ASSERT_EQ(record->sysExMessages.size(), 128u);
    for (int value = 0; value < 128; ++value)
    {
      const SysExBytes& m = record->sysExMessages[value];
      ASSERT_GE(m.size(), 11u);
      EXPECT_EQ(m.front(), 0xF0);
      EXPECT_EQ(m.back(), 0xF7);
      EXPECT_EQ(m[4], 0x01) << "the frame's fixed byte stays";
      EXPECT_EQ(m[8], part);
      EXPECT_EQ(m[9], value);
      for (size_t i = 1; i + 1 < m.size(); ++i)
        EXPECT_LT(m[i], 0x80) << part << " value " << value;
    }
  }
}
