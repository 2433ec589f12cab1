// Programs, the shell and folders on Windows (or Wine).

#include "platform/window/ModuleFolders.h"
#include "platform/window/ProcessSpawn.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// How a Windows program's C runtime splits its command line.
std::vector<std::wstring> SplitAsAProgramWould(const std::string& line)
{
  std::vector<std::wstring> out;
  const std::wstring wide(line.begin(), line.end()); // the tests use ASCII
  int count = 0;
  LPWSTR* parts = CommandLineToArgvW(wide.c_str(), &count);
  for (int i = 0; parts && i < count; ++i)
    out.emplace_back(parts[i]);
  LocalFree(parts);
  return out;
}
} // namespace

TEST(Win32Programs, ArgumentsReachTheProgramUnchanged)
{
  const std::vector<std::string> args = {
      "prog", "a b", "say \"hi\"", "C:\\My Folder\\", "x\\\"y", "\\\\srv\\s", "tab\there ; |", "", "%PATH%"};
  const std::vector<std::wstring> back = SplitAsAProgramWould(QuotedCommandLine(args));
  ASSERT_EQ(back.size(), args.size());
  for (size_t i = 1; i < args.size(); ++i)
    EXPECT_EQ(back[i], std::wstring(args[i].begin(), args[i].end())) << i;

  // A real program: its exit code and its output come back; a missing one is not started.
  ProgramResult r = RunProgram({"cmd", "/c", "exit 3"}, false);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 3);
  r = RunProgram({"cmd", "/c", "echo velk"}, true);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(FirstLine(r.output), "velk");
  EXPECT_TRUE(ProgramAvailable("cmd"));
  EXPECT_FALSE(ProgramAvailable("velk-no-such-program-here"));
  EXPECT_FALSE(RunProgram({"velk-no-such-program-here"}, true).started);
  EXPECT_FALSE(RunProgram({}, false).started);
  EXPECT_FALSE(OpenWithDesktop(""));
}

TEST(Win32Programs, FoldersTakeBothSeparatorsAndEndInABackslash)
{
  EXPECT_EQ(FolderOfPath("C:\\Program Files\\VST\\velk_editor.dll"), "C:\\Program Files\\VST\\");
  EXPECT_EQ(FolderOfPath("C:/vst/velk.dll"), "C:/vst/");
  EXPECT_EQ(FolderOfPath("C:\\vst\\"), "");
  const std::string host = HostExecutableFolder(), plugin = PluginModuleFolder();
  ASSERT_FALSE(host.empty());
  EXPECT_EQ(host.back(), '\\');
  ASSERT_FALSE(plugin.empty());
  EXPECT_EQ(plugin.back(), '\\');
  // The test program is both the host and the module of the code.
  EXPECT_EQ(plugin, host);
  const std::string desktop = DesktopFolder();
  if (!desktop.empty())
  {
    EXPECT_EQ(desktop.back(), '\\');
  }
}
