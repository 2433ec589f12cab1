#include "platform/resources/ResourceTable.h"

#include "platform/resources/EmbeddedResources.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace
{
struct Table
{
  // The build's embedded resources are the table's first entries.
  Table()
  {
    for (int i = 0; i < kEmbeddedResourceCount; ++i)
    {
      const EmbeddedResource& r = kEmbeddedResources[i];
      entries[{std::string(r.type), r.id}] = std::span<const std::uint8_t>(r.begin, r.end);
    }
  }

  std::mutex lock;
  std::map<std::pair<std::string, int>, std::span<const std::uint8_t>, std::less<>> entries;
};

// Built on first use, so a generated table may register from a static initialiser.
Table& TheTable()
{
  static Table table;
  return table;
}
} // namespace

void ResourceTable::Register(std::string_view type, int id, std::span<const std::uint8_t> bytes)
{
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  t.entries[{std::string(type), id}] = bytes;
}

bool ResourceTable::Unregister(std::string_view type, int id)
{
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.entries.erase({std::string(type), id}) > 0;
}

std::span<const std::uint8_t> ResourceTable::Find(std::string_view type, int id)
{
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  const auto it = t.entries.find(std::pair<std::string, int>(std::string(type), id));
  return it == t.entries.end() ? std::span<const std::uint8_t>() : it->second;
}
