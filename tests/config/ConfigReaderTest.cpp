#include "ConfigTestSupport.h"

#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/ParameterIds.h"

#include <gtest/gtest.h>

#include <thread>
#include <tinyxml2.h>

namespace
{
const char* kUi = R"(<?xml version="1.0"?>
<uiconfig>
  <valueLists>
    <list name="tempoValues"><value>60</value><value></value><value>120</value></list>
    <!-- a comment between lists -->
    <list><value>nameless</value></list>
    <list name="arpBank"><value>A</value><other>x</other><value>B</value></list>
    <list name="tempoValues"><value>late</value></list>
    <notalist name="x"><value>1</value></notalist>
  </valueLists>
</uiconfig>)";

const char* kSysEx = R"(<sysexlist>
  <sysex partByte="9">
    <values><value>F0 00 20 29 01 21 7F 10 00 F7</value><value></value><value>F0 F7</value></values>
    <values><multivalue><value>A</value><value></value></multivalue><multivalue/></values>
  </sysex>
  <!-- a comment takes no index -->
  <other><values><value>F0 01 F7</value><multivalue><value>ignored</value></multivalue></values></other>
  <sysex><values></values><values><value></value></values></sysex>
</sysexlist>)";
} // namespace

TEST(ConfigReader, ReadsBothDocumentsInOrderWithTheLogLines)
{
  ScopedDocument ui(100, kUi);
  ScopedDocument sysex(101, kSysEx);
  ReaderFixture f;
  EXPECT_EQ(f.reader->GetLibrarianView(), nullptr);
  EXPECT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0));

  const std::vector<std::string> expected = {
      "CONFIG READER: Started to read SysEx Data...",
      "CONFIG READER: Completed reading SysEx data!",
      "CONFIG READER: Started to read image resources...",
      "CONFIG READER: Completed!",
      "CONFIG READER: Started to initialize parameters...",
      "CONFIG READER: Completed!",
      "CONFIG READER: value list without a name SKIPPED!",
      "CONFIG READER: value list tempoValues ALREADY EXISTS!",
  };
  EXPECT_EQ(f.log, expected);

  // Value lists: empty texts kept, other elements skipped, the first list of a name stays.
  EXPECT_EQ(f.reader->GetValueList("tempoValues"), (std::vector<std::string>{"60", "", "120"}));
  EXPECT_EQ(f.reader->GetValueList("arpBank"), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(f.reader->GetValueList("x").empty());

  // The SysEx table: a comment takes no index, an element of another name does.
  const auto& table = f.reader->SysExTable();
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].partByte, 9);
  ASSERT_EQ(table[0].messageLists.size(), 1u);
  EXPECT_EQ(table[0].messageLists[0], (std::vector<std::string>{"F0 00 20 29 01 21 7F 10 00 F7", "F0 F7"}));
  ASSERT_TRUE(table[0].multi);
  ASSERT_EQ(table[0].groups.size(), 1u);
  EXPECT_EQ(table[0].groups[0], (std::vector<std::vector<std::string>>{{"A", ""}, {}}));
  ASSERT_NE(table[0].FirstTemplate(), nullptr);
  // Both kinds of child: the plain form, the multivalue children ignored.
  EXPECT_FALSE(table[1].multi);
  EXPECT_EQ(table[1].messageLists, (std::vector<std::vector<std::string>>{{"F0 01 F7"}}));
  // Neither kind: an empty group; only empty texts: an empty message list.
  EXPECT_TRUE(table[2].multi);
  EXPECT_EQ(table[2].groups.size(), 1u);
  EXPECT_TRUE(table[2].groups[0].empty());
  EXPECT_EQ(table[2].messageLists, (std::vector<std::vector<std::string>>{{}}));
  EXPECT_EQ(table[2].FirstTemplate(), nullptr);
}

TEST(ConfigReader, LookupsNeverInsertAndLogOnlyWhenEnabled)
{
  ReaderFixture f;
  f.reader->InitParameterNames();
  f.log.clear();
  const int names = f.reader->ParameterNameCount();

  EXPECT_EQ(f.reader->GetParamId("kOscillator1Pulsewidth"), 0);
  EXPECT_EQ(f.reader->GetParamId("kDebugParts"), 5865);
  EXPECT_EQ(f.reader->GetParamId("kNumAutomatedParams"), 2680);
  EXPECT_EQ(f.reader->GetParamId("kPatchFileDialog"), 2680);
  EXPECT_EQ(f.reader->GetParamId("kMultiPartBank"), 4905);
  EXPECT_TRUE(f.log.empty());
  EXPECT_EQ(f.reader->GetParamId("kfiltercutoff"), -1);
  EXPECT_EQ(f.reader->GetParamId("kfiltercutoff"), -1);
  EXPECT_EQ(f.log, (std::vector<std::string>{"CONFIG READER: parameter kfiltercutoff NOT FOUND!",
                                             "CONFIG READER: parameter kfiltercutoff NOT FOUND!"}));
  EXPECT_EQ(f.reader->ParameterNameCount(), names);

  EXPECT_TRUE(f.reader->GetValueList("nothing").empty());
  EXPECT_TRUE(f.reader->GetValueList("nothing").empty());
  EXPECT_EQ(f.reader->GetLayer("nothing"), nullptr);
  EXPECT_EQ(f.reader->FindImageEntry("nothing"), nullptr);
  EXPECT_EQ(f.reader->ImageCount(), 0);

  // A second registration keeps the first index.
  f.log.clear();
  f.reader->AddParameterName("kFilterCutoff", 7);
  EXPECT_EQ(f.reader->GetParamId("kFilterCutoff"), int(kFilterCutoff));
  EXPECT_EQ(f.log, (std::vector<std::string>{"CONFIG READER: parameter kFilterCutoff ALREADY EXISTS!"}));

  // With the log disabled nothing is written.
  ReaderFixture quiet(1.0, false);
  quiet.reader->InitParameterNames();
  EXPECT_EQ(quiet.reader->GetParamId("kNope"), -1);
  quiet.reader->AddParameterName("kFilterCutoff", 7);
  EXPECT_TRUE(quiet.log.empty());
}

