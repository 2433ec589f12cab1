#include "editor/PatchManager.h"
#include "editor/VELK.h"
#include "editor/WriteBuildLog.h"
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "platform/settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// A fresh data folder for one test, named in VELK_DATA_DIR while the test runs.
class DataFolder
{
public:
  DataFolder()
  {
    path = fs::temp_directory_path() / ("velk-base-" + std::to_string(std::rand()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(path);
    setenv("VELK_DATA_DIR", path.string().c_str(), 1);
  }
  ~DataFolder()
  {
    unsetenv("VELK_DATA_DIR");
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string Read(const std::string& name) const
  {
    std::ifstream in(path / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path path;
};

std::vector<uint8_t> Bytes(const IStateChunk& chunk)
{
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

std::unique_ptr<VELK> MakePlug()
{
  return std::make_unique<VELK>(nullptr);
}

int ReadInto(VELK& plug, const std::vector<uint8_t>& bytes)
{
  IStateChunk chunk;
  chunk.Assign(bytes.data(), int(bytes.size()));
  return plug.ReadStateChunk(&chunk, 0);
}

constexpr int kFirstValue = 12; // tag, version, count
} // namespace

TEST(VELK, IdentityOfTheEffectRecord)
{
  DataFolder folder;
  auto plug = MakePlug();
  const AEffect* e = plug->Effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->uniqueID, VstFourCC('w', 'q', 't', 'z'));
  EXPECT_EQ(e->version, 10104);
  EXPECT_EQ(e->numParams, 0);
  EXPECT_EQ(plug->NumParameters(), 5866);
  EXPECT_EQ(plug->NonAutomatedCount(), 5866);
  EXPECT_STREQ(plug->EffectName(), "VELK Editor");
  EXPECT_STREQ(plug->VendorName(), "Brackenfold");
  EXPECT_EQ(plug->BlockLength(), 1024);
  EXPECT_EQ(plug->editorReady.load(), 1);
  EXPECT_EQ(plug->deviceId.load(), 15);
  EXPECT_EQ(plug->ledsShowIncoming.load(), 1);
  EXPECT_EQ(plug->pendingRequestId.load(), -1);
  EXPECT_EQ(plug->NumPresets(), 0);
}

TEST(VELK, StateRoundTripsValuesAndNames)
{
  DataFolder folder;
  auto plug = MakePlug();
  plug->ParameterAt(0)->SetupEnumerated("kOscillator1Pulsewidth", 0, 128, "");
  plug->ParameterAt(0)->SetClamped(64);
  plug->ParameterAt(5865)->SetClamped(0.125);
  plug->GetPatchManager()->SetName(PatchManager::kMultiName, "Big Multi");
  plug->GetPatchManager()->SetName(PatchManager::kMidiOutputName, "Synth Port 1");
  IStateChunk saved;
  ASSERT_TRUE(plug->WriteStateChunk(&saved));
  EXPECT_EQ(saved.Size(), kFirstValue + 5866 * 8 + 4 + 27 * 4 + 9 + 12 + 8); // device id and model last

  auto other = MakePlug();
  other->ParameterAt(0)->SetupEnumerated("kOscillator1Pulsewidth", 0, 128, "");
  EXPECT_EQ(ReadInto(*other, Bytes(saved)), saved.Size());
  EXPECT_EQ(other->ParameterAt(0)->Value(), 64.0);
  EXPECT_EQ(other->ParameterAt(5865)->Value(), 0.125);
  EXPECT_EQ(other->GetPatchManager()->Name(PatchManager::kMultiName), "Big Multi");
  EXPECT_EQ(other->GetPatchManager()->Name(PatchManager::kMidiOutputName), "Synth Port 1");
  IStateChunk again;
  ASSERT_TRUE(other->WriteStateChunk(&again));
  EXPECT_EQ(Bytes(again), Bytes(saved));

  // Values outside a parameter's range are clamped into it.
  std::vector<uint8_t> bytes = Bytes(saved);
  const double big = 500.0;
  std::memcpy(bytes.data() + kFirstValue, &big, 8);
  EXPECT_GT(ReadInto(*other, bytes), 0);
  EXPECT_EQ(other->ParameterAt(0)->Value(), 127.0);
}

TEST(VELK, FaultyStatesAreRefusedWholeAndChangeNothing)
{
  DataFolder folder;
  auto plug = MakePlug();
  plug->ParameterAt(3)->SetClamped(0.5);
  plug->GetPatchManager()->SetName(PatchManager::kFirstPartName, "Pad");
  IStateChunk saved;
  ASSERT_TRUE(plug->WriteStateChunk(&saved));
  const std::vector<uint8_t> good = Bytes(saved);

  auto target = MakePlug();
  target->ParameterAt(3)->SetClamped(0.75);
  target->GetPatchManager()->SetName(PatchManager::kFirstPartName, "Keep");
  IStateChunk before;
  target->WriteStateChunk(&before);

  auto refused = [&](std::vector<uint8_t> bytes, const char* what)
  {
    EXPECT_LT(ReadInto(*target, bytes), 0) << what;
    IStateChunk after;
    target->WriteStateChunk(&after);
    EXPECT_EQ(Bytes(after), Bytes(before)) << what;
  };
  auto patchInt = [&](size_t at, int32_t v)
  {
    std::vector<uint8_t> b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  auto patchDouble = [&](size_t at, double v)
  {
    std::vector<uint8_t> b = good;
    std::memcpy(b.data() + at, &v, 8);
    return b;
  };

  // Truncated anywhere: in the header fields, the values, the names.
  for (size_t n : {size_t(0), size_t(3), size_t(11), size_t(100), size_t(kFirstValue + 5866 * 8),
                   good.size() - 40, good.size() - 1})
    refused(std::vector<uint8_t>(good.begin(), good.begin() + long(n)), "truncated");
  refused(patchInt(0, 0x12345678), "foreign tag");
  refused(patchInt(4, 3), "newer version");
  refused(patchInt(4, 0), "older version");
  refused(patchInt(good.size() - 8, 128), "device id out of range");
  refused(patchInt(good.size() - 4, 3), "model out of range");
  refused(patchInt(8, 5865), "other parameter count");
  refused(patchDouble(kFirstValue + 8 * 3, std::nan("")), "not a number");
  refused(patchDouble(kFirstValue + 8 * 9, std::numeric_limits<double>::infinity()), "infinite");
  const size_t names = kFirstValue + 5866 * 8;
  refused(patchInt(names, 26), "name count");
  refused(patchInt(names + 4, -1), "negative name length");
  refused(patchInt(names + 4, 200), "name past the end");
  refused(patchInt(names + 4, 1 << 30), "huge name");
  {
    // A name longer than any the plug-in stores.
    IStateChunk longName;
    longName.PutBytes(good.data(), int(names + 4));
    longName.PutString(std::string(300, 'a').c_str());
    refused(Bytes(longName), "long name");
  }
  {
    std::vector<uint8_t> b = good;
    const size_t part1 = names + 12; // after the count, the empty multi name and part 1's length
    ASSERT_EQ(b[part1], 'P');
    b[part1 + 1] = 0;
    refused(b, "terminator inside a name");
  }
  // Random bytes.
  std::srand(7);
  for (int round = 0; round < 20; ++round)
  {
    std::vector<uint8_t> noise(size_t(std::rand() % 4000));
    for (uint8_t& x : noise)
      x = uint8_t(std::rand());
    refused(noise, "noise");
  }
  EXPECT_EQ(target->ParameterAt(3)->Value(), 0.75);
  EXPECT_EQ(target->GetPatchManager()->Name(PatchManager::kFirstPartName), "Keep");
}

TEST(VELK, LogIsWrittenOnlyWhenItsFileExists)
{
  {
    DataFolder folder;
    auto plug = MakePlug();
    EXPECT_FALSE(plug->LogEnabled());
    EXPECT_FALSE(fs::exists(folder.path / "VELK Editor LOG.txt"));
  }
  {
    DataFolder folder;
    std::ofstream(folder.path / "VELK Editor LOG.txt") << "old contents\n";
    testing::internal::CaptureStdout();
    auto plug = MakePlug();
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(plug->LogEnabled());
    const std::string log = folder.Read("VELK Editor LOG.txt");
    EXPECT_EQ(log.find("old contents"), std::string::npos); // truncated at start-up
    const size_t first = log.find("\t INITIALIZATION STARTED!\n");
    const size_t last = log.find("\t Plug-in is ready to load!\n");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    EXPECT_LT(first, last);
    EXPECT_NE(console.find("Build LOG: \t INITIALIZATION STARTED!\n"), std::string::npos);
  }
}

TEST(WriteBuildLog, LineFormatAndMissingFile)
{
  DataFolder folder;
  const std::string path = (folder.path / "log.txt").string();
  testing::internal::CaptureStdout();
  WriteBuildLog(path, "CONFIG READER: one");
  WriteBuildLog(path, "two");
  WriteBuildLog((folder.path / "no" / "such" / "log.txt").string(), "lost");
  const std::string console = testing::internal::GetCapturedStdout();
  const std::string log = folder.Read("log.txt");
  // "2024-05-01.12:34:56\t CONFIG READER: one\n"
  const size_t tab = log.find('\t');
  ASSERT_NE(tab, std::string::npos);
  const std::string stamp = log.substr(0, tab);
  EXPECT_EQ(stamp.size(), 19u) << stamp;
  EXPECT_EQ(stamp[4], '-');
  EXPECT_EQ(stamp[10], '.');
  EXPECT_EQ(stamp[13], ':');
  const std::string line = "\t CONFIG READER: one\n";
  EXPECT_EQ(log.substr(tab, line.size()), line);
  EXPECT_NE(log.find("\t two\n"), std::string::npos);
  EXPECT_EQ(console, "Build LOG: \t CONFIG READER: one\nBuild LOG: \t two\n");
}

TEST(PatchManager, NamesAndBounds)
{
  PatchManager names;
  names.SetName(3, "");
  EXPECT_EQ(names.Name(3), "Set Name");
  names.SetName(PatchManager::kMidiInputName, "In");
  EXPECT_EQ(names.Name(25), "In");
  names.SetName(27, "out of range");
  names.SetName(-1, "out of range");
  EXPECT_EQ(names.Name(27), "");
  names.SetName(0, std::string(400, 'n'));
  EXPECT_EQ(names.Name(0).size(), size_t(PatchManager::kMaxNameLength));
}

TEST(SettingsStore, DataFolderFromEnvironmentOrSettingsFile)
{
  const fs::path home = fs::temp_directory_path() / ("velk-settings-" + std::to_string(std::rand()));
  fs::create_directories(home / "velk");
  setenv("XDG_CONFIG_HOME", home.string().c_str(), 1);
  unsetenv("VELK_DATA_DIR");
  EXPECT_EQ(SettingsStore::DataFolder(), "");
  std::ofstream(home / "velk" / "settings.txt") << "Other=1\nDataInstallPath=/srv/velk data\r\n";
  EXPECT_EQ(SettingsStore::DataFolder(), "/srv/velk data");
  setenv("VELK_DATA_DIR", "/tmp/override", 1);
  EXPECT_EQ(SettingsStore::DataFolder(), "/tmp/override");
  unsetenv("VELK_DATA_DIR");
  unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(home);
}
