#include "tools/skingen/SkinArt.h"

#include <cmath>

// Whether this frame shows the "on" look: the second frame, or the first for an inverted strip.
static bool IsOn(const SkinFrame& f)
{
  if (f.count < 2) return false;
  const bool second = f.index == f.count - 1;
  return f.recipe.IntArg("inverse", 0) ? !second : second;
}

static void DrawLed(SkinCanvas& c, double cx, double cy, double r, bool on, const SkinColour& colour,
                    const SkinPalette& p)
{
  cairo_t* cr = c.Cr();
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  c.SetColour(p["window"]);
  cairo_fill(cr);
  const double inner = r - std::max(1.0, r * 0.18);
  const SkinColour core = on ? colour : p["ledOff"];
  cairo_pattern_t* g = cairo_pattern_create_radial(cx - inner * 0.3, cy - inner * 0.35, 0, cx, cy, inner);
  const SkinColour hot = on ? colour.Mix({1, 1, 1, 1}, 0.6) : core.Mix({1, 1, 1, 1}, 0.12);
  cairo_pattern_add_color_stop_rgb(g, 0, hot.r, hot.g, hot.b);
  cairo_pattern_add_color_stop_rgb(g, 1, core.r, core.g, core.b);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, inner, 0, 2 * M_PI);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

static void DrawIcon(SkinCanvas& c, const std::string& shape, double x, double y, double w, double h,
                     const SkinColour& ink)
{
  cairo_t* cr = c.Cr();
  const double s = std::min(w, h), cx = x + w / 2, cy = y + h / 2;
  cairo_new_path(cr);
  c.SetColour(ink);
  cairo_set_line_width(cr, std::max(1.5, s * 0.12));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (shape == "up" || shape == "down")
  {
    const double d = shape == "up" ? -1 : 1;
    cairo_move_to(cr, cx - s * 0.32, cy - d * s * 0.16);
    cairo_line_to(cr, cx + s * 0.32, cy - d * s * 0.16);
    cairo_line_to(cr, cx, cy + d * s * 0.2);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  else if (shape == "gear")
  {
    const int teeth = 8;
    const double ro = s * 0.42, ri = s * 0.3;
    for (int i = 0; i < teeth * 2; ++i)
    {
      const double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
      const double r = i % 2 ? ri : ro;
      cairo_arc(cr, cx, cy, r, a0, a1);
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx, cy, s * 0.13, 2 * M_PI, 0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  }
  else if (shape == "lock" || shape == "unlock")
  {
    const double bw = s * 0.62, bh = s * 0.42, bx = cx - bw / 2, by = cy - s * 0.02;
    c.RoundRect(bx, by, bw, bh, s * 0.06);
    cairo_fill(cr);
    cairo_new_path(cr);
    const double r = bw * 0.3, shift = shape == "unlock" ? bw * 0.42 : 0;
    cairo_set_line_width(cr, std::max(1.5, s * 0.11));
    cairo_move_to(cr, cx - r + shift, by);
    cairo_line_to(cr, cx - r + shift, by - s * 0.12);
    cairo_arc(cr, cx + shift, by - s * 0.12, r, M_PI, 2 * M_PI);
    if (shape == "lock") cairo_line_to(cr, cx + r, by);
    cairo_stroke(cr);
  }
  else if (shape == "search")
  {
    const double r = s * 0.24;
    cairo_arc(cr, cx - s * 0.08, cy - s * 0.08, r, 0, 2 * M_PI);
    cairo_stroke(cr);
    c.Line(cx + s * 0.1, cy + s * 0.1, cx + s * 0.34, cy + s * 0.34, ink, std::max(2.0, s * 0.14));
  }
  else if (shape == "power")
  {
    const double r = s * 0.3;
    cairo_arc(cr, cx, cy + s * 0.03, r, -M_PI / 2 + 0.6, 3 * M_PI / 2 - 0.6);
    cairo_stroke(cr);
    c.Line(cx, cy - s * 0.36, cx, cy, ink, std::max(1.5, s * 0.12));
  }
  else if (shape == "check")
  {
    cairo_move_to(cr, cx - s * 0.28, cy);
    cairo_line_to(cr, cx - s * 0.06, cy + s * 0.22);
    cairo_line_to(cr, cx + s * 0.3, cy - s * 0.24);
    cairo_stroke(cr);
  }
  else if (shape == "info")
  {
    cairo_arc(cr, cx, cy, s * 0.38, 0, 2 * M_PI);
    cairo_stroke(cr);
    c.Line(cx, cy - s * 0.03, cx, cy + s * 0.2, ink, std::max(1.5, s * 0.12));
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy - s * 0.2, s * 0.07, 0, 2 * M_PI);
    c.SetColour(ink);
    cairo_fill(cr);
  }
  else if (shape == "dice")
  {
    // A die showing five: the randomizer.
    const double d = s * 0.72, x0 = cx - d / 2, y0 = cy - d / 2;
    c.RoundRect(x0, y0, d, d, d * 0.2);
    cairo_set_line_width(cr, std::max(1.0, s * 0.06));
    cairo_stroke(cr);
    const double pip = std::max(1.2, d * 0.09);
    for (auto [px, py] : {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.5, 0.5}, {0.25, 0.75}, {0.75, 0.75}})
    {
      cairo_new_path(cr);
      cairo_arc(cr, x0 + d * px, y0 + d * py, pip, 0, 2 * M_PI);
      cairo_fill(cr);
    }
  }
  else if (shape == "close")
  {
    const double d = s * 0.26;
    c.Line(cx - d, cy - d, cx + d, cy + d, ink, std::max(1.5, s * 0.12));
    c.Line(cx - d, cy + d, cx + d, cy - d, ink, std::max(1.5, s * 0.12));
  }
  cairo_new_path(cr);
}