TEST(ConfigReader, RegistersEveryNameOfTheEnumeration)
{
  ReaderFixture f;
  f.reader->InitParameterNames();
  EXPECT_EQ(f.reader->ParameterNameCount(), 652);
  EXPECT_EQ(f.Count("CONFIG READER: Started to initialize parameters..."), 1);
  EXPECT_EQ(f.log.size(), 2u) << "no name is registered twice";
#define VELK_PARAM(name, index) EXPECT_EQ(f.reader->GetParamId(#name), index) << #name;
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
}

TEST(ConfigReader, RefusesBrokenDocumentsWholeAndStillOpens)
{
  for (const std::string& bad :
       {std::string("<uiconfig><valueLists><list name='a'><value>1</value></list>"),
        std::string("<other><valueLists/></other>"), std::string(""), std::string("\x01\x02 not xml at all")})
  {
    ScopedDocument ui(100, bad);
    ScopedDocument sysex(101, "<sysexlist><sysex><values><value>F0 F7</value></values></sysex>");
    ReaderFixture f;
    EXPECT_FALSE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0)) << bad;
    int refused = 0;
    for (const std::string& line : f.log)
      refused += line.find("REFUSED") != std::string::npos;
    EXPECT_EQ(refused, 2) << "one line per refused document: " << bad;
    EXPECT_TRUE(f.reader->SysExTable().empty()) << "an unclosed SysEx document adds nothing";
    EXPECT_TRUE(f.reader->GetValueList("a").empty());
    // The registries are filled all the same, and the editor has nothing in it.
    EXPECT_EQ(f.reader->ParameterNameCount(), 652);
    EXPECT_EQ(f.reader->ImageCount(), 109);
    EXPECT_EQ(f.graphics->NumControls(), 0);
    EXPECT_EQ(f.graphics->NumLayerGroups(), 0);
  }

  // A SysEx document without sysexlist leaves the table empty, and is no error.
  ReaderFixture f;
  EXPECT_TRUE(f.reader->ReadSysExText("<sysex><values><value>F0 F7</value></values></sysex>"));
  EXPECT_TRUE(f.reader->SysExTable().empty());
  EXPECT_TRUE(f.log.empty());
}

TEST(ConfigReader, EmbeddedDocumentsReadCleanly)
{
  // Whatever the build embeds, at every size and in both schemes: no line of the reader says that a
  // name, image, list, template or element was missing, refused or left unbuilt.
  for (const auto& [scale, scheme] : {std::pair<double, uint32_t>{1.0, 0}, {0.85, 1}, {1.15, 0}})
  {
    ReaderFixture f(scale);
    EXPECT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, scheme, scale));
    for (const std::string& line : f.log)
      for (const char* word :
           {"MISSING", "REFUSED", "NOT FOUND", "NOT BUILT", "ALREADY EXISTS", "SKIPPED", "IGNORED"})
        EXPECT_EQ(line.find(word), std::string::npos) << line;
    EXPECT_EQ(f.reader->ImageCount(), 109);
    for (const char* name : {"MAIN_BG_ID", "IKNOBROTATERCONTROL_ID2", "BUTTON_LIB_CANCEL_ID"})
      EXPECT_NE(f.reader->GetImage(name).bitmap, nullptr) << name;
    f.plug.CloseMidiPorts();
  }
}

TEST(ConfigReader, MakeParamGroupTexts)
{
  ConfigReader reader;
  EXPECT_EQ(reader.MakeParamGroup(2, "Effects"), "Part 3:Effects");
  EXPECT_EQ(reader.MakeParamGroup(0, ""), "Part 1");
  EXPECT_EQ(reader.MakeParamGroup(7, "Arpeggiator"), "Part 8:Arpeggiator");
  EXPECT_EQ(reader.MakeParamGroup(-1, "Global"), "Global");
  EXPECT_EQ(reader.MakeParamGroup(-1, ""), "");
}

TEST(ConfigReader, LayersByNameAndLookupsFromSeveralThreads)
{
  ScopedDocument ui(100, kUi);
  ReaderFixture f(1.0, false);
  f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0);
  // A later layer of a name replaces the earlier one.
  LayerGroup first(1, "page");
  LayerGroup second(2, "page");
  f.reader->RegisterLayer("page", &first);
  f.reader->RegisterLayer("page", &second);
  EXPECT_EQ(f.reader->GetLayer("page"), &second);
  EXPECT_EQ(f.reader->GetLayer("Page"), nullptr);

  // After Read the reader is only read: the editor, MIDI input and transfer threads look up at once,
  // misses included, and nothing changes (ThreadSanitizer would see a write).
  const ConfigReader& reader = *f.reader;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back(
        [&reader, t]
        {
          for (int i = 0; i < 2000; ++i)
          {
            reader.GetValueList(i % 2 ? "tempoValues" : "missing" + std::to_string(t));
            reader.FindInCcMap(t, i % 128, i % 2);
            reader.FindInNrpnMap(t, i % 128, 1, 2, 0);
            reader.GetLayer("page");
          }
        });
  for (std::thread& th : threads)
    th.join();
  EXPECT_EQ(reader.GetValueList("tempoValues").size(), 3u);
  EXPECT_TRUE(reader.GetValueList("missing0").empty());
  EXPECT_EQ(reader.FindInCcMap(0, 0, 0), nullptr);
}
