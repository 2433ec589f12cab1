#pragma once

#include <string>

// Where the plug-in keeps its data folder (log, UI settings, banks). The environment variable
// VELK_DATA_DIR wins (tests point it at a temporary folder). Otherwise, on Windows, the value
// "DataInstallPath" of the registry key "SOFTWARE\Brackenfold\VELK\Settings" in the local machine
// hive; elsewhere, standing in for it, the line "DataInstallPath=<folder>" of the file
// velk/settings.txt under the user's configuration folder ($XDG_CONFIG_HOME, else $HOME/.config).
class SettingsStore
{
public:
  // The data folder, or the empty text when none is configured.
  static std::string DataFolder();

  // The settings file that DataFolder reads (empty when no configuration folder is known, and
  // always on Windows, which keeps the setting in the registry).
  static std::string SettingsFilePath();

private:
  // What the system's own store says, without the override.
  static std::string StoredDataFolder();
};
