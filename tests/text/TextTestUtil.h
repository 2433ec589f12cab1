#pragma once
// Helpers shared by the text tests: bitmap filling, ink search and a PNG writer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/Gfx_IBitmap.h"

namespace texttest {

inline void Fill(Gfx_IBitmap& b, std::uint32_t colour)
{
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.Row(y)[x] = colour;
}

inline std::uint32_t Px(const Gfx_IBitmap& b, int x, int y)
{
  return b.Row(y)[x];
}

struct Box
{
  int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
  bool empty = true;
};

// The bounding box of every pixel that differs from the background.
inline Box InkBox(const Gfx_IBitmap& b, std::uint32_t background)
{
  Box box;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Row(y)[x] != background) {
        if (box.empty) {
          box = {x, y, x + 1, y + 1, false};
        } else {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x + 1);
          box.bottom = std::max(box.bottom, y + 1);
        }
      }
  return box;
}

inline int CountDiffering(const Gfx_IBitmap& b, std::uint32_t background)
{
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      n += b.Row(y)[x] != background;
  return n;
}

// An uncompressed (stored-deflate) RGBA PNG: enough to look at test output.
inline bool WritePNG(const std::string& path, const Gfx_IBitmap& b)
{
  auto crc32 = [](const std::uint8_t* p, std::size_t n, std::uint32_t c = 0xFFFFFFFFu) {
    for (std::size_t i = 0; i < n; ++i) {
      c ^= p[i];
      for (int k = 0; k < 8; ++k)
        c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c;
  };
  auto be32 = [](std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int s = 24; s >= 0; s -= 8)
      v.push_back(static_cast<std::uint8_t>(x >> s));
  };
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < b.Height(); ++y) {
    raw.push_back(0);
    for (int x = 0; x < b.Width(); ++x) {
      const std::uint32_t p = b.Row(y)[x];
      raw.push_back(static_cast<std::uint8_t>(p >> 16));
      raw.push_back(static_cast<std::uint8_t>(p >> 8));
      raw.push_back(static_cast<std::uint8_t>(p));
      raw.push_back(0xFF);
    }
  }
  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::uint32_t a = 1, s2 = 0;
  for (std::uint8_t c : raw) {
    a = (a + c) % 65521;
    s2 = (s2 + a) % 65521;
  }
  for (std::size_t off = 0; off < raw.size() || off == 0; off += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - off);
    z.push_back(off + n >= raw.size() ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + off, raw.begin() + off + n);
    if (raw.empty())
      break;
  }
  be32(z, (s2 << 16) | a);

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    be32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> td(type, type + 4);
    td.insert(td.end(), data.begin(), data.end());
    out.insert(out.end(), td.begin(), td.end());
    be32(out, crc32(td.data(), td.size()) ^ 0xFFFFFFFFu);
  };
  std::vector<std::uint8_t> ihdr;
  be32(ihdr, static_cast<std::uint32_t>(b.Width()));
  be32(ihdr, static_cast<std::uint32_t>(b.Height()));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

} // namespace texttest