static void DrawButton(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const bool on = IsOn(f);
  const std::string style = f.recipe.Arg("style", "lit");
  const double w = f.width, h = f.height, r = std::min(4.0, h / 4);
  const bool lit = on && style == "lit";
  c.FillBox(0, 0, w, h, r, p["window"]);
  if (lit)
    c.ShadeBox(1, 1, w - 2, h - 2, r, p["lit"].Mix({1, 1, 1, 1}, 0.25), p["lit"]);
  else
    c.ShadeBox(1, 1, w - 2, h - 2, r, p["buttonHi"], p["button"]);
  c.StrokeBox(1, 1, w - 2, h - 2, r, lit ? p["lit"].Mix({0, 0, 0, 1}, 0.3) : p["frame"], 1);

  double textX = 2, textW = w - 4;
  if (style == "led")
  {
    // A small light at the left edge tells the state; the label stays readable in both.
    const double lr = std::max(2.5, std::min(h * 0.2, 5.0));
    DrawLed(c, 3 + lr + 2, h / 2, lr + 1, on, p[f.recipe.Arg("colour", "led")], p);
    textX = 3 + 2 * lr + 6;
    textW = w - textX - 3;
  }
  const SkinColour ink = lit ? p["litText"] : (on || f.count < 2 ? p["text"] : p["textDim"]);
  const std::string icon = f.recipe.Arg("icon");
  if (!icon.empty()) DrawIcon(c, icon, textX, 2, textW, h - 4, ink);
  c.Text(textX, 0, textW, h, f.recipe.Arg("label"), f.recipe.IntArg("size", int(std::min(12.0, h * 0.6))),
         true, ink);
}

static void DrawPlate(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const std::string style = f.recipe.Arg("style", "field");
  const double w = f.width, h = f.height;
  if (style == "field")
  {
    // Recessed field for text: darker than the panel, shadow at the top edge.
    c.FillBox(0, 0, w, h, 3, p["frame"]);
    c.ShadeBox(1, 1, w - 2, h - 2, 2, p["fieldEdge"], p["field"]);
    c.Text(6, 0, w - 12, h, f.recipe.Arg("label"), std::min(12.0, h * 0.55), false, p["textDim"],
           SkinCanvas::kLeft);
    if (!f.recipe.Arg("icon").empty()) DrawIcon(c, f.recipe.Arg("icon"), w - h, 0, h, h, p["textDim"]);
  }
  else
  {
    // A cover plate: hides what lies below it (an unused light or part), hatched so it reads as off.
    c.FillBox(0, 0, w, h, 2, p["panel"]);
    cairo_t* cr = c.Cr();
    cairo_save(cr);
    c.RoundRect(1, 1, w - 2, h - 2, 2);
    cairo_clip(cr);
    for (double d = -h; d < w; d += 6)
      c.Line(d, h, d + h, 0, p["panelHi"], 2);
    cairo_restore(cr);
    c.StrokeBox(0, 0, w, h, 2, p["frame"], 1);
    c.Text(2, 0, w - 4, h, f.recipe.Arg("label"), std::min(12.0, h * 0.5), true, p["textDim"]);
  }
}

static void DrawSlider(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height;
  const bool vertical = f.recipe.Arg("orient", "v") == "v";
  c.FillBox(0, 0, w, h, 3, p["window"]);
  c.ShadeBox(1, 1, w - 2, h - 2, 2, p["knobHi"], p["knob"]);
  // Grip: a bright line across the direction of travel marks the value.
  if (vertical)
    c.Line(3, h / 2, w - 3, h / 2, p["accent"], 2);
  else
    c.Line(w / 2, 3, w / 2, h - 3, p["accent"], 2);
}

void DrawButtonFrame(SkinFrame& f)
{
  const std::string& kind = f.recipe.kind;
  if (kind == "led")
  {
    const double r = std::min(f.width, f.height) / 2 - 0.5;
    DrawLed(f.canvas, f.width / 2, f.height / 2, r, IsOn(f), f.palette[f.recipe.Arg("colour", "led")],
            f.palette);
  }
  else if (kind == "icon")
  {
    const bool on = IsOn(f);
    if (f.recipe.IntArg("plate", 1))
    {
      f.canvas.FillBox(0, 0, f.width, f.height, 3, f.palette["window"]);
      f.canvas.ShadeBox(1, 1, f.width - 2, f.height - 2, 3, f.palette["buttonHi"], f.palette["button"]);
    }
    std::string shape = f.recipe.Arg("shape");
    if (shape == "lock" && !on) shape = "unlock";
    DrawIcon(f.canvas, shape, 1, 1, f.width - 2, f.height - 2,
             on ? f.palette["accent"] : f.palette[f.recipe.Arg("ink", "textDim")]);
  }
  else if (kind == "plate")
    DrawPlate(f);
  else if (kind == "slider")
    DrawSlider(f);
  else
    DrawButton(f);
}
