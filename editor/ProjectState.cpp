#include "editor/ProjectState.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IStateChunk.h"

#include <bit>
#include <cstring>

bool ProjectState::Write(IStateChunk& chunk, IEffectBase& plug) const
{
  bool ok = chunk.PutInt(kTag) && chunk.PutInt(kVersion);
  ok = ok && plug.SerializeParams(&chunk);
  ok = ok && chunk.PutInt(plug.NonAutomatedCount()) &&
       plug.SerializeNonAutomatedParams(&chunk, plug.NonAutomatedCount());
  ok = ok && chunk.PutInt(PatchManager::kNumNames);
  for (const std::string& name : names)
    ok = ok && chunk.PutString(name.c_str());
  // Version 2: the device id and model the plug-in was talking to.
  ok = ok && chunk.PutInt(deviceId) && chunk.PutInt(model);
  return ok;
}

namespace
{
// n doubles from position, each a number; -1 when one is missing or not finite. The block is copied
// whole and then checked: a recall reads thousands of values.
int ReadValues(const IStateChunk& chunk, int position, int n, std::vector<double>& into)
{
  if (!chunk.CanRead(position, int64_t(n) * 8)) return -1;
  if (n == 0) return position;
  const size_t first = into.size();
  into.resize(first + size_t(n));
  double* values = into.data() + first;
  if constexpr (std::endian::native == std::endian::little)
    std::memcpy(values, chunk.Data() + position, size_t(n) * 8);
  else
    for (int i = 0; i < n; ++i)
      chunk.GetDouble(values[i], position + 8 * i);
  // A double is finite unless all its exponent bits are set.
  constexpr uint64_t kExponent = 0x7FF0000000000000u;
  bool finite = true;
  for (int i = 0; i < n; ++i)
    finite &= (std::bit_cast<uint64_t>(values[i]) & kExponent) != kExponent;
  if (!finite) return -1;
  return position + 8 * n;
}
} // namespace

int ProjectState::Read(const IStateChunk& chunk, int position, int automated, int nonAutomated)
{
  if (position < 0) return -1;
  int32_t tag = 0;
  position = chunk.GetInt(tag, position);
  position = chunk.GetInt(version, position);
  if (position < 0 || tag != kTag || version < kOldestVersion || version > kVersion) return -1;

  values.clear();
  values.reserve(size_t(automated) + size_t(nonAutomated > 0 ? nonAutomated : 0));
  position = ReadValues(chunk, position, automated, values);
  if (position < 0) return -1;
  int32_t count = 0;
  position = chunk.GetInt(count, position);
  if (position < 0 || count != nonAutomated) return -1;
  position = ReadValues(chunk, position, count, values);
  if (position < 0) return -1;

  int32_t nameCount = 0;
  position = chunk.GetInt(nameCount, position);
  if (position < 0 || nameCount != PatchManager::kNumNames) return -1;
  for (std::string& name : names)
  {
    int32_t length = 0;
    position = chunk.GetInt(length, position);
    if (position < 0 || length < 0 || length > PatchManager::kMaxNameLength ||
        !chunk.CanRead(position, length))
      return -1;
    name.clear();
    if (length > 0)
    {
      const char* bytes = reinterpret_cast<const char*>(chunk.Data()) + position;
      if (std::memchr(bytes, 0, size_t(length))) return -1; // a name never holds a terminator
      name.assign(bytes, size_t(length));
    }
    position += length;
  }

  deviceId = model = -1;
  if (version >= 2)
  {
    position = chunk.GetInt(deviceId, position);
    position = chunk.GetInt(model, position);
    if (position < 0 || deviceId < 0 || deviceId > 127 || model < 0 || model > 2) return -1;
  }
  // The project state is the last thing of every chunk the plug-in writes (it has no preset slots
  // whose states would follow one another): bytes after it make another chunk.
  if (position != chunk.Size()) return -1;
  return position;
}
