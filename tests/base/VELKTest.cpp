#include "editor/PatchManager.h"
#include "editor/VELK.h"
#include "editor/WriteBuildLog.h"
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "platform/settings/SettingsStore.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
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
  DataFolder() { setenv("VELK_DATA_DIR", path.string().c_str(), 1); }
  ~DataFolder() { unsetenv("VELK_DATA_DIR"); }
  std::string Read(const std::string& name) const
  {
    std::ifstream in(path / name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  TempFolder folder{"base"};
  fs::path path = folder.Path();
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

// The program chunk as a host gets it and gives it back, through the dispatcher (which pushes a
// recalled state to the editor's controls).
std::vector<uint8_t> HostChunk(VELK& plug)
{
  AEffect* e = plug.Effect();
  void* data = nullptr;
  const intptr_t size = e->dispatcher(e, effGetChunk, 1, 0, &data, 0.f);
  if (size <= 0 || !data) return {};
  return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

intptr_t SetHostChunk(VELK& plug, std::vector<uint8_t>& bytes, bool bank = false)
{
  AEffect* e = plug.Effect();
  return e->dispatcher(e, effSetChunk, bank ? 0 : 1, intptr_t(bytes.size()), bytes.data(), 0.f);
}

// A host chunk with one parameter's value replaced (after the header, the tag, the version and
// the count).
void PutValue(std::vector<uint8_t>& chunk, int parameter, double v)
{
  std::memcpy(chunk.data() + 8 + kFirstValue + 8 * parameter, &v, 8);
}

double ValueIn(const std::vector<uint8_t>& chunk, int parameter)
{
  double v = 0;
  std::memcpy(&v, chunk.data() + 8 + kFirstValue + 8 * parameter, 8);
  return v;
}
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
  plug->ParameterAt(5865)->SetClamped(1.0); // a two-state parameter: 0 or 1
  plug->GetPatchManager()->SetName(PatchManager::kMultiName, "Big Multi");
  plug->GetPatchManager()->SetName(PatchManager::kMidiOutputName, "Synth Port 1");
  IStateChunk saved;
  ASSERT_TRUE(plug->WriteStateChunk(&saved));
  EXPECT_EQ(saved.Size(), kFirstValue + 5866 * 8 + 4 + 27 * 4 + 9 + 12 + 8); // device id and model last

  auto other = MakePlug();
  other->ParameterAt(0)->SetupEnumerated("kOscillator1Pulsewidth", 0, 128, "");
  EXPECT_EQ(ReadInto(*other, Bytes(saved)), saved.Size());
  EXPECT_EQ(other->ParameterAt(0)->Value(), 64.0);
  EXPECT_EQ(other->ParameterAt(5865)->Value(), 1.0);
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

// Every value of every parameter's range, set as a control sets it and as a received dump sets it,
// is saved and recalled, with the editor's controls following, and reads back exactly.
TEST(VELK, RecallReadsBackEveryValueOfEveryParameterExactly)
{
  DataFolder folder;
  auto plug = MakePlug();
  const int n = plug->NumParameters();
  constexpr int kMostRounds = 1024; // wider ranges are walked in even strides, both ends included
  std::vector<int> counts(size_t(n), 1);
  int rounds = 1;
  for (int i = 0; i < n; ++i)
  {
    const IParameter* p = plug->ParameterAt(i);
    if (p->Step() > 0) counts[size_t(i)] = int(std::lround((p->Max() - p->Min()) / p->Step())) + 1;
    rounds = std::max(rounds, std::min(counts[size_t(i)], kMostRounds));
  }
  std::vector<double> expected(static_cast<size_t>(n));
  int drifted = 0;
  for (int form = 0; form < 2; ++form)
    for (int k = 0; k < rounds; ++k)
    {
      for (int i = 0; i < n; ++i)
      {
        IParameter* p = plug->ParameterAt(i);
        const int count = counts[size_t(i)];
        const int step = count <= rounds ? k % count : int(int64_t(k) * (count - 1) / (rounds - 1));
        const double v = p->Min() + step * p->Step();
        if (form == 0)
          p->SetFromNormalised(p->NormaliseValue(v));
        else
          plug->SetParamInEditor(i, v);
      }
      // The two MIDI routes exclude each other: a recall keeps the first of them.
      if (plug->ParameterAt(kMIDIFilterToDAWBuffer)->Value() == 1)
        plug->ParameterAt(kMIDIFilterDirectToHardware)->SetClamped(0);
      for (int i = 0; i < n; ++i)
        expected[size_t(i)] = plug->ParameterAt(i)->Value();
      std::vector<uint8_t> saved = HostChunk(*plug);
      for (int i = 0; i < n; ++i) // the recall has to move every value back
        plug->ParameterAt(i)->SetClamped(plug->ParameterAt(i)->Min());
      ASSERT_EQ(SetHostChunk(*plug, saved), 1) << "round " << k;
      for (int i = 0; i < n; ++i)
        if (plug->ParameterAt(i)->Value() != expected[size_t(i)] && ++drifted <= 10)
          ADD_FAILURE() << plug->ParameterAt(i)->Name() << " (" << i << "): " << std::setprecision(17)
                        << expected[size_t(i)] << " reads back as " << plug->ParameterAt(i)->Value();
      ASSERT_EQ(HostChunk(*plug), saved) << "round " << k;
    }
  EXPECT_EQ(drifted, 0);
}

// A chunk whose state does not end where the chunk ends is refused, changes nothing and is not
// kept; values outside their range or off their step are put where a control would put them; a
// state of the first version (without device id and model) still loads.
TEST(VELK, RecallRefusesBytesAfterTheStateAndConstrainsValues)
{
  DataFolder folder;
  auto plug = MakePlug();
  plug->GetPatchManager()->SetName(PatchManager::kMultiName, "Kept");
  std::vector<uint8_t> good = HostChunk(*plug);
  ASSERT_FALSE(good.empty());
  int stepped = -1, continuous = -1;
  for (int i = 0; i < plug->NumParameters(); ++i)
  {
    const IParameter* p = plug->ParameterAt(i);
    if (p->Max() - p->Min() < 2 || p->Step() != 1) continue;
    if (p->Type() == IParameter::kTypeContinuous && continuous < 0) continuous = i;
    if (p->Type() == IParameter::kTypeEnumerated && stepped < 0) stepped = i;
  }
  ASSERT_GE(stepped, 0);
  ASSERT_GE(continuous, 0);

  std::vector<uint8_t> other = good;
  PutValue(other, stepped, plug->ParameterAt(stepped)->Max());
  for (size_t extra : {size_t(4), size_t(1) << 20, size_t(100) << 20})
  {
    std::vector<uint8_t> longer = other;
    longer.resize(other.size() + extra, 0);
    std::memcpy(longer.data() + other.size(), "JUNK", 4);
#ifdef __GLIBC__
    const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
#endif
    EXPECT_EQ(SetHostChunk(*plug, longer), 0) << extra;
    EXPECT_EQ(SetHostChunk(*plug, longer, true), 0) << extra;
#ifdef __GLIBC__
    const size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
    EXPECT_LT(after, before + (size_t(8) << 20)) << extra << " bytes after the state are held";
#endif
    EXPECT_EQ(HostChunk(*plug), good) << extra;
  }
  ASSERT_EQ(SetHostChunk(*plug, other), 1); // without the bytes after it, it is taken

  const IParameter* s = plug->ParameterAt(stepped);
  const IParameter* c = plug->ParameterAt(continuous);
  std::vector<uint8_t> odd = good;
  PutValue(odd, stepped, 1e300);
  PutValue(odd, continuous, -1e300);
  ASSERT_EQ(SetHostChunk(*plug, odd), 1);
  EXPECT_EQ(s->Value(), s->Max());
  EXPECT_EQ(c->Value(), c->Min());
  PutValue(odd, stepped, s->Min() + 1.37);
  PutValue(odd, continuous, c->Min() + 1.37);
  ASSERT_EQ(SetHostChunk(*plug, odd), 1);
  EXPECT_EQ(s->Value(), s->Min() + 1);    // snapped, as its menu would
  EXPECT_EQ(c->Value(), c->Min() + 1.37); // a knob takes any value inside its range
  EXPECT_EQ(ValueIn(HostChunk(*plug), stepped), s->Min() + 1);

  // Version 1 ended after the names.
  std::vector<uint8_t> first = other;
  const int32_t version1 = 1;
  std::memcpy(first.data() + 8 + 4, &version1, 4);
  std::vector<uint8_t> firstWithMore = first;
  first.resize(first.size() - 8);
  EXPECT_EQ(SetHostChunk(*plug, firstWithMore), 0);
  ASSERT_EQ(SetHostChunk(*plug, first), 1);
  EXPECT_EQ(s->Value(), s->Max());
  EXPECT_EQ(plug->GetPatchManager()->Name(PatchManager::kMultiName), "Kept");
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

// Two folders asked for by the same name are two new folders (a run of the suites beside another
// never gets one of the other's), and each goes with the files in it.
TEST(TempFolder, EachIsNewAndGoesWithItsFiles)
{
  fs::path first;
  {
    TempFolder a("same"), b("same");
    ASSERT_FALSE(a.Path().empty());
    ASSERT_FALSE(b.Path().empty());
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_TRUE(fs::is_directory(a.Path()));
    EXPECT_TRUE(fs::is_directory(b.Path()));
    std::ofstream(a / "file.txt") << "x";
    first = a.Path();
  }
  EXPECT_FALSE(fs::exists(first));
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
  TempFolder folder("settings");
  const fs::path home = folder.Path();
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
}
