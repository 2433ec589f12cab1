#include "platform/window/ModuleFolders.h"
#include "platform/window/ProcessSpawn.h"

#include <gtest/gtest.h>

TEST(HelperPrograms, ArgumentsReachTheProgramUnchanged)
{
  // No shell: quotes, semicolons and substitutions are plain characters.
  const std::string tricky = "a b;echo no $(touch /tmp/velk-never) 'q' \"d\" | x";
  ProgramResult r = RunProgram({"printf", "%s", tricky}, true);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, tricky);
  r = RunProgram({"sh", "-c", "exit 3"}, false);
  EXPECT_EQ(r.exitCode, 3);
  r = RunProgram({"velk-no-such-program-here"}, true);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(ProgramAvailable("velk-no-such-program-here"));
  EXPECT_TRUE(ProgramAvailable("printf"));
  EXPECT_FALSE(RunProgram({}, false).started);
}

TEST(HelperPrograms, FoldersEndInASlash)
{
  EXPECT_EQ(HostExecutableFolder().back(), '/');
  EXPECT_EQ(FolderOfPath("C:\\vst\\velk.dll"), ""); // a backslash is part of a Linux file name
}
