#include "tools/skingen/SkinScheme.h"

#include "tools/common/ReadWholeFile.h"
#include "tools/skingen/SkinRecipe.h"

#include <cmath>
#include <sstream>

SkinColour SkinColour::Mix(const SkinColour& o, double t) const
{
  return {r + (o.r - r) * t, g + (o.g - g) * t, b + (o.b - b) * t, a + (o.a - a) * t};
}

static double Linear(double c)
{
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double SkinColour::Luminance() const
{
  return 0.2126 * Linear(r) + 0.7152 * Linear(g) + 0.0722 * Linear(b);
}

double SkinContrast(const SkinColour& a, const SkinColour& b)
{
  double la = a.Luminance(), lb = b.Luminance();
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

const SkinColour& SkinPalette::operator[](const std::string& role) const
{
  static const SkinColour missing{1, 0, 1, 1};
  const auto it = colours.find(role);
  return it == colours.end() ? missing : it->second;
}

const std::vector<std::string>& SkinSchemes::Roles()
{
  static const std::vector<std::string> roles = {
      "window",  "bar",      "panel",   "panelHi", "field",  "fieldEdge", "frame",  "title",    "text",
      "textDim", "accent",   "accent2", "led",     "ledOff", "knob",      "knobHi", "pointer",  "track",
      "button",  "buttonHi", "lit",     "litText", "veil",   "glass",     "light",  "lightText"};
  return roles;
}

static bool ParseColour(const std::string& s, SkinColour& c)
{
  if ((s.size() != 7 && s.size() != 9) || s[0] != '#') return false;
  unsigned v[4] = {0, 0, 0, 255};
  for (std::size_t i = 0; i + 1 < s.size(); i += 2)
  {
    unsigned byte = 0;
    for (int k = 1; k <= 2; ++k)
    {
      const char h = s[i + k];
      byte <<= 4;
      if (h >= '0' && h <= '9')
        byte |= unsigned(h - '0');
      else if (h >= 'a' && h <= 'f')
        byte |= unsigned(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        byte |= unsigned(h - 'A' + 10);
      else
        return false;
    }
    v[i / 2] = byte;
  }
  c = {v[0] / 255.0, v[1] / 255.0, v[2] / 255.0, v[3] / 255.0};
  return true;
}

bool SkinSchemes::Load(const std::string& path, std::string& error)
{
  std::string text;
  if (!ReadWholeFile(path, text))
  {
    error = "cannot read " + path;
    return false;
  }
  if (!Parse(text, error))
  {
    error = path + ":" + error;
    return false;
  }
  return true;
}

bool SkinSchemes::Parse(const std::string& text, std::string& error)
{
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number)
  {
    std::istringstream words(line);
    std::string what, a, b, c;
    if (!(words >> what) || what[0] == '#') continue;
    words >> a >> b >> c;
    const std::string where = std::to_string(number) + ": ";
    if (what == "font" && (a == "regular" || a == "bold") && !b.empty() && c.empty())
      (a == "regular" ? regularFont : boldFont) = b;
    else if (what == "colour" && (a == "normal" || a == "second") && !b.empty())
    {
      SkinColour colour;
      if (!ParseColour(c, colour))
      {
        error = where + "colour \"" + c + "\" is not #rrggbb or #rrggbbaa";
        return false;
      }
      palettes[a == "second" ? 1 : 0].colours[b] = colour;
    }
    else
    {
      error = where + "expected \"font regular|bold FILE\" or \"colour normal|second ROLE #rrggbb\"";
      return false;
    }
  }
  if (regularFont.empty() || boldFont.empty())
  {
    error = " both a regular and a bold font are needed";
    return false;
  }
  for (int s = 0; s < 2; ++s)
    for (const auto& role : Roles())
      if (!palettes[s].colours.count(role))
      {
        error = std::string(" scheme ") + (s ? "second" : "normal") + " has no colour for " + role;
        return false;
      }
  return true;
}
