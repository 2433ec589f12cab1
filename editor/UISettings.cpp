#include "editor/UISettings.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace
{
std::string Trimmed(std::string line)
{
  const size_t first = line.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const size_t last = line.find_last_not_of(" \t\r\n");
  return line.substr(first, last - first + 1);
}
} // namespace

double UISettings::ScaleOf(int size)
{
  switch (size)
  {
  case kSmall:
    return 0.85;
  case kLarge:
    return 1.15;
  default:
    return 1.0;
  }
}

double UISettings::Scale() const
{
  return ScaleOf(size);
}

std::string UISettings::FilePath(const std::string& dataFolder)
{
  if (dataFolder.empty()) return std::string();
  return dataFolder + "/" + kFileName;
}

UISettings UISettings::Load(const std::string& dataFolder)
{
  UISettings settings;
  const std::string path = FilePath(dataFolder);
  if (path.empty()) return settings;
  std::ifstream in(path);
  if (!in.is_open()) return settings;
  std::string line;
  if (std::getline(in, line))
  {
    line = Trimmed(line);
    if (line == "platinum" || line == "1") settings.colourScheme = 1;
  }
  if (std::getline(in, line))
  {
    line = Trimmed(line);
    if (line == "small")
      settings.size = kSmall;
    else if (line == "large")
      settings.size = kLarge;
  }
  if (std::getline(in, line)) settings.firstRunSeen = Trimmed(line) == "1";
  return settings;
}

bool UISettings::Save(const std::string& dataFolder) const
{
  const std::string path = FilePath(dataFolder);
  if (path.empty()) return false;
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return false;
    out << (colourScheme == 1 ? "platinum" : "normal") << "\n"
        << (size == kSmall   ? "small"
            : size == kLarge ? "large"
                             : "normal")
        << "\n"
        << (firstRunSeen ? "1" : "0") << "\n";
    out.flush();
    if (!out.good())
    {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec)
  {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}
