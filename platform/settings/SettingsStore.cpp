#include "platform/settings/SettingsStore.h"

#include <cstdlib>

std::string SettingsStore::DataFolder()
{
  const char* over = std::getenv("VELK_DATA_DIR");
  if (over && *over) return over;
  return StoredDataFolder();
}
