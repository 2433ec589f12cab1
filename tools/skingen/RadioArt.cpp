#include "tools/skingen/SkinArt.h"

#include <cmath>

void DrawWaveGlyph(SkinCanvas& c, const std::string& wave, double x, double y, double w, double h,
                   const SkinColour& colour)
{
  cairo_t* cr = c.Cr();
  const double l = x + w * 0.18, r = x + w * 0.82, top = y + h * 0.28, bottom = y + h * 0.72;
  const double mid = (top + bottom) / 2, span = r - l;
  cairo_new_path(cr);
  if (wave == "sine")
  {
    for (int i = 0; i <= 32; ++i)
    {
      const double t = i / 32.0;
      const double py = mid - std::sin(t * 2 * M_PI) * (bottom - top) / 2;
      i ? cairo_line_to(cr, l + t * span, py) : cairo_move_to(cr, l, py);
    }
  }
  else if (wave == "tri")
  {
    cairo_move_to(cr, l, mid);
    cairo_line_to(cr, l + span * 0.25, top);
    cairo_line_to(cr, l + span * 0.75, bottom);
    cairo_line_to(cr, r, mid);
  }
  else if (wave == "saw")
  {
    cairo_move_to(cr, l, bottom);
    cairo_line_to(cr, l + span * 0.5, top);
    cairo_line_to(cr, l + span * 0.5, bottom);
    cairo_line_to(cr, r, top);
    cairo_line_to(cr, r, bottom);
  }
  else if (wave == "square" || wave == "pulse")
  {
    const double duty = wave == "square" ? 0.5 : 0.22;
    cairo_move_to(cr, l, bottom);
    cairo_line_to(cr, l, top);
    cairo_line_to(cr, l + span * duty, top);
    cairo_line_to(cr, l + span * duty, bottom);
    cairo_line_to(cr, l + span * (0.5 + duty), bottom);
    cairo_line_to(cr, l + span * (0.5 + duty), top);
    cairo_line_to(cr, r, top);
  }
  else if (wave == "random")
  {
    // Sample and hold: steps at fixed, made-up levels so the glyph is the same on every build.
    const double levels[] = {0.3, 0.9, 0.1, 0.7, 0.45, 0.95};
    for (int i = 0; i < 6; ++i)
    {
      const double py = bottom - (bottom - top) * levels[i];
      i ? cairo_line_to(cr, l + span * i / 6, py) : cairo_move_to(cr, l, py);
      cairo_line_to(cr, l + span * (i + 1) / 6, py);
    }
  }
  c.SetColour(colour);
  cairo_set_line_width(cr, std::max(1.5, h * 0.08));
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

std::vector<std::string> RadioLabelLines(const SkinRecipe& recipe, const std::string& label)
{
  if (!recipe.IntArg("wrap", 0)) return {label};
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t space; (space = label.find(' ', start)) != std::string::npos; start = space + 1)
    lines.push_back(label.substr(start, space - start));
  lines.push_back(label.substr(start));
  return lines;
}

// A label is a text (one line per word in a wrap=1 strip), or "~wave" for a waveform glyph.
static void DrawLabel(SkinCanvas& c, const SkinRecipe& recipe, const std::string& label, double x, double y,
                      double w, double h, double size, const SkinColour& ink)
{
  if (!label.empty() && label[0] == '~')
  {
    DrawWaveGlyph(c, label.substr(1), x, y, w, h, ink);
    return;
  }
  const auto lines = RadioLabelLines(recipe, label);
  const double lineHeight = std::round(size * 1.3);
  double top = y + (h - lineHeight * double(lines.size())) / 2;
  for (const auto& line : lines)
  {
    c.Text(x + 2, top, w - 4, lineHeight, line, size, true, ink);
    top += lineHeight;
  }
}

static void DrawHeader(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const auto labels = f.recipe.List("labels");
  const std::string title = f.recipe.Arg("title");
  const double titleH = title.empty() ? 0 : f.height * 0.45;
  c.FillBox(0, 0, f.width, f.height, 3, p["title"]);
  c.StrokeBox(0, 0, f.width, f.height, 3, p["frame"], 1);
  if (!title.empty())
  {
    c.Text(0, 1, f.width, titleH, title, std::min(13.0, titleH * 0.8), true, p["accent"]);
    c.Line(4, titleH + 0.5, f.width - 4, titleH + 0.5, p["frame"], 1);
  }
  const double cell = labels.empty() ? f.width : f.width / labels.size();
  for (std::size_t i = 0; i < labels.size(); ++i)
  {
    if (i) c.Line(i * cell + 0.5, titleH + 3, i * cell + 0.5, f.height - 3, p["frame"], 1);
    c.Text(i * cell + 1, titleH, cell - 2, f.height - titleH, labels[i], 11, false, p["text"]);
  }
}

double RadioLabelSize(const SkinRecipe& recipe, double cellHeight)
{
  return recipe.IntArg("size", int(std::min(14.0, cellHeight * 0.5)));
}

void DrawRadioFrame(SkinFrame& f)
{
  if (f.recipe.kind == "header")
  {
    DrawHeader(f);
    return;
  }
  auto& c = f.canvas;
  const auto& p = f.palette;
  const auto labels = f.recipe.List("labels");
  const int n = std::max<int>(1, int(labels.size()));
  const bool selected = f.index > 0;
  const bool tab = f.recipe.Arg("style") == "tab";
  // Cell i spans round(i * length / n) .. round((i + 1) * length / n), whole pixels cut in
  // proportion as the radio control cuts them, so that they meet at every size and count.
  const double length = f.cellsStacked ? f.height : f.width;
  const double size = RadioLabelSize(f.recipe, f.cellsStacked ? f.height / n : f.height);
  for (int i = 0; i < n; ++i)
  {
    const double from = std::floor(i * length / n + 0.5), to = std::floor((i + 1) * length / n + 0.5);
    const double x = f.cellsStacked ? 0 : from, y = f.cellsStacked ? from : 0;
    const double cw = f.cellsStacked ? f.width : to - from, ch = f.cellsStacked ? to - from : f.height;
    const double r = tab ? 5 : 3;
    c.FillBox(x, y, cw, ch, r, p["window"]);
    if (selected)
      c.ShadeBox(x + 1, y + 1, cw - 2, ch - 2, r, p["lit"].Mix({1, 1, 1, 1}, 0.2), p["lit"]);
    else
      c.ShadeBox(x + 1, y + 1, cw - 2, ch - 2, r, p["buttonHi"], p["button"]);
    c.StrokeBox(x + 1, y + 1, cw - 2, ch - 2, r, selected ? p["lit"].Mix({0, 0, 0, 1}, 0.3) : p["frame"], 1);
    DrawLabel(c, f.recipe, i < int(labels.size()) ? labels[i] : "", x, y, cw, ch, size,
              selected ? p["litText"] : p["text"]);
  }
}
