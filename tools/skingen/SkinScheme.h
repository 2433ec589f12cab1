#pragma once
// The two colour schemes of the skin and the font files it draws text with, read from
// resources/src/skin/schemes.txt:
//   font   regular|bold  <file>
//   colour normal|second <role> #rrggbb[aa]
// Every role the painters use must be given in both schemes.

#include <map>
#include <string>
#include <vector>

struct SkinColour
{
  double r = 0, g = 0, b = 0, a = 1;

  SkinColour WithAlpha(double alpha) const { return {r, g, b, alpha}; }
  // Mixed towards another colour by t (0 keeps this one).
  SkinColour Mix(const SkinColour& other, double t) const;
  // WCAG relative luminance of the opaque colour.
  double Luminance() const;
};

// WCAG contrast ratio of two opaque colours (1 to 21).
double SkinContrast(const SkinColour& a, const SkinColour& b);

class SkinPalette
{
public:
  // The colour of a role; a role the scheme file lacks is caught at load time.
  const SkinColour& operator[](const std::string& role) const;

private:
  friend class SkinSchemes;
  std::map<std::string, SkinColour> colours;
};

class SkinSchemes
{
public:
  enum
  {
    kNormal = 0,
    kSecond = 1
  };
  // The roles every scheme must define.
  static const std::vector<std::string>& Roles();

  bool Load(const std::string& path, std::string& error);
  bool Parse(const std::string& text, std::string& error);
  const SkinPalette& Palette(int scheme) const { return palettes[scheme == kSecond ? 1 : 0]; }
  const std::string& RegularFont() const { return regularFont; }
  const std::string& BoldFont() const { return boldFont; }

private:
  SkinPalette palettes[2];
  std::string regularFont, boldFont;
};
