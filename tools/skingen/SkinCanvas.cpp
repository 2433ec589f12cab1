#include "tools/skingen/SkinCanvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

// One FreeType library for the process; it lives as long as Cairo may hold faces made from it.
static FT_Library SkinFreeType()
{
  static FT_Library library = []
  {
    FT_Library lib = nullptr;
    return FT_Init_FreeType(&lib) == 0 ? lib : nullptr;
  }();
  return library;
}

static const cairo_user_data_key_t kFaceKey{};

static void DoneFace(void* face)
{
  FT_Done_Face(static_cast<FT_Face>(face));
}

static cairo_font_face_t* LoadFace(const std::string& file, std::string& error)
{
  FT_Library lib = SkinFreeType();
  FT_Face face = nullptr;
  if (!lib || FT_New_Face(lib, file.c_str(), 0, &face) != 0)
  {
    error = "cannot load the font " + file;
    return nullptr;
  }
  cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
  if (cairo_font_face_set_user_data(cf, &kFaceKey, face, DoneFace) != CAIRO_STATUS_SUCCESS)
  {
    cairo_font_face_destroy(cf);
    FT_Done_Face(face);
    error = "cannot keep the font " + file;
    return nullptr;
  }
  return cf;
}

SkinFonts::~SkinFonts()
{
  if (regularFace) cairo_font_face_destroy(regularFace);
  if (boldFace) cairo_font_face_destroy(boldFace);
}

bool SkinFonts::Load(const std::string& regularFile, const std::string& boldFile, std::string& error)
{
  regularFace = LoadFace(regularFile, error);
  boldFace = regularFace ? LoadFace(boldFile, error) : nullptr;
  return regularFace && boldFace;
}

SkinCanvas::SkinCanvas(cairo_surface_t* surface, const SkinFonts& f) : cr(cairo_create(surface)), fonts(f)
{
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
}

SkinCanvas::~SkinCanvas()
{
  cairo_destroy(cr);
}

void SkinCanvas::SetColour(const SkinColour& c)
{
  cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void SkinCanvas::RoundRect(double x, double y, double w, double h, double r)
{
  r = std::min(r, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  if (r <= 0)
  {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void SkinCanvas::FillBox(double x, double y, double w, double h, double r, const SkinColour& c)
{
  cairo_new_path(cr);
  RoundRect(x, y, w, h, r);
  SetColour(c);
  cairo_fill(cr);
}

void SkinCanvas::ShadeBox(double x, double y, double w, double h, double r, const SkinColour& top,
                          const SkinColour& bottom)
{
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_new_path(cr);
  RoundRect(x, y, w, h, r);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void SkinCanvas::StrokeBox(double x, double y, double w, double h, double r, const SkinColour& c,
                           double width)
{
  cairo_new_path(cr);
  // Inset by half the line so the stroke stays inside the box and lands on whole pixels.
  RoundRect(x + width / 2, y + width / 2, w - width, h - width, r);
  SetColour(c);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

void SkinCanvas::Line(double x1, double y1, double x2, double y2, const SkinColour& c, double width)
{
  cairo_new_path(cr);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  SetColour(c);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

double SkinCanvas::TextWidth(const std::string& text, double size, bool bold)
{
  cairo_set_font_face(cr, fonts.Face(bold));
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_advance;
}

void SkinCanvas::Text(double x, double y, double w, double h, const std::string& text, double size, bool bold,
                      const SkinColour& c, Align align)
{
  if (text.empty()) return;
  double width = TextWidth(text, size, bold);
  if (width > w && width > 0)
  {
    size = std::max(size * 0.6, size * w / width);
    width = TextWidth(text, size, bold);
  }
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  double tx = x;
  if (align == kCentre)
    tx = x + (w - width) / 2;
  else if (align == kRight)
    tx = x + w - width;
  // Baseline so that the cap height sits in the middle of the box.
  const double ty = y + h / 2 + (fe.ascent - fe.descent) / 2;
  cairo_new_path(cr);
  cairo_move_to(cr, std::round(tx), std::round(ty));
  SetColour(c);
  cairo_show_text(cr, text.c_str());
  cairo_new_path(cr);
}
