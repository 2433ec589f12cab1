#include "platform/settings/SettingsStore.h"

#include <cstdlib>
#include <fstream>

namespace
{
std::string Env(const char* name)
{
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

const char kKey[] = "DataInstallPath=";
} // namespace

std::string SettingsStore::SettingsFilePath()
{
  std::string base = Env("XDG_CONFIG_HOME");
  if (base.empty())
  {
    const std::string home = Env("HOME");
    if (home.empty()) return {};
    base = home + "/.config";
  }
  return base + "/velk/settings.txt";
}

std::string SettingsStore::StoredDataFolder()
{
  const std::string file = SettingsFilePath();
  if (file.empty()) return {};
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line))
  {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, sizeof(kKey) - 1, kKey) == 0) return line.substr(sizeof(kKey) - 1);
  }
  return {};
}
