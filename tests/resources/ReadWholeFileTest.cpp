#include "tools/common/ReadWholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

TEST(ReadWholeFile, BytesUnchangedEmptyFilesAndMissingOnes)
{
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("velk-read-whole-file-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  // Line ends, a NUL and a byte above 0x7F come back as written; a large file comes back whole.
  std::string bytes("a\r\nb\n\0c\xff", 8);
  bytes += std::string(100000, 'x') + "end";
  {
    std::ofstream out(dir / "bytes", std::ios::binary);
    out << bytes;
    std::ofstream empty(dir / "empty", std::ios::binary);
  }
  std::string text = "left over";
  EXPECT_TRUE(ReadWholeFile((dir / "bytes").string(), text));
  EXPECT_EQ(text, bytes);
  EXPECT_TRUE(ReadWholeFile((dir / "empty").string(), text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ReadWholeFile((dir / "missing").string(), text));
  std::filesystem::remove_all(dir);
}
