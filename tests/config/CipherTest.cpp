#include "config/DecipherResource.h"
#include "config/TeaCipher.h"
#include "platform/resources/ResourceTable.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace
{
std::string ReadFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Padded(std::string text)
{
  text.resize((text.size() + 7) / 8 * 8, '\0');
  return text;
}

std::string Decipher(const std::string& bytes, int32_t length)
{
  std::string out;
  DecipherResource(reinterpret_cast<const uint8_t*>(bytes.data()), length, out);
  return out;
}
} // namespace

TEST(Cipher, KnownAnswerAndInverse)
{
  const uint32_t zeroKey[4] = {0, 0, 0, 0};
  uint32_t block[2] = {0, 0};
  TeaEncipherBlock(block, zeroKey);
  EXPECT_EQ(block[0], 0x41EA3A0Au);
  EXPECT_EQ(block[1], 0x94BAA940u);
  TeaDecipherBlock(block, zeroKey);
  EXPECT_EQ(block[0], 0u);
  EXPECT_EQ(block[1], 0u);

  // Another key and block: deciphering undoes enciphering, and the key matters.
  const uint32_t key[4] = {0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};
  uint32_t v[2] = {0xDEADBEEFu, 0x00C0FFEEu};
  TeaEncipherBlock(v, key);
  EXPECT_NE(v[0], 0xDEADBEEFu);
  uint32_t w[2] = {v[0], v[1]};
  TeaDecipherBlock(w, zeroKey);
  EXPECT_NE(w[0], 0xDEADBEEFu);
  TeaDecipherBlock(v, key);
  EXPECT_EQ(v[0], 0xDEADBEEFu);
  EXPECT_EQ(v[1], 0x00C0FFEEu);
}

TEST(Cipher, RoundTripsOddLengthsAndKeepsWholeBlocks)
{
  for (size_t n : {size_t(1), size_t(7), size_t(8), size_t(9), size_t(15), size_t(16), size_t(63), size_t(64),
                   size_t(65), size_t(72), size_t(1001)})
  {
    std::string text;
    for (size_t i = 0; i < n; ++i)
      text.push_back(char('a' + (i * 7) % 26));
    const std::vector<uint8_t> enciphered = EncipherResource(text);
    ASSERT_EQ(enciphered.size() % 8, 0u) << n;
    ASSERT_GE(enciphered.size(), n);
    ASSERT_LT(enciphered.size(), n + 8);
    const std::string bytes(enciphered.begin(), enciphered.end());
    EXPECT_NE(bytes.substr(0, n), text) << "the text must not pass in clear";
    EXPECT_EQ(Decipher(bytes, int32_t(bytes.size())), Padded(text)) << n;
  }

  // 16 bytes give 16 characters; 12 give the first block only; nothing gives nothing.
  const std::vector<uint8_t> e = EncipherResource("0123456789abcdef");
  const std::string bytes(e.begin(), e.end());
  EXPECT_EQ(Decipher(bytes, 16), "0123456789abcdef");
  EXPECT_EQ(Decipher(bytes, 12), "01234567");
  EXPECT_EQ(Decipher(bytes, 0), "");
  EXPECT_EQ(Decipher(bytes, -8), "");
  std::string out = "kept";
  DecipherResource(nullptr, 16, out);
  EXPECT_EQ(out, "kept");
}

TEST(Cipher, BuildToolOutputReadsBack)
{
  // The documents the build enciphered and embedded are the plain ones, padded.
  const std::string dir = std::string(VELK_BINARY_DIR) + "/resources/";
  for (const auto& [id, name] : {std::pair<int, std::string>{100, "uiconfig"}, {101, "sysex"}})
  {
    const std::string plain = ReadFile(dir + name + ".xml");
    const std::string tea = ReadFile(dir + name + ".tea");
    ASSERT_FALSE(plain.empty()) << name;
    EXPECT_EQ(Decipher(tea, int32_t(tea.size())), Padded(plain)) << name;
    const auto embedded = ResourceTable::Find("TEXTFILE", id);
    EXPECT_EQ(std::string(embedded.begin(), embedded.end()), tea) << name;
  }

  // The tool on an odd-length text, both ways.
  const TempFolder folder("cipher");
  ASSERT_FALSE(folder.Path().empty());
  const std::string base = folder.String();
  const std::string text = "<sysexlist><sysex><values><value>F0 F7</value></values></sysex></sysexlist>!";
  std::ofstream(base + "/in.xml", std::ios::binary) << text;
  const std::string tool = std::string(VELK_BINARY_DIR) + "/tools/rescipher/velk_rescipher";
  ASSERT_EQ(std::system((tool + " encipher " + base + "/in.xml " + base + "/out.tea").c_str()), 0);
  const std::string tea = ReadFile(base + "/out.tea");
  EXPECT_EQ(tea.size() % 8, 0u);
  EXPECT_EQ(Decipher(tea, int32_t(tea.size())), Padded(text));
  ASSERT_EQ(std::system((tool + " decipher " + base + "/out.tea " + base + "/back.xml").c_str()), 0);
  EXPECT_EQ(ReadFile(base + "/back.xml"), Padded(text));
  EXPECT_NE(std::system((tool + " decipher " + base + "/missing.tea " + base + "/x.xml 2>/dev/null").c_str()),
            0);
}

// Documents are deciphered once per process and answered from what was kept; the kept text follows
// the bytes, not where they lie: a buffer rewritten in place is deciphered anew.
TEST(Cipher, DocumentsAreKeptByTheirBytes)
{
  std::vector<uint8_t> buffer = EncipherResource("<uiconfig>first</uiconfig>");
  std::string direct;
  DecipherResource(buffer.data(), int32_t(buffer.size()), direct);
  EXPECT_EQ(DecipherDocument(buffer.data(), int32_t(buffer.size())), direct);
  EXPECT_EQ(DecipherDocument(buffer.data(), int32_t(buffer.size())), direct);
  // The kept text itself is shared, not copied again.
  const auto shared = SharedDocument(buffer.data(), int32_t(buffer.size()));
  EXPECT_EQ(*shared, direct);
  EXPECT_EQ(SharedDocument(buffer.data(), int32_t(buffer.size())).get(), shared.get());

  const std::vector<uint8_t> second = EncipherResource("<uiconfig>other</uiconfig>");
  ASSERT_EQ(second.size(), buffer.size());
  buffer = second; // same length, same place, other content
  std::string expected;
  DecipherResource(second.data(), int32_t(second.size()), expected);
  EXPECT_EQ(DecipherDocument(buffer.data(), int32_t(buffer.size())), expected);

  for (int i = 0; i < 6; ++i)
  {
    const std::vector<uint8_t> many = EncipherResource("document " + std::to_string(i));
    std::string want;
    DecipherResource(many.data(), int32_t(many.size()), want);
    EXPECT_EQ(DecipherDocument(many.data(), int32_t(many.size())), want) << i;
  }
  EXPECT_EQ(DecipherDocument(nullptr, 8), "");
  EXPECT_EQ(DecipherDocument(buffer.data(), 0), "");
  ASSERT_NE(SharedDocument(nullptr, 8), nullptr);
  EXPECT_EQ(*SharedDocument(nullptr, 8), "");
}
