// The command line's process run and chunk files, on the Echo fixture and the product plug-in.
#include "tools/vsthost/CommandLine.h"

#include "framework/plugin/ParameterIds.h"
#include "tools/vsthost/ChunkDifference.h"
#include "tests/support/TempFolder.h"

#include "platform/vst2/VstTypes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace
{

namespace fs = std::filesystem;

const std::string kEcho = std::string(VSTHOST_FIXTURE_DIR) + "/Echo.so";
const std::string kProduct = VELK_PLUGIN_PATH;

struct Result
{
  int code = 0;
  std::string out, err;
};

Result Command(const std::vector<std::string>& args)
{
  Result run;
  run.code = vsthost::RunCommandLine(args, run.out, run.err);
  return run;
}

std::vector<char> FileBytes(const fs::path& path)
{
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class CommandLineFiles : public ::testing::Test
{
protected:
  void SetUp() override
  {
    folder = std::make_unique<TempFolder>("vsthost-cli");
    dir = folder->Path();
  }
  void TearDown() override { folder.reset(); }
  size_t FilesInDir() const
  {
    return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }
  std::unique_ptr<TempFolder> folder;
  fs::path dir;
};

TEST(VstHostCommandLine, ProcessReportsPeakAndEventsPerPath)
{
  // Echo sends back every event it gets and writes the time info's flags into one output sample,
  // so the peak shows the transport the command set up.
  const std::string echoed = " 2 events from the plug-in\n  midi 90 3C 64 00\n  midi 80 3C 00 00\n";
  for (const bool playing : {false, true})
  {
    std::vector<std::string> args = {"--process", "3", kEcho, "--tempo", "140"};
    if (playing) args.push_back("--playing");
    const Result run = Command(args);
    ASSERT_EQ(run.code, 0) << run.err;
    const int flags =
        kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid | (playing ? kVstTransportPlaying : 0);
    const std::string peak = "peak " + std::to_string(flags) + ",";
    EXPECT_NE(run.out.find("32-bit: " + peak + echoed), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("64-bit: " + peak + echoed), std::string::npos) << run.out;
  }

  // The product makes no sound and sends nothing back; a single block carries both notes.
  Result run = Command({"--process", "1", kProduct});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("32-bit: peak 0, 0 events from the plug-in\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("64-bit: peak 0, 0 events from the plug-in\n"), std::string::npos) << run.out;

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--process", "0", kEcho},
                                              {"--process", "2x", kEcho},
                                              {"--process", "2", kEcho, "--tempo", "-1"},
                                              {"--process", "2", kEcho, "--tempo", "nan"},
                                              {"--process", "2", kEcho, "--tempo"},
                                              {"--process", "2", kEcho, "--loud"}})
  {
    run = Command(bad);
    EXPECT_EQ(run.code, 2) << bad.back();
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  run = Command({"--process", "2", std::string(VSTHOST_FIXTURE_DIR) + "/NoEntry.so"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err.rfind("vsthost: ", 0), 0u) << run.err;
}

TEST_F(CommandLineFiles, ChunksRoundTripThroughFiles)
{
  for (const char* kind : {"program", "bank"})
  {
    const bool bank = std::string(kind) == "bank";
    const fs::path file = dir / (std::string(kind) + ".bin");
    std::ofstream(file) << "an older file that must be replaced whole";
    std::vector<std::string> get = {"--get-chunk", file.string(), kProduct};
    if (bank) get.push_back("--bank");
    Result run = Command(get);
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<char> bytes = FileBytes(file);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(run.out, std::string(kind) + " chunk: " + std::to_string(bytes.size()) + " bytes written to " +
                           file.string() + "\n");

    std::vector<std::string> set = get;
    set[0] = "--set-chunk";
    run = Command(set);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "effSetChunk (" + std::string(kind) + ", " + std::to_string(bytes.size()) +
                           " bytes) answered 1\nread back: equal\n");
  }
  EXPECT_EQ(FilesInDir(), 2u); // no temporary file left beside them

  // A cut chunk is refused by the plug-in; the command says so and fails.
  const std::vector<char> whole = FileBytes(dir / "program.bin");
  const fs::path cut = dir / "cut.bin";
  std::ofstream(cut, std::ios::binary).write(whole.data(), std::streamsize(whole.size() / 2));
  Result run = Command({"--set-chunk", cut.string(), kProduct});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("answered 0\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "vsthost: the plug-in refused the program chunk in " + cut.string() + "\n");
}

TEST_F(CommandLineFiles, UnusableFilesFailWithAReason)
{
  const auto fails = [](const std::vector<std::string>& args, const std::string& reason)
  {
    const Result run = Command(args);
    EXPECT_EQ(run.code, 1) << args[1];
    EXPECT_EQ(run.err.rfind("vsthost: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
  };
  fails({"--set-chunk", (dir / "missing.bin").string(), kEcho}, "cannot read");
  fails({"--set-chunk", dir.string(), kEcho}, "is a folder");
  const fs::path empty = dir / "empty.bin";
  std::ofstream{empty};
  fails({"--set-chunk", empty.string(), kEcho}, "is empty");
  // Sparse, so the test writes nothing; the command must refuse it without reading it.
  const fs::path huge = dir / "huge.bin";
  std::ofstream{huge};
  fs::resize_file(huge, (uintmax_t(256) << 20) + 1);
  fails({"--set-chunk", huge.string(), kEcho}, "larger than 256 MiB");
  fails({"--get-chunk", (dir / "no-such-folder" / "p.bin").string(), kEcho}, "cannot write");
  // The editor's recalled project is read before the plug-in is loaded; each option is given once.
  fails({"--editor", kEcho, "--chunk", (dir / "missing.bin").string()}, "cannot read");
  fails({"--editor", kEcho, "--screenshot", "s.png", "--chunk", empty.string()}, "is empty");
  EXPECT_EQ(Command({"--editor", kEcho, "--chunk", "a.bin", "--chunk", "b.bin"}).code, 2);
  EXPECT_EQ(Command({"--editor", kEcho, "--chunk"}).code, 2);
  EXPECT_EQ(Command({"--editor", kEcho, "--size", "a"}).code, 2);
  // When the picture is taken only goes with a picture, and the bound is a whole number of seconds.
  EXPECT_EQ(Command({"--editor", kEcho, "--when", "ready"}).code, 2);
  EXPECT_EQ(Command({"--editor", kEcho, "--screenshot", "s.png", "--within", "5"}).code, 2);
  const Result zero =
      Command({"--editor", kEcho, "--screenshot", "s.png", "--when", "ready", "--within", "0"});
  EXPECT_EQ(zero.code, 2);
  EXPECT_NE(zero.err.find("--within takes a whole number of seconds"), std::string::npos) << zero.err;
  EXPECT_EQ(Command({"--editor", kEcho, "--screenshot", "s.png", "--when", "ready", "--within", "2s"}).code,
            2);
  EXPECT_EQ(FilesInDir(), 2u);
}

} // namespace

namespace
{
TEST_F(CommandLineFiles, ReadBackThatDiffersNamesTheParameter)
{
  const fs::path file = dir / "program.bin";
  ASSERT_EQ(Command({"--get-chunk", file.string(), kProduct}).code, 0);
  std::vector<char> bytes = FileBytes(file);
  // Header, tag, version, no automated values, the count: then parameter 0, then parameter 9 (the
  // second per-part index of a name whose parts start at 8). Values beyond the range come back clamped.
  const size_t first = 8 + 4 + 4 + 4;
  ASSERT_GT(bytes.size(), first + 10 * 8);
  const double huge = 1e9;
  std::memcpy(bytes.data() + first + 9 * 8, &huge, 8);
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  Result run = Command({"--set-chunk", file.string(), kProduct});
  EXPECT_EQ(run.code, 0) << run.err;
  // The value read back is the parameter's maximum, which the definition documents set.
  const std::string named =
      "read back: differs, first at parameter 9 (kOscillator2Pulsewidth [part 2]): 1e+09 given, ";
  const size_t at = run.out.find(named);
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string rest = run.out.substr(at + named.size());
  const size_t end = rest.find(" read back\n");
  ASSERT_NE(end, std::string::npos) << run.out;
  const double readBack = std::stod(rest.substr(0, end));
  EXPECT_GE(readBack, 1.0);
  EXPECT_LT(readBack, huge);

  // Not the product's layout: sizes and the first differing byte.
  EXPECT_EQ(vsthost::DescribeChunkDifference({1, 2, 3}, {1, 2, 4, 5}, 0),
            "3 bytes given, 4 read back, first difference at byte 2");
  EXPECT_EQ(vsthost::ParameterNameOf(0), "kOscillator1Pulsewidth"); // the base index is part 1 itself
  EXPECT_EQ(vsthost::ParameterNameOf(7), "kOscillator1Pulsewidth [part 8]");
  EXPECT_EQ(vsthost::ParameterNameOf(kDebugParts), "kDebugParts");
}

TEST(VstHostCommandLine, MisuseNamesWhatIsWrong)
{
  Result run = Command({"--identity", kProduct, "--verbose"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.err.rfind("vsthost: unknown option \"--verbose\"\nusage: ", 0), 0u) << run.err;
  run = Command({"--identiy", kProduct});
  EXPECT_EQ(run.err.rfind("vsthost: unknown option \"--identiy\"\n", 0), 0u) << run.err;
  run = Command({kProduct});
  EXPECT_EQ(run.err.rfind("vsthost: no command given before \"" + kProduct + "\"\n", 0), 0u) << run.err;
  run = Command({});
  EXPECT_EQ(run.err.rfind("vsthost: no command given\n", 0), 0u) << run.err;
  run = Command({"--get-chunk", "file.bin"});
  EXPECT_EQ(run.err.rfind("vsthost: --get-chunk needs other arguments\n", 0), 0u) << run.err;
  EXPECT_TRUE(run.out.empty());
}
} // namespace
