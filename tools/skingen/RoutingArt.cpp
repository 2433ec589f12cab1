#include "tools/skingen/SkinArt.h"

#include <algorithm>
#include <string>

static void Arrow(SkinCanvas& c, double x1, double y, double x2, const SkinColour& ink)
{
  c.Line(x1, y, x2 - 3, y, ink, 1.5);
  cairo_t* cr = c.Cr();
  cairo_new_path(cr);
  cairo_move_to(cr, x2, y);
  cairo_line_to(cr, x2 - 5, y - 3);
  cairo_line_to(cr, x2 - 5, y + 3);
  cairo_close_path(cr);
  c.SetColour(ink);
  cairo_fill(cr);
}

// One routing of the effects: no source gives the order of the effects in any routing, so each
// value gets a neutral picture of its own, the signal passing one block named as the routing menu
// names the value ("Config N"). A picture never shows the order of another value.
void DrawRoutingFrame(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height;
  c.FillBox(0, 0, w, h, 4, p["field"]);
  c.StrokeBox(0, 0, w, h, 4, p["frame"], 1);
  const int number = f.recipe.IntArg("number", 0);
  if (number <= 0) return;
  const double edge = 22, gap = 9;
  const double mid = h / 2;
  c.Text(2, mid - 8, edge - 4, 16, "IN", 9, true, p["textDim"]);
  c.Text(w - edge + 2, mid - 8, edge - 4, 16, "OUT", 8, true, p["textDim"]);
  const double boxW = w - 2 * edge - 2 * gap, boxH = std::min(24.0, h - 8);
  const double x = edge + gap, y = mid - boxH / 2;
  Arrow(c, edge - 2, mid, x, p["accent2"]);
  c.ShadeBox(x, y, boxW, boxH, 3, p["buttonHi"], p["button"]);
  c.StrokeBox(x, y, boxW, boxH, 3, p["accent"], 1);
  c.Text(x + 1, y, boxW - 2, boxH, "Config " + std::to_string(number), 12, true, p["text"]);
  Arrow(c, x + boxW, mid, w - edge + 2, p["accent2"]);
}
