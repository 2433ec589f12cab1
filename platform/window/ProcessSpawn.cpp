#include "platform/window/ProcessSpawn.h"

#include <cstdio>

std::string QuotedCommandLine(const std::vector<std::string>& argv)
{
  std::string line;
  for (const std::string& arg : argv)
  {
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
    {
      line += arg;
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : arg)
    {
      if (c == '\\')
      {
        ++backslashes;
        continue;
      }
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
  }
  return line;
}

std::vector<std::string> FilePromptArguments(bool save, const std::string& folder, const std::string& file,
                                             const std::vector<std::string>& extensions)
{
  std::vector<std::string> argv = {"zenity", "--file-selection"};
  if (save)
  {
    argv.push_back("--save");
    argv.push_back("--confirm-overwrite");
  }
  std::string start = folder;
  if (!start.empty() && start.back() != '/') start += '/';
  start += file;
  if (!start.empty()) argv.push_back("--filename=" + start);
  std::string patterns;
  for (const std::string& ext : extensions)
  {
    if (ext.empty()) continue;
    if (!patterns.empty()) patterns += ' ';
    patterns += "*." + ext;
  }
  if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
  return argv;
}

std::vector<std::string> ColourPromptArguments(const std::string& title, const uint8_t rgb[3])
{
  char colour[32];
  std::snprintf(colour, sizeof colour, "rgb(%d,%d,%d)", rgb[0], rgb[1], rgb[2]);
  std::vector<std::string> argv = {"zenity", "--color-selection", std::string("--color=") + colour};
  if (!title.empty()) argv.push_back("--title=" + title);
  return argv;
}

bool ParseColourAnswer(const std::string& text, uint8_t rgb[3])
{
  const std::string line = FirstLine(text);
  int r = -1, g = -1, b = -1;
  if (line.size() == 7 && line[0] == '#')
  {
    unsigned v = 0;
    for (size_t i = 1; i < 7; ++i)
    {
      const char c = line[i];
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      v = v * 16 + unsigned(d);
    }
    r = int(v >> 16);
    g = int((v >> 8) & 0xFF);
    b = int(v & 0xFF);
  }
  else
  {
    double a = 0;
    if (std::sscanf(line.c_str(), "rgba(%d,%d,%d,%lf)", &r, &g, &b, &a) != 4 &&
        std::sscanf(line.c_str(), "rgb(%d,%d,%d)", &r, &g, &b) != 3)
      return false;
  }
  if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return false;
  rgb[0] = uint8_t(r);
  rgb[1] = uint8_t(g);
  rgb[2] = uint8_t(b);
  return true;
}

std::string FirstLine(const std::string& text)
{
  const size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}
