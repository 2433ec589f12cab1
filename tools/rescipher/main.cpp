// velk_rescipher encipher|decipher IN OUT: enciphers a definition document for embedding, or
// deciphers an embedded one for inspection. The output is written to a temporary file and renamed.
#include "config/DecipherResource.h"
#include "tools/common/ReadWholeFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace
{
bool WriteFile(const char* path, const void* data, size_t size)
{
  const std::string temp = std::string(path) + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(static_cast<const char*>(data), std::streamsize(size));
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path) == 0;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 4 || (std::strcmp(argv[1], "encipher") != 0 && std::strcmp(argv[1], "decipher") != 0))
  {
    std::fprintf(stderr, "usage: velk_rescipher encipher|decipher IN OUT\n");
    return 2;
  }
  std::string input;
  if (!ReadWholeFile(argv[2], input))
  {
    std::fprintf(stderr, "velk_rescipher: cannot read %s\n", argv[2]);
    return 1;
  }
  bool written;
  if (argv[1][0] == 'e')
  {
    const std::vector<uint8_t> out = EncipherResource(input);
    written = WriteFile(argv[3], out.data(), out.size());
  }
  else
  {
    if (input.size() % 8 != 0)
      std::fprintf(stderr, "velk_rescipher: %s is not whole 8-byte blocks; the last %zu bytes are ignored\n",
                   argv[2], input.size() % 8);
    std::string out;
    DecipherResource(reinterpret_cast<const uint8_t*>(input.data()), int32_t(input.size()), out);
    written = WriteFile(argv[3], out.data(), out.size());
  }
  if (!written)
  {
    std::fprintf(stderr, "velk_rescipher: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
