#pragma once

#include <cstdint>
#include <string>

// The editor's look as the user chose it, kept in "VELK Editor UI.txt" in the data folder: three
// lines, the colour scheme ("normal" or "platinum"), the size ("small", "normal" or "large") and
// whether the first-run notice was seen ("1" or "0"). A missing or unreadable file, or a line
// that names nothing known, gives the default of that line: normal size, the first scheme.
struct UISettings
{
  enum Size
  {
    kSmall = 0,
    kNormal = 1,
    kLarge = 2
  };
  static constexpr const char* kFileName = "VELK Editor UI.txt";

  int size = kNormal;
  uint32_t colourScheme = 0; // 0 normal, 1 platinum
  bool firstRunSeen = false;

  // 0.85, 1.0 or 1.15.
  double Scale() const;
  static double ScaleOf(int size);

  static std::string FilePath(const std::string& dataFolder);
  static UISettings Load(const std::string& dataFolder);
  // Written to a temporary file beside it and renamed into place; false when it could not be.
  bool Save(const std::string& dataFolder) const;
};
