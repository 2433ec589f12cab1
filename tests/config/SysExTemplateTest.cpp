#include "config/MidiMapRecord.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const char* kTemplate = "F0 00 20 29 01 21 7F 10 00 F7";

std::vector<int32_t> Column(const SysExTableSet& set, size_t element)
{
  std::vector<int32_t> out;
  for (const SysExBytes& m : set.messages)
    out.push_back(m.at(element));
  return out;
}
} // namespace

TEST(SysExTemplate, HexByteLists)
{
  EXPECT_EQ(ParseHexByteList("F0 00 20 29 01"), (std::vector<int32_t>{240, 0, 32, 41, 1}));
  EXPECT_EQ(ParseHexByteList("  f0   7f 1FF "), (std::vector<int32_t>{240, 127, 511}));
  EXPECT_EQ(ParseHexByteList("zz 1g"), (std::vector<int32_t>{0, 1}));
  EXPECT_TRUE(ParseHexByteList("   ").empty());
  EXPECT_EQ(ParseHexByteList("FFFFFFFFFFFF").size(), 1u); // no overflow on a long token

  std::vector<int32_t> bytes{9};
  EXPECT_TRUE(ParseHexBytes("F0 7f 0 F7", bytes));
  EXPECT_EQ(bytes, (std::vector<int32_t>{240, 127, 0, 247}));
  for (const char* bad : {"F0 1FF F7", "F0 zz F7", "F0 0x F7", "", "   ", "F0,00"})
  {
    EXPECT_FALSE(ParseHexBytes(bad, bytes)) << bad;
    EXPECT_TRUE(bytes.empty()) << bad;
  }
}

TEST(SysExTemplate, ExpandsValuesAndKeys)
{
  SysExTableSet set;
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 3, set, 5, 0, -1));
  ASSERT_EQ(set.messages.size(), 3u);
  EXPECT_EQ(Column(set, 8), (std::vector<int32_t>{5, 6, 7}));
  EXPECT_EQ(set.messages[1], (SysExBytes{0xF0, 0, 0x20, 0x29, 1, 0x21, 0x7F, 0x10, 6, 0xF7}));
  int32_t key[4];
  ASSERT_TRUE(SysExRegistrationKey(set.messages[0], 9, key));
  EXPECT_EQ((std::vector<int32_t>(key, key + 4)), (std::vector<int32_t>{41, 1, 33, 127}));

  // With changing byte 7 the key moves one byte down, so the value byte is never part of it.
  ASSERT_TRUE(BuildSysExTable(kTemplate, 7, 2, set, 0, 0, -1));
  ASSERT_TRUE(SysExRegistrationKey(set.messages[0], 7, key));
  EXPECT_EQ((std::vector<int32_t>(key, key + 4)), (std::vector<int32_t>{32, 41, 1, 33}));

  // 128 wraps to 0 and counting goes on; nothing above 127 ever reaches a message.
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 3, set, 127, 0, -1));
  EXPECT_EQ(Column(set, 8), (std::vector<int32_t>{127, 0, 1}));
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 3, set, 200, 0, -1));
  EXPECT_EQ(Column(set, 8), (std::vector<int32_t>{127, 127, 127}));
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 2, set, -5, 0, -1));
  EXPECT_EQ(Column(set, 8), (std::vector<int32_t>{0, 0}));

  // Start -1: the template itself first, then its own value byte again.
  ASSERT_TRUE(BuildSysExTable("F0 00 20 29 01 21 7F 10 14 F7", 9, 3, set, -1, 0, -1));
  EXPECT_EQ(Column(set, 8), (std::vector<int32_t>{20, 20, 21}));

  // The part goes where the document says, for every part including the first; without a
  // part (-1) or without a part byte the template's byte stays.
  ASSERT_TRUE(BuildSysExTable(kTemplate, 10 - 1, 2, set, 0, 8, 3));
  EXPECT_EQ(Column(set, 7), (std::vector<int32_t>{3, 3}));
  EXPECT_EQ(Column(set, 4), (std::vector<int32_t>{1, 1})) << "the frame's fixed byte is untouched";
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 2, set, 0, 8, 0));
  EXPECT_EQ(Column(set, 7), (std::vector<int32_t>{0, 0}));
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 2, set, 0, 8, -1));
  EXPECT_EQ(Column(set, 7), (std::vector<int32_t>{0x10, 0x10}));
  ASSERT_TRUE(BuildSysExTable(kTemplate, 9, 2, set, 0, 0, 5));
  EXPECT_EQ(Column(set, 7), (std::vector<int32_t>{0x10, 0x10}));

  // Moving the set into a record leaves the set empty.
  MidiMapRecord record(MidiMapRecord::kSysExTable);
  set.sysExList = true;
  set.groups.push_back({{1, 2}});
  record.SetSysExTables(set);
  EXPECT_TRUE(record.sysExList);
  EXPECT_EQ(record.sysExMessages.size(), 2u);
  EXPECT_EQ(record.messageGroups.size(), 1u);
  EXPECT_TRUE(set.messages.empty());
  EXPECT_TRUE(set.groups.empty());
  EXPECT_FALSE(set.sysExList);
}

TEST(SysExTemplate, HostileTemplatesBuildNothing)
{
  struct Case
  {
    const char* text;
    int changingByte;
    int partByte;
  };
  const Case cases[] = {
      {"F0 00 20 F7", 3, 0},                    // shorter than a frame
      {"F0 00 20 29 01 21 7F 10 00 F7", 11, 0}, // changing byte past the end
      {"F0 00 20 29 01 21 7F 10 00 F7", 10, 0}, // on the F7
      {"F0 00 20 29 01 21 7F 10 00 F7", 0, 0},  // before the start
      {"F0 00 20 29 01 21 7F 10 00 F7", 9, 12}, // part byte past the end
      {"F0 00 20 29 01 21 7F 10 00 F7", 9, 9},  // part byte on the value byte
      {"F0 00 20 29 01 21 7F 10 00 F7", 9, -3}, // part byte before the start
      {"F0 00 20 29 01 21 7F 10 XY F7", 9, 0},  // not hexadecimal
      {"F0 00 20 29 01 21 7F 10 100 F7", 9, 0}, // not a byte
      {"00 00 20 29 01 21 7F 10 00 F7", 9, 0},  // not framed
      {"", 9, 0},
  };
  for (const Case& c : cases)
  {
    SysExTableSet set;
    set.messages.push_back({1, 2, 3});
    SysExTemplateError error;
    EXPECT_FALSE(BuildSysExTable(c.text, c.changingByte, 4, set, 0, c.partByte, 2, &error)) << c.text;
    EXPECT_FALSE(error.reason.empty()) << c.text;
    EXPECT_EQ(set.messages.size(), 1u) << "a refused template leaves the set as it was: " << c.text;
  }
  int32_t key[4];
  EXPECT_FALSE(SysExRegistrationKey(SysExBytes{0xF0, 0, 0x20, 0x29, 1, 0x21}, 9, key));
  EXPECT_TRUE(SysExRegistrationKey(SysExBytes{0xF0, 0, 0x20, 0x29, 1, 0x21}, 7, key));

  EXPECT_EQ(MidiMapRecord::DataByte(int32_t(128)), 127);
  EXPECT_EQ(MidiMapRecord::DataByte(int32_t(-1)), 0);
  EXPECT_EQ(MidiMapRecord::DataByte(300.7), 127);
  EXPECT_EQ(MidiMapRecord::DataByte(64.9), 64);
  EXPECT_EQ(MidiMapRecord::DataByte(std::nan("")), 0);
}
