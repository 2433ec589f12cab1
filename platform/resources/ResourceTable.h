#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Resources by type ("PNG", "TEXTFILE") and numeric id, standing in for the resources of a
// Windows module: a process-wide table of byte spans. The generated table registers its entries
// at start-up; tests register their own. The table does not own the bytes: they must outlive
// their entry.
class ResourceTable
{
public:
  // Adds or replaces the entry (type, id).
  static void Register(std::string_view type, int id, std::span<const std::uint8_t> bytes);
  // Removes the entry; false when there was none.
  static bool Unregister(std::string_view type, int id);
  // The bytes of (type, id); empty when missing.
  static std::span<const std::uint8_t> Find(std::string_view type, int id);
};
