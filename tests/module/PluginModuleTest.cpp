// Loading plug-in libraries as a host does, on the test host's fixtures.
#include "platform/module/PluginModule.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace
{
const std::string kFixtures = VSTHOST_FIXTURE_DIR;

#ifdef _WIN32
const char* const kSystemLibrary = "kernel32.dll";
#else
const char* const kSystemLibrary = "libc.so.6";
#endif

// Runs in a folder and goes back, whatever the test does.
class InFolder
{
public:
  explicit InFolder(const std::filesystem::path& folder) : mPrevious(std::filesystem::current_path())
  {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(mPrevious); }

private:
  std::filesystem::path mPrevious;
};
} // namespace

TEST(PluginModule, LoadsFindsSymbolsAndUnloads)
{
  PluginModule module;
  EXPECT_FALSE(module.Loaded());
  EXPECT_EQ(module.Symbol("VSTPluginMain"), nullptr);

  ASSERT_TRUE(module.Load(kFixtures + "/Echo.so")) << module.Error();
  EXPECT_TRUE(module.Loaded());
  EXPECT_TRUE(module.Error().empty());
  EXPECT_NE(module.Symbol("VSTPluginMain"), nullptr);
  EXPECT_EQ(module.Symbol("NoSuchSymbol"), nullptr);

  // A second load replaces the first.
  ASSERT_TRUE(module.Load(kFixtures + "/NoEntry.so")) << module.Error();
  EXPECT_EQ(module.Symbol("VSTPluginMain"), nullptr);
  EXPECT_NE(module.Symbol("VsthostFixtureValue"), nullptr);

  module.Unload();
  EXPECT_FALSE(module.Loaded());
  EXPECT_EQ(module.Symbol("VsthostFixtureValue"), nullptr);
  module.Unload(); // twice is harmless
}

TEST(PluginModule, FailuresCarryTheSystemsReasonAndLeaveNothingLoaded)
{
  PluginModule module;
  ASSERT_TRUE(module.Load(kFixtures + "/Echo.so")) << module.Error();
  EXPECT_FALSE(module.Load(kFixtures + "/DoesNotExist.so"));
  EXPECT_FALSE(module.Loaded());
  EXPECT_FALSE(module.Error().empty());
  EXPECT_EQ(module.Symbol("VSTPluginMain"), nullptr);

  EXPECT_FALSE(module.Load(""));
  EXPECT_FALSE(module.Error().empty());

  // A file that is no library at all.
  const TempFolder folder("module");
  const std::filesystem::path notALibrary = folder / "not-a-library.so";
  {
    FILE* file = std::fopen(notALibrary.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("this is text, not code", file);
    std::fclose(file);
  }
  EXPECT_FALSE(module.Load(notALibrary.string()));
  EXPECT_FALSE(module.Error().empty());
  std::filesystem::remove(notALibrary);
}

TEST(PluginModule, ABareNameIsTheFileHereNotOneOnTheSearchPath)
{
  PluginModule module;
  {
    // The system's own library is on the search path, but not in this folder.
    InFolder here(kFixtures);
    EXPECT_FALSE(module.Load(kSystemLibrary));
    EXPECT_FALSE(module.Loaded());

    ASSERT_TRUE(module.Load("Echo.so")) << module.Error();
    EXPECT_NE(module.Symbol("VSTPluginMain"), nullptr);
  }
  // Loaded by its full path: leaving the folder changes nothing.
  EXPECT_NE(module.Symbol("VSTPluginMain"), nullptr);
}
