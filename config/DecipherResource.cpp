#include "config/DecipherResource.h"

#include "config/ResourceKey.h"
#include "config/TeaCipher.h"

namespace
{
uint32_t ReadWord(const uint8_t* p)
{
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void AppendWord(uint32_t w, std::string& out)
{
  out.push_back(char(w >> 24));
  out.push_back(char(w >> 16));
  out.push_back(char(w >> 8));
  out.push_back(char(w));
}
} // namespace

void DecipherResource(const uint8_t* bytes, int32_t length, std::string& out)
{
  if (!bytes || length < 1) return;
  const int32_t whole = length - length % 8;
  out.reserve(out.size() + size_t(whole));
  for (int32_t at = 0; at < whole; at += 8)
  {
    uint32_t v[2] = {ReadWord(bytes + at), ReadWord(bytes + at + 4)};
    TeaDecipherBlock(v, kResourceKey);
    AppendWord(v[0], out);
    AppendWord(v[1], out);
  }
}

std::vector<uint8_t> EncipherResource(const std::string& text)
{
  std::vector<uint8_t> padded(text.begin(), text.end());
  padded.resize((padded.size() + 7) / 8 * 8, 0);
  std::vector<uint8_t> out;
  out.reserve(padded.size());
  for (size_t at = 0; at < padded.size(); at += 8)
  {
    uint32_t v[2] = {ReadWord(padded.data() + at), ReadWord(padded.data() + at + 4)};
    TeaEncipherBlock(v, kResourceKey);
    for (uint32_t w : v)
    {
      out.push_back(uint8_t(w >> 24));
      out.push_back(uint8_t(w >> 16));
      out.push_back(uint8_t(w >> 8));
      out.push_back(uint8_t(w));
    }
  }
  return out;
}
