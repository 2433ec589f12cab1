#include "tools/vsthost/ChunkDifference.h"

#include "editor/VELK.h"
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/ParameterIds.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace vsthost
{

namespace
{

// The parameter values of a chunk in the product's layout; false when it is not that layout.
bool ReadValues(const std::vector<uint8_t>& chunk, int automated, std::vector<double>& values)
{
  size_t at = 0;
  const auto read = [&](void* to, size_t n)
  {
    if (chunk.size() - at < n) return false;
    std::memcpy(to, chunk.data() + at, n);
    at += n;
    return true;
  };
  int32_t word = 0;
  if (chunk.size() >= 8 && read(&word, 4) && word == kChunkMagic)
    at += 4; // the version
  else
    at = 0;
  int32_t tag = 0, version = 0, count = 0;
  if (!read(&tag, 4) || !read(&version, 4) || tag != VELK::kStateTag || version != VELK::kStateVersion)
    return false;
  values.assign(size_t(std::max(automated, 0)), 0.0);
  for (double& v : values)
    if (!read(&v, 8)) return false;
  if (!read(&count, 4) || count < 0 || size_t(count) > (chunk.size() - at) / 8) return false;
  const size_t first = values.size();
  values.resize(first + size_t(count));
  for (size_t i = first; i < values.size(); ++i)
    read(&values[i], 8);
  return true;
}

std::string Number(double value)
{
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof(text), value);
  return ec == std::errc() ? std::string(text, end) : "?";
}

} // namespace

std::string ParameterNameOf(int index)
{
  static const std::vector<std::pair<int, const char*>> names = []
  {
    std::vector<std::pair<int, const char*>> table = {
#define VELK_PARAM(name, index) {index, #name},
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
    };
    std::stable_sort(table.begin(), table.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return table;
  }();
  auto after = std::upper_bound(names.begin(), names.end(), index,
                                [](int i, const auto& entry) { return i < entry.first; });
  if (after == names.begin()) return "";
  const auto& [base, name] = *(after - 1);
  if (index == base) return name;
  const int next = after == names.end() ? base + kPartCount : after->first;
  // A per-part name owns the kPartCount indices from its base.
  if (index - base < kPartCount && next - base >= kPartCount)
    return std::string(name) + " [part " + std::to_string(index - base + 1) + "]";
  return "";
}

std::string DescribeChunkDifference(const std::vector<uint8_t>& given, const std::vector<uint8_t>& back,
                                    int automated)
{
  std::vector<double> a, b;
  if (ReadValues(given, automated, a) && ReadValues(back, automated, b))
  {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    {
      if (std::memcmp(&a[i], &b[i], sizeof(double)) == 0) continue;
      const std::string name = ParameterNameOf(int(i));
      return "parameter " + std::to_string(i) + (name.empty() ? "" : " (" + name + ")") + ": " +
             Number(a[i]) + " given, " + Number(b[i]) + " read back";
    }
    if (a.size() != b.size())
      return std::to_string(a.size()) + " parameters given, " + std::to_string(b.size()) + " read back";
  }
  size_t at = 0;
  while (at < given.size() && at < back.size() && given[at] == back[at])
    ++at;
  return std::to_string(given.size()) + " bytes given, " + std::to_string(back.size()) +
         " read back, first difference at byte " + std::to_string(at);
}

} // namespace vsthost
