#pragma once
// A Cairo context over one image with the few shapes the skin is made of: rounded boxes with
// gradients, lines and text in the skin's fonts (FreeType faces from fixed files, no hinting, so the
// same text gives the same pixels on every build).

#include "tools/skingen/SkinScheme.h"

#include <cairo.h>

#include <string>

class SkinFonts
{
public:
  SkinFonts() = default;
  SkinFonts(const SkinFonts&) = delete;
  SkinFonts& operator=(const SkinFonts&) = delete;
  ~SkinFonts();
  bool Load(const std::string& regularFile, const std::string& boldFile, std::string& error);
  cairo_font_face_t* Face(bool bold) const { return bold ? boldFace : regularFace; }

private:
  cairo_font_face_t* regularFace = nullptr;
  cairo_font_face_t* boldFace = nullptr;
};

class SkinCanvas
{
public:
  enum Align
  {
    kLeft,
    kCentre,
    kRight
  };

  SkinCanvas(cairo_surface_t* surface, const SkinFonts& fonts);
  SkinCanvas(const SkinCanvas&) = delete;
  SkinCanvas& operator=(const SkinCanvas&) = delete;
  ~SkinCanvas();

  cairo_t* Cr() { return cr; }
  void SetColour(const SkinColour& c);
  void RoundRect(double x, double y, double w, double h, double r);
  void FillBox(double x, double y, double w, double h, double r, const SkinColour& c);
  // A box shaded from top to bottom colour.
  void ShadeBox(double x, double y, double w, double h, double r, const SkinColour& top,
                const SkinColour& bottom);
  void StrokeBox(double x, double y, double w, double h, double r, const SkinColour& c, double width);
  void Line(double x1, double y1, double x2, double y2, const SkinColour& c, double width);
  // Text fitted into the box: vertically centred, shrunk (to 60% at most) when it is too wide.
  void Text(double x, double y, double w, double h, const std::string& text, double size, bool bold,
            const SkinColour& c, Align align = kCentre);
  double TextWidth(const std::string& text, double size, bool bold);

private:
  cairo_t* cr;
  const SkinFonts& fonts;
};
