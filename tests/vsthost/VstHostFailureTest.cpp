// The host's answers to files that are not usable plug-ins, and the command line's exit codes.
#include "tools/vsthost/CommandLine.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <filesystem>

namespace
{

const std::string kFixtures = VSTHOST_FIXTURE_DIR;

// A library of the system: loadable, and no plug-in.
std::string LibcPath()
{
#ifdef _WIN32
  const char* root = std::getenv("SystemRoot");
  const std::string kernel = std::string(root ? root : "C:/windows") + "/system32/kernel32.dll";
  if (std::filesystem::exists(kernel)) return kernel;
#else
  for (const char* path : {"/lib/x86_64-linux-gnu/libc.so.6", "/usr/lib/x86_64-linux-gnu/libc.so.6"})
    if (std::filesystem::exists(path)) return path;
#endif
  return {};
}

TEST(VstHostFailure, UnusableFilesAreRefusedWithAReason)
{
  vsthost::VstHost host;

  EXPECT_FALSE(host.Load(kFixtures + "/DoesNotExist.so"));
  EXPECT_NE(host.LastError().find("cannot load"), std::string::npos) << host.LastError();
  EXPECT_FALSE(host.IsLoaded());

  EXPECT_FALSE(host.Load(kFixtures + "/NoEntry.so"));
  EXPECT_NE(host.LastError().find("no entry point"), std::string::npos) << host.LastError();
  EXPECT_FALSE(host.IsLoaded());

  const std::string libc = LibcPath();
  if (!libc.empty())
  {
    EXPECT_FALSE(host.Load(libc));
    EXPECT_NE(host.LastError().find("no entry point"), std::string::npos) << host.LastError();
  }

  EXPECT_FALSE(host.Load(kFixtures + "/NullEntry.so"));
  EXPECT_NE(host.LastError().find("returned no effect"), std::string::npos) << host.LastError();

  // The fixture's dispatcher aborts: refusing the record must not call into it.
  EXPECT_FALSE(host.Load(kFixtures + "/BadMagic.so"));
  EXPECT_NE(host.LastError().find("bad magic 0x58585858"), std::string::npos) << host.LastError();
  EXPECT_FALSE(host.IsLoaded());
  EXPECT_EQ(host.Dispatch(effGetVendorVersion), 0);
  EXPECT_FALSE(host.Open());
  EXPECT_FALSE(host.ProcessReplacing(16));
  EXPECT_TRUE(host.GetChunk(true).empty());
  EXPECT_EQ(host.QueryIdentity().effectName, "");

  // After all those refusals the same host still loads a good plug-in, and a failed load unloads it.
  ASSERT_TRUE(host.Load(kFixtures + "/Echo.so")) << host.LastError();
  EXPECT_TRUE(host.LastError().empty());
  EXPECT_FALSE(host.Load(kFixtures + "/NoEntry.so"));
  EXPECT_FALSE(host.IsLoaded());
}

TEST(VstHostFailure, CommandLineAnswersAndExitCodes)
{
  std::string out, err;
  EXPECT_EQ(vsthost::RunCommandLine({"--identity", kFixtures + "/Echo.so"}, out, err), 0);
  EXPECT_NE(out.find("name:           Echo Fixture\n"), std::string::npos) << out;
  EXPECT_NE(out.find("unique id:      'Echo' (0x4563686F)\n"), std::string::npos) << out;
  EXPECT_NE(
      out.find(
          "flags:          0x00001131 (HasEditor CanReplacing ProgramChunks IsSynth CanDoubleReplacing)\n"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("canDo receiveVstMidiEvent: 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("canDo hasHostViewAsConfig: 0\n"), std::string::npos) << out;
  EXPECT_TRUE(err.empty()) << err;

  for (const char* bad : {"/DoesNotExist.so", "/NoEntry.so", "/NullEntry.so", "/BadMagic.so"})
  {
    out.clear();
    err.clear();
    EXPECT_EQ(vsthost::RunCommandLine({"--identity", kFixtures + bad}, out, err), 1) << bad;
    EXPECT_EQ(err.rfind("vsthost: ", 0), 0u) << err;
    EXPECT_TRUE(out.empty()) << out;
  }

  out.clear();
  err.clear();
  // The editor option needs a display; with one, the screenshot form ends by itself.
  const std::string shot = std::string(VELK_BINARY_DIR) + "/echo-editor.png";
  const char* display = std::getenv("DISPLAY");
  const int editorCode =
      vsthost::RunCommandLine({"--editor", kFixtures + "/Echo.so", "--screenshot", shot}, out, err);
  if (display && *display)
  {
    EXPECT_EQ(editorCode, 0) << err;
    // With --when the picture waits for the file, at the latest for the bound, and says so then.
    out.clear();
    const std::string never = shot + ".never";
    EXPECT_EQ(vsthost::RunCommandLine({"--editor", kFixtures + "/Echo.so", "--screenshot", shot, "--when",
                                       never, "--within", "1"},
                                      out, err),
              0)
        << err;
    EXPECT_NE(out.find(never + " did not appear within 1 s"), std::string::npos) << out;
    EXPECT_NE(out.find("written to " + shot), std::string::npos) << out;
    out.clear();
    const std::string ready = shot + ".ready";
    {
      std::ofstream{ready};
    }
    EXPECT_EQ(vsthost::RunCommandLine(
                  {"--editor", kFixtures + "/Echo.so", "--screenshot", shot, "--when", ready}, out, err),
              0)
        << err;
    EXPECT_EQ(out.find("did not appear"), std::string::npos) << out;
    std::remove(ready.c_str());
  }
  else
  {
    EXPECT_EQ(editorCode, 1);
    EXPECT_EQ(err.rfind("vsthost: ", 0), 0u) << err;
  }
  out.clear();

  err.clear();
  EXPECT_EQ(vsthost::RunCommandLine({}, out, err), 2);
  EXPECT_NE(err.find("usage:"), std::string::npos);
  EXPECT_EQ(vsthost::RunCommandLine({"--identity"}, out, err), 2);
  out.clear();
  EXPECT_EQ(vsthost::RunCommandLine({"--help"}, out, err), 0);
  EXPECT_NE(out.find("--identity"), std::string::npos);
}

TEST(VstHostFailure, FourCharacterCodesAndFlagNames)
{
  EXPECT_EQ(vsthost::FourCCText(VstFourCC('w', 'q', 't', 'z')), "wqtz");
  EXPECT_EQ(vsthost::FourCCText(0x41004243), "A?BC");
  EXPECT_EQ(vsthost::FlagNames(effFlagsIsSynth | effFlagsHasEditor), "HasEditor IsSynth");
  EXPECT_EQ(vsthost::FlagNames(0x40000000 | effFlagsProgramChunks), "ProgramChunks 0x40000000");
  EXPECT_EQ(vsthost::FlagNames(0), "");
}

} // namespace
