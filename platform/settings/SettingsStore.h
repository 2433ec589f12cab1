#pragma once

#include <string>

// Where the plug-in keeps its data folder (log, UI settings, banks). Stands in for the
// registry value of the Windows build: the environment variable VELK_DATA_DIR wins; otherwise
// the line "DataInstallPath=<folder>" of the file velk/settings.txt under the user's
// configuration folder ($XDG_CONFIG_HOME, else $HOME/.config).
class SettingsStore
{
public:
  // The data folder, or the empty text when none is configured.
  static std::string DataFolder();

  // The settings file that DataFolder reads (empty when no configuration folder is known).
  static std::string SettingsFilePath();
};
