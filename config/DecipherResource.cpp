#include "config/DecipherResource.h"

#include "config/ResourceKey.h"
#include "config/TeaCipher.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string_view>

namespace
{
uint32_t ReadWord(const uint8_t* p)
{
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void WriteWord(uint32_t w, char* p)
{
  p[0] = char(w >> 24);
  p[1] = char(w >> 16);
  p[2] = char(w >> 8);
  p[3] = char(w);
}
} // namespace

void DecipherResource(const uint8_t* bytes, int32_t length, std::string& out)
{
  if (!bytes || length < 1) return;
  const int32_t whole = length - length % 8;
  const size_t first = out.size();
  out.resize(first + size_t(whole));
  char* to = &out[0] + first;
  int32_t at = 0;
  for (; at + 64 <= whole; at += 64, to += 64)
  {
    uint32_t v0[8], v1[8];
    for (int lane = 0; lane < 8; ++lane)
    {
      v0[lane] = ReadWord(bytes + at + 8 * lane);
      v1[lane] = ReadWord(bytes + at + 8 * lane + 4);
    }
    TeaDecipherBlocks8(v0, v1, kResourceKey);
    for (int lane = 0; lane < 8; ++lane)
    {
      WriteWord(v0[lane], to + 8 * lane);
      WriteWord(v1[lane], to + 8 * lane + 4);
    }
  }
  for (; at < whole; at += 8, to += 8)
  {
    uint32_t v[2] = {ReadWord(bytes + at), ReadWord(bytes + at + 4)};
    TeaDecipherBlock(v, kResourceKey);
    WriteWord(v[0], to);
    WriteWord(v[1], to + 4);
  }
}

std::string DecipherDocument(const uint8_t* bytes, int32_t length)
{
  return *SharedDocument(bytes, length);
}

std::shared_ptr<const std::string> SharedDocument(const uint8_t* bytes, int32_t length)
{
  if (!bytes || length < 1) return std::make_shared<const std::string>();
  struct Kept
  {
    int32_t length;
    size_t hash;
    std::shared_ptr<const std::string> text;
  };
  static std::mutex lock;
  static std::deque<Kept> kept;
  constexpr size_t kMaxKept = 4;
  const size_t hash =
      std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes), size_t(length)));
  {
    std::lock_guard<std::mutex> guard(lock);
    for (const Kept& k : kept)
      if (k.length == length && k.hash == hash) return k.text;
  }
  auto text = std::make_shared<std::string>();
  DecipherResource(bytes, length, *text);
  std::lock_guard<std::mutex> guard(lock);
  kept.push_back(Kept{length, hash, text});
  if (kept.size() > kMaxKept) kept.pop_front();
  return text;
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
