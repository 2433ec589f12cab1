#include "tools/skingen/SkinArt.h"

#include <cmath>
#include <sstream>

// "x,y,w,h[,title]" into numbers and a title; false when it has fewer than four numbers.
static bool ParseBox(const std::string& s, double box[4], std::string& title)
{
  std::istringstream in(s);
  std::string part;
  int i = 0;
  while (i < 4 && std::getline(in, part, ','))
  {
    try
    {
      box[i++] = std::stod(part);
    }
    catch (...)
    {
      return false;
    }
  }
  std::getline(in, title);
  return i == 4;
}

void DrawSection(SkinCanvas& c, const SkinPalette& p, double x, double y, double w, double h,
                 const std::string& title, bool lock)
{
  const double bar = 18;
  c.FillBox(x, y, w, h, 4, p["panelHi"]);
  c.ShadeBox(x + 1, y + 1, w - 2, bar, 3, p["title"].Mix({1, 1, 1, 1}, 0.06), p["title"]);
  c.StrokeBox(x, y, w, h, 4, p["frame"], 1);
  c.Line(x + 1, y + bar + 1.5, x + w - 1, y + bar + 1.5, p["frame"], 1);
  c.Text(x + 8, y + 1, w - (lock ? 36 : 16), bar, title, 13, true, p["text"], SkinCanvas::kLeft);
}

static void DrawWindow(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height;
  c.ShadeBox(0, 0, w, h, 0, p["window"].Mix({1, 1, 1, 1}, 0.03), p["window"]);
  // Top bar, part column and page area.
  c.ShadeBox(0, 0, w, 90, 0, p["bar"].Mix({1, 1, 1, 1}, 0.05), p["bar"]);
  c.Line(0, 90.5, w, 90.5, p["accent2"], 1);
  c.ShadeBox(0, 98, 204, h - 98 - 8, 4, p["panel"], p["bar"]);
  c.StrokeBox(0, 98, 204, h - 98 - 8, 4, p["frame"], 1);
  c.FillBox(208, 98, w - 208 - 8, h - 98 - 8, 4, p["panel"]);
  c.StrokeBox(208, 98, w - 208 - 8, h - 98 - 8, 4, p["frame"], 1);
  DrawLayoutArt(f, 0, 0);
  c.Text(8, h - 30, 188, 20, "VELK EDITOR", 12, true, p["textDim"]);
}

static void DrawPage(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  c.ShadeBox(0, 0, f.width, f.height, 4, p["panel"].Mix({1, 1, 1, 1}, 0.03), p["panel"]);
  c.StrokeBox(0, 0, f.width, f.height, 4, p["frame"], 1);
  // Positions in the recipe are editor coordinates; the page starts at its origin.
  const double ox = f.recipe.IntArg("x", 0), oy = f.recipe.IntArg("y", 0);
  DrawLayoutArt(f, ox, oy);
  if (f.recipe.Arg("style") == "browser")
  {
    // The librarian's two panes of slots, laid out as the slot view lays out its cells over the
    // picture: two panes 20 px apart, each 4 columns of 32 rows, every other row banded.
    const int columns = 4, rows = 32;
    const double gap = 20, pw = std::floor((f.width - gap) / 2), row = f.height / rows;
    for (int pane = 0; pane < 2; ++pane)
    {
      const double x = pane * (pw + gap);
      c.FillBox(x, 0, pw, f.height, 0, p["field"]);
      for (int r = 1; r < rows; r += 2)
        c.FillBox(x, r * row, pw, row, 0, p["panel"]);
      for (int col = 1; col < columns; ++col)
      {
        const double cx = std::floor(x + col * pw / columns) + 0.5;
        c.Line(cx, 0, cx, f.height, p["frame"], 1);
      }
      c.StrokeBox(x + 0.5, 0.5, pw - 1, f.height - 1, 0, p["frame"], 1);
    }
  }
  const std::string title = f.recipe.Arg("title");
  if (!title.empty() && f.recipe.List("layers").empty())
    c.Text(0, 0, f.width, f.height, title, 28, true, p["panelHi"].Mix(p["text"], 0.25));
}

static void DrawDialog(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height, bar = 26;
  c.FillBox(0, 0, w, h, 6, p["frame"]);
  c.ShadeBox(1, 1, w - 2, h - 2, 5, p["panelHi"], p["panel"]);
  c.ShadeBox(1, 1, w - 2, bar, 5, p["title"].Mix({1, 1, 1, 1}, 0.08), p["title"]);
  c.Line(1, bar + 1.5, w - 1, bar + 1.5, p["accent"], 1);
  c.Text(12, 1, w - 24, bar, f.recipe.Arg("title"), 14, true, p["text"], SkinCanvas::kLeft);
  double y = bar + 12;
  for (const auto& line : f.recipe.List("lines"))
  {
    c.Text(14, y, w - 28, 18, line, 12, false, p["text"], SkinCanvas::kLeft);
    y += 20;
  }
}

static void DrawOverlay(SkinFrame& f)
{
  auto& c = f.canvas;
  const auto& p = f.palette;
  const double w = f.width, h = f.height;
  const std::string style = f.recipe.Arg("style");
  if (style == "progress")
  {
    // Dims the whole editor; a box in the middle says why the controls do not answer.
    c.FillBox(0, 0, w, h, 0, p["veil"]);
    double b[4] = {w / 2 - 175, h / 2 - 60, 350, 120};
    std::string title;
    ParseBox(f.recipe.Arg("box"), b, title);
    c.FillBox(b[0], b[1], b[2], b[3], 6, p["frame"]);
    c.ShadeBox(b[0] + 1, b[1] + 1, b[2] - 2, b[3] - 2, 5, p["panelHi"], p["panel"]);
    c.Text(b[0] + 16, b[1] + 14, b[2] - 32, 24, f.recipe.Arg("title"), 16, true, p["text"],
           SkinCanvas::kLeft);
    c.Text(b[0] + 16, b[1] + 42, b[2] - 32, 20, f.recipe.Arg("text"), 12, false, p["textDim"],
           SkinCanvas::kLeft);
  }
  else if (style == "highlight")
  {
    c.FillBox(0, 0, w, h, 3, p["accent"].WithAlpha(0.22));
    c.StrokeBox(0, 0, w, h, 3, p["accent"], 2);
  }
  else if (style == "gloss")
  {
    c.ShadeBox(1, 1, w - 2, h / 2, 3, p["glass"], p["glass"].WithAlpha(0));
    c.StrokeBox(0, 0, w, h, 3, p["accent2"], 1);
  }
  else if (style == "steps")
  {
    // Step grid over the pattern editor: a faint divider per step, a bright one per beat.
    const int steps = std::max(1, f.recipe.IntArg("steps", 16));
    c.FillBox(0, 0, w, h, 0, p["glass"].WithAlpha(0.06));
    for (int i = 1; i < steps; ++i)
    {
      const double x = std::floor(w * i / steps) + 0.5;
      c.Line(x, 0, x, h, i % 4 ? p["frame"] : p["accent2"], 1);
    }
    c.StrokeBox(0, 0, w, h, 0, p["frame"], 1);
  }
}

void DrawPanelFrame(SkinFrame& f)
{
  const std::string& kind = f.recipe.kind;
  if (kind == "window")
    DrawWindow(f);
  else if (kind == "page")
    DrawPage(f);
  else if (kind == "dialog")
    DrawDialog(f);
  else if (kind == "section")
  {
    DrawSection(f.canvas, f.palette, 0, 0, f.width, f.height, f.recipe.Arg("title"));
  }
  else
    DrawOverlay(f);
}
