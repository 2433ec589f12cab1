#include "tools/skingen/SkinArt.h"

#include "tools/layout/Layout.h"

#include <algorithm>

// Whether something inside these layers belongs to the picture: one of them is named by the recipe,
// and no popup layer lies between that one and the thing (popups have pictures of their own).
static bool Belongs(const std::vector<const LayoutNode*>& layers, const std::vector<std::string>& names)
{
  for (std::size_t i = 0; i < layers.size(); ++i)
  {
    if (std::find(names.begin(), names.end(), layers[i]->name) == names.end()) continue;
    for (std::size_t j = i + 1; j < layers.size(); ++j)
      if (layers[j]->popup) return false;
    return true;
  }
  return false;
}

// Under the text controls (menus, names, displays, port selections) a recessed field.
static bool HasField(const std::string& kind)
{
  return kind == "menu" || kind == "name" || kind == "display" || kind == "devin" || kind == "devout";
}

void DrawLayoutArt(SkinFrame& f, double originX, double originY)
{
  if (!f.layout) return;
  auto& c = f.canvas;
  const auto& p = f.palette;
  const std::vector<std::string> names = f.recipe.List("layers");
  const std::string titleOverride = f.recipe.Arg("sectionTitle");
  f.layout->Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>& layers)
      {
        if (node.kind != LayoutKind::Section || !Belongs(layers, names)) return;
        DrawSection(c, p, node.rect.x - originX, node.rect.y - originY, node.rect.w, node.rect.h,
                    titleOverride.empty() ? node.title : titleOverride, !node.lock.empty());
      });
  for (const PlacedControl& control : f.layout->Controls())
  {
    if (!Belongs(control.layers, names)) continue;
    const LayoutRect& r = control.rect;
    const double x = r.x - originX, y = r.y - originY;
    if (HasField(control.kind))
    {
      c.FillBox(x - 1, y - 1, r.w + 2, r.h + 2, 2, p["frame"]);
      c.ShadeBox(x, y, r.w, r.h, 2, p["fieldEdge"], p["field"]);
    }
    if (control.label.w > 0 && control.row)
      c.Text(control.label.x - originX + kCaptionMargin, control.label.y - originY,
             control.label.w - 2 * kCaptionMargin, control.label.h, control.row->caption, kCaptionSize, false,
             p["text"]);
    // Compact rows (the part column's mixer) carry no captions of their own: the first part's row
    // gets them above its cells, small and in full-strength text so they stay readable at 0.85.
    if (control.home && control.home->kind == LayoutKind::Row && control.home->part == 0 && control.row)
    {
      const LayoutNode& row = *control.home;
      const int cell = (r.x - row.rect.x) / std::max(1, row.cellW);
      c.Text(row.rect.x + cell * row.cellW - originX, row.rect.y - 14 - originY, row.cellW, 13,
             control.row->caption, 9, false, p["text"]);
    }
  }
}
