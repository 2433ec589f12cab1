// velk_placeholder_images OUT_ROOT: writes a stand-in for every row of the image table, at
// OUT_ROOT/<file name>, until the drawn skin replaces them: a plausible size, the row's frame count
// and layout, each frame a distinct shade with a bar whose length grows with the frame number.
// Deterministic, so two builds give the same bytes.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
struct Size
{
  int w;
  int h;
};

// One frame's size, from what the image is.
Size FrameSize(const std::string& name, int frames)
{
  if (name == "MAIN_BG_ID" || name == "MAIN_BG_FRAME_ID" || name == "PROGRESS_INDICATOR_ID" ||
      name == "BG_FIRST_RUN_ID" || name == "BG_ABOUT_ID")
    return {1500, 757};
  if (name.rfind("IKNOBROTATERCONTROL", 0) == 0)
    return name == "IKNOBROTATERCONTROL_ID3" ? Size{32, 32} : Size{48, 48};
  if (name.rfind("SLIDER_", 0) == 0) return {24, 12};
  if (name.find("_BG") != std::string::npos || name.rfind("BG_", 0) == 0 ||
      name.find("_ID") == std::string::npos)
    return {400, 240};
  if (frames > 1) return {40, 20};
  return {120, 24};
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels)
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string temp = path + ".part";
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(size_t(width) * 4);
  for (int y = 0; y < height; ++y)
  {
    for (int x = 0; x < width; ++x)
    {
      const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
      row[size_t(x) * 4 + 0] = png_byte(p >> 16);
      row[size_t(x) * 4 + 1] = png_byte(p >> 8);
      row[size_t(x) * 4 + 2] = png_byte(p);
      row[size_t(x) * 4 + 3] = png_byte(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const bool closed = std::fclose(file) == 0;
  return closed && std::rename(temp.c_str(), path.c_str()) == 0;
}

bool Draw(const std::string& root, int id, const std::string& name, const std::string& file, int frames,
          bool horizontal)
{
  const Size f = FrameSize(name, frames);
  const int width = horizontal ? f.w * frames : f.w;
  const int height = horizontal ? f.h : f.h * frames;
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int k = 0; k < frames; ++k)
  {
    const int left = horizontal ? k * f.w : 0;
    const int top = horizontal ? 0 : k * f.h;
    const uint32_t shade = 0xFF000000u | (uint32_t((id * 37) & 0x7F) << 16) |
                           (uint32_t(40 + (k * 160) / frames) << 8) | uint32_t((id * 11) & 0xFF);
    const int bar = frames > 1 ? (f.w * k) / (frames - 1) : f.w;
    for (int y = 0; y < f.h; ++y)
      for (int x = 0; x < f.w; ++x)
      {
        const bool edge = x == 0 || y == 0 || x == f.w - 1 || y == f.h - 1;
        const bool inBar = y >= f.h / 2 - 1 && y <= f.h / 2 + 1 && x < bar;
        pixels[size_t(top + y) * size_t(width) + size_t(left + x)] = edge || inBar ? 0xFFE0E0E0u : shade;
      }
  }
  if (!WritePng(root + "/" + file, width, height, pixels))
  {
    std::fprintf(stderr, "velk_placeholder_images: cannot write %s/%s\n", root.c_str(), file.c_str());
    return false;
  }
  return true;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: velk_placeholder_images OUT_ROOT\n");
    return 2;
  }
  const std::string root = argv[1];
  bool ok = true;
#define VELK_IMAGE(id, name, file, frames, horizontal, scheme)                                               \
  ok = Draw(root, id, #name, file, frames, horizontal) && ok;
#include "config/ImageTable.def"
#undef VELK_IMAGE
  return ok ? 0 : 1;
}
