// skingen SOURCE_FOLDER OUT_FOLDER: draws every image of config/ImageTable.def from the recipes in
// SOURCE_FOLDER (resources/src/skin) into OUT_FOLDER/<file name of the table>.

#include "tools/skingen/SkinRenderer.h"

#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    std::fprintf(stderr, "usage: skingen SOURCE_FOLDER OUT_FOLDER\n");
    return 2;
  }
  try
  {
    std::string error;
    bool ok;
    {
      SkinRenderer renderer;
      ok = renderer.Load(argv[1], error) && renderer.WriteAll(argv[2], error);
    }
    cairo_debug_reset_static_data();
    if (!ok)
    {
      std::fprintf(stderr, "skingen: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  catch (const std::exception& e)
  {
    std::fprintf(stderr, "skingen: %s\n", e.what());
    return 1;
  }
}
