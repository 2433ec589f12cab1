#pragma once
// The rows of config/ImageTable.def as data, for the tools that draw and check the skin.

#include <string>
#include <vector>

struct SkinImageRow
{
  enum Scheme
  {
    kAnyScheme,
    kNormalScheme,
    kSecondScheme
  };
  int id;
  const char* name;
  const char* file; // relative to the build folder, e.g. "resources/img/btn-18x18.png"
  int frames;
  bool horizontal; // frames side by side
  Scheme scheme;

  // The file name without folder and ".png": the key of the image's recipe.
  std::string Stem() const;
};

// All 112 rows in registration order.
const std::vector<SkinImageRow>& SkinImageRows();
