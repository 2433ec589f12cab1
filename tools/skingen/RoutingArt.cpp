#include "tools/skingen/SkinArt.h"

#include <sstream>

// A chain "A>B+C>D": stages left to right, blocks of one stage ('+') side by side in parallel.
static std::vector<std::vector<std::string>> ParseChain(const std::string& chain)
{
  std::vector<std::vector<std::string>> stages;
  std::istringstream in(chain);
  std::string stage;
  while (std::getline(in, stage, '>'))
  {
    std::vector<std::string> blocks;
    std::istringstream parts(stage);
    std::string block;
    while (std::getline(parts, block, '+'))
      if (!block.empty()) blocks.push_back(block);
    if (!blocks.empty()) stages.push_back(blocks);
  }
  return stages;
}

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

void DrawRoutingFrame(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height;
  c.FillBox(0, 0, w, h, 4, p["field"]);
  c.StrokeBox(0, 0, w, h, 4, p["frame"], 1);
  const auto stages = ParseChain(f.recipe.Arg("chain"));
  if (stages.empty()) return;
  const double edge = 22, gap = 9;
  const double mid = h / 2;
  c.Text(2, mid - 8, edge - 4, 16, "IN", 9, true, p["textDim"]);
  c.Text(w - edge + 2, mid - 8, edge - 4, 16, "OUT", 8, true, p["textDim"]);
  const double boxW = (w - 2 * edge - gap * (stages.size() + 1)) / stages.size();
  double x = edge + gap;
  Arrow(c, edge - 2, mid, x, p["accent2"]);
  for (std::size_t s = 0; s < stages.size(); ++s)
  {
    const auto& blocks = stages[s];
    const double boxH = std::min(20.0, (h - 8 - 4.0 * (blocks.size() - 1)) / blocks.size());
    const double total = boxH * blocks.size() + 4.0 * (blocks.size() - 1);
    double y = mid - total / 2;
    if (blocks.size() > 1)
    {
      // Split before the parallel blocks and join after them.
      const double top = y + boxH / 2, bottom = y + total - boxH / 2;
      c.Line(x - gap / 2, top, x - gap / 2, bottom, p["accent2"], 1.5);
      c.Line(x + boxW + gap / 2, top, x + boxW + gap / 2, bottom, p["accent2"], 1.5);
    }
    for (const auto& block : blocks)
    {
      if (blocks.size() > 1)
      {
        c.Line(x - gap / 2, y + boxH / 2, x, y + boxH / 2, p["accent2"], 1.5);
        c.Line(x + boxW, y + boxH / 2, x + boxW + gap / 2, y + boxH / 2, p["accent2"], 1.5);
      }
      c.ShadeBox(x, y, boxW, boxH, 3, p["buttonHi"], p["button"]);
      c.StrokeBox(x, y, boxW, boxH, 3, p["accent"], 1);
      c.Text(x + 1, y, boxW - 2, boxH, block, 10, true, p["text"]);
      y += boxH + 4;
    }
    const double next = x + boxW + gap;
    if (s + 1 < stages.size())
      Arrow(c, x + boxW + (blocks.size() > 1 ? gap / 2 : 0), mid, next, p["accent2"]);
    else
      Arrow(c, x + boxW + (blocks.size() > 1 ? gap / 2 : 0), mid, w - edge + 2, p["accent2"]);
    x = next;
  }
}
