#include "editor/UISettings.h"
#include "tests/editor/EditorTestSupport.h"

#include <fstream>

namespace
{
void WriteFile(const std::filesystem::path& path, const std::string& text)
{
  std::ofstream(path) << text;
}
} // namespace

TEST(UISettings, MissingUnreadableOrUnknownGivesNormalSizeFirstScheme)
{
  TempDataFolder folder;
  const std::string dir = folder.path.string();
  UISettings s = UISettings::Load(dir);
  EXPECT_EQ(s.size, UISettings::kNormal);
  EXPECT_EQ(s.colourScheme, 0u);
  EXPECT_DOUBLE_EQ(s.Scale(), 1.0);
  EXPECT_EQ(UISettings::Load("").size, UISettings::kNormal);

  WriteFile(folder.path / UISettings::kFileName, "purple\nhuge\n");
  s = UISettings::Load(dir);
  EXPECT_EQ(s.size, UISettings::kNormal);
  EXPECT_EQ(s.colourScheme, 0u);

  // A folder in place of the file cannot be read.
  std::filesystem::remove(folder.path / UISettings::kFileName);
  std::filesystem::create_directory(folder.path / UISettings::kFileName);
  s = UISettings::Load(dir);
  EXPECT_EQ(s.size, UISettings::kNormal);
  EXPECT_FALSE(s.Save(dir));
}

TEST(UISettings, ReadsTheThreeLinesAndWritesThemBack)
{
  TempDataFolder folder;
  const std::string dir = folder.path.string();
  WriteFile(folder.path / UISettings::kFileName, "platinum\r\n  large \r\n1\r\n");
  UISettings s = UISettings::Load(dir);
  EXPECT_EQ(s.colourScheme, 1u);
  EXPECT_EQ(s.size, UISettings::kLarge);
  EXPECT_TRUE(s.firstRunSeen);
  EXPECT_DOUBLE_EQ(s.Scale(), 1.15);

  s.size = UISettings::kSmall;
  s.colourScheme = 0;
  ASSERT_TRUE(s.Save(dir));
  EXPECT_FALSE(std::filesystem::exists(folder.path / (std::string(UISettings::kFileName) + ".tmp")));
  const UISettings back = UISettings::Load(dir);
  EXPECT_EQ(back.size, UISettings::kSmall);
  EXPECT_DOUBLE_EQ(back.Scale(), 0.85);
  EXPECT_EQ(back.colourScheme, 0u);
  EXPECT_TRUE(back.firstRunSeen);
  EXPECT_DOUBLE_EQ(UISettings::ScaleOf(7), 1.0);
}
