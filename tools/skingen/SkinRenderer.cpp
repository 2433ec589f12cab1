#include "tools/skingen/SkinRenderer.h"

#include "tools/skingen/SkinArt.h"

#include <filesystem>
#include <fstream>

bool SkinRenderer::Load(const std::string& folder, std::string& error)
{
  if (!recipes.Load(folder + "/images.txt", error) || !schemes.Load(folder + "/schemes.txt", error))
    return false;
  if (!layout.Load(folder + "/../bindings.tsv", folder + "/../layout.txt"))
  {
    error = layout.Errors().empty() ? "cannot read the layout" : layout.Errors().front();
    return false;
  }
  return fonts.Load(schemes.RegularFont(), schemes.BoldFont(), error);
}

bool SkinRenderer::StripSize(const SkinImageRow& row, int& width, int& height) const
{
  const SkinRecipe* recipe = recipes.Find(row.Stem());
  if (!recipe || row.frames < 1) return false;
  width = recipe->width * (row.horizontal ? row.frames : 1);
  height = recipe->height * (row.horizontal ? 1 : row.frames);
  return true;
}

cairo_surface_t* SkinRenderer::Draw(const SkinImageRow& row, std::string& error) const
{
  const SkinRecipe* recipe = recipes.Find(row.Stem());
  int width = 0, height = 0;
  if (!recipe || !StripSize(row, width, height))
  {
    error = std::string("no recipe for ") + row.file;
    return nullptr;
  }
  void (*painter)(SkinFrame&) = nullptr;
  const std::string& k = recipe->kind;
  if (k == "knob")
    painter = DrawKnobFrame;
  else if (k == "button" || k == "led" || k == "icon" || k == "plate" || k == "slider")
    painter = DrawButtonFrame;
  else if (k == "radio" || k == "header")
    painter = DrawRadioFrame;
  else if (k == "window" || k == "page" || k == "dialog" || k == "section" || k == "overlay")
    painter = DrawPanelFrame;
  else if (k == "routing")
    painter = DrawRoutingFrame;
  if (!painter)
  {
    error = "unknown kind \"" + k + "\" in the recipe of " + row.file;
    return nullptr;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
  {
    cairo_surface_destroy(surface);
    error = std::string("cannot make a surface for ") + row.file;
    return nullptr;
  }
  const SkinPalette& palette = schemes.Palette(
      row.scheme == SkinImageRow::kSecondScheme ? SkinSchemes::kSecond : SkinSchemes::kNormal);
  for (int i = 0; i < row.frames; ++i)
  {
    SkinCanvas canvas(surface, fonts);
    cairo_t* cr = canvas.Cr();
    const double fx = row.horizontal ? double(i) * recipe->width : 0;
    const double fy = row.horizontal ? 0 : double(i) * recipe->height;
    // Each frame draws only inside its own cell of the strip.
    cairo_rectangle(cr, fx, fy, recipe->width, recipe->height);
    cairo_clip(cr);
    cairo_translate(cr, fx, fy);
    SkinFrame frame{
        canvas,         *recipe, palette, i, row.frames, double(recipe->width), double(recipe->height),
        row.horizontal, &layout};
    painter(frame);
  }
  cairo_surface_flush(surface);
  return surface;
}

static cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length)
{
  auto* out = static_cast<std::vector<unsigned char>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

bool EncodeSkinPng(cairo_surface_t* surface, std::vector<unsigned char>& png)
{
  png.clear();
  return cairo_surface_write_to_png_stream(surface, AppendBytes, &png) == CAIRO_STATUS_SUCCESS;
}

bool SkinRenderer::Render(const SkinImageRow& row, std::vector<unsigned char>& png, std::string& error) const
{
  cairo_surface_t* surface = Draw(row, error);
  if (!surface) return false;
  const bool ok = EncodeSkinPng(surface, png);
  cairo_surface_destroy(surface);
  if (!ok) error = std::string("cannot encode ") + row.file;
  return ok;
}

bool SkinRenderer::WriteAll(const std::string& outFolder, std::string& error) const
{
  for (const auto& row : SkinImageRows())
  {
    std::vector<unsigned char> png;
    if (!Render(row, png, error)) return false;
    const std::filesystem::path target = std::filesystem::path(outFolder) / row.file;
    const std::filesystem::path temporary = std::filesystem::path(target).concat(".tmp");
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
      if (!out.flush())
      {
        error = "cannot write " + temporary.string();
        return false;
      }
    }
    std::filesystem::rename(temporary, target, ec);
    if (ec)
    {
      error = "cannot rename " + temporary.string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}
