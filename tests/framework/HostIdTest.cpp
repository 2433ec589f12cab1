#include "framework/plugin/HostId.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostId, IdentifiesByKeyInTableOrder)
{
  EXPECT_EQ(IdentifyHost("REAPER"), kHostReaper);
  EXPECT_EQ(IdentifyHost("Ardour 8.4"), kHostArdour);
  EXPECT_EQ(IdentifyHost("Steinberg Cubase LE"), kHostCubase);
  // A text naming two hosts: the earlier key of the table wins.
  EXPECT_EQ(IdentifyHost("Live bridge for cubase"), kHostCubase);
  EXPECT_EQ(IdentifyHost("Adobe Audition"), kHostAudition);
  EXPECT_TRUE(HostNeedsChannelFix(IdentifyHost("Adobe Audition")));
  EXPECT_EQ(IdentifyHost("vst3PluginTestHost"), kHostVst3TestHost);
  EXPECT_EQ(IdentifyHost("Bitwig Studio"), kHostUnknown);
  EXPECT_EQ(IdentifyHost(""), kHostUnknown);
  EXPECT_EQ(IdentifyHost(nullptr), kHostUnknown);
}

TEST(HostId, JudgesOnlyTheFirst255CharactersAndLowersOnlyAsciiLetters)
{
  const std::string pad(250, '.');
  EXPECT_EQ(IdentifyHost((pad + "logic").c_str()), kHostLogic); // ends at 255
  EXPECT_EQ(IdentifyHost((pad + ".logic").c_str()), kHostUnknown);

  // Bytes outside A to Z are not folded: a Latin-1 capital stays itself, and
  // "\xC0" (capital A grave) must not turn "\xC0ULAB" into a match.
  EXPECT_EQ(IdentifyHost("\xC0ULAB"), kHostUnknown);
  EXPECT_EQ(IdentifyHost("\xC0 AULAB"), kHostAULab);
}

TEST(HostId, ChannelFixCoversExactlyFourHosts)
{
  for (HostId id = -1; id < 40; ++id)
    EXPECT_EQ(HostNeedsChannelFix(id),
              id == kHostForte || id == kHostAudition || id == kHostOrion || id == kHostSawStudio)
        << id;
}
