#include "tools/skingen/SkinImageTable.h"

std::string SkinImageRow::Stem() const
{
  std::string stem = file;
  const auto slash = stem.rfind('/');
  if (slash != std::string::npos) stem.erase(0, slash + 1);
  if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".png") == 0) stem.resize(stem.size() - 4);
  return stem;
}

const std::vector<SkinImageRow>& SkinImageRows()
{
  static const std::vector<SkinImageRow> rows = {
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme)                                               \
  {id, #name, file, frames, (horizontal) != 0, SkinImageRow::scheme},
#include "config/ImageTable.def"
#undef VELK_IMAGE
  };
  return rows;
}
