#include "tools/skingen/SkinArt.h"

#include <cmath>

// The pointer sweeps 270 degrees: -135 (minimum, lower left) to +135 (maximum, lower right),
// measured clockwise from straight up.
static constexpr double kSweep = 270.0;

void DrawKnobFrame(SkinFrame& f)
{
  cairo_t* cr = f.canvas.Cr();
  const auto& p = f.palette;
  const double size = std::min(f.width, f.height);
  const double cx = f.width / 2, cy = f.height / 2;
  const double outer = size / 2 - 1;
  const double ring = std::max(2.0, size * 0.075);
  const double t = f.count > 1 ? double(f.index) / (f.count - 1) : 0.0;
  const double degrees = -kSweep / 2 + kSweep * t;
  // Cairo measures from the +x axis towards +y (down): up is -90.
  const double start = (-kSweep / 2 - 90) * M_PI / 180, angle = (degrees - 90) * M_PI / 180;
  const double end = (kSweep / 2 - 90) * M_PI / 180;

  // Value ring: dark track, lit from the minimum to the value.
  const double ringRadius = outer - ring / 2;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, ring);
  f.canvas.SetColour(p["track"]);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, ringRadius, start, end);
  cairo_stroke(cr);
  if (f.index > 0)
  {
    f.canvas.SetColour(p["accent"]);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, ringRadius, start, angle);
    cairo_stroke(cr);
  }
  // Stepped strips show a dot at every step so the positions can be counted.
  if (f.count <= 25 && f.count > 1)
  {
    for (int i = 0; i < f.count; ++i)
    {
      const double a = (-kSweep / 2 + kSweep * i / (f.count - 1) - 90) * M_PI / 180;
      cairo_new_path(cr);
      cairo_arc(cr, cx + std::cos(a) * ringRadius, cy + std::sin(a) * ringRadius, ring * 0.22, 0, 2 * M_PI);
      f.canvas.SetColour(i <= f.index ? p["knob"] : p["textDim"]);
      cairo_fill(cr);
    }
  }

  // Body: a shaded cap with a darker rim.
  const double body = outer - ring - std::max(1.5, size * 0.05);
  cairo_pattern_t* shade =
      cairo_pattern_create_radial(cx - body * 0.35, cy - body * 0.45, body * 0.1, cx, cy, body);
  const SkinColour hi = p["knobHi"], lo = p["knob"];
  cairo_pattern_add_color_stop_rgb(shade, 0, hi.r, hi.g, hi.b);
  cairo_pattern_add_color_stop_rgb(shade, 1, lo.r, lo.g, lo.b);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, body, 0, 2 * M_PI);
  cairo_set_source(cr, shade);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shade);
  f.canvas.SetColour(p["window"]);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  // Pointer: from near the centre to the rim of the cap, thick enough to read at 0.85.
  const double dx = std::cos(angle), dy = std::sin(angle);
  const double width = std::max(2.0, size * 0.07);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  f.canvas.Line(cx + dx * body * 0.25, cy + dy * body * 0.25, cx + dx * (body - width * 0.6),
                cy + dy * (body - width * 0.6), p["pointer"], width);
}
