#pragma once
// One node of the layout source (resources/src/layout.txt): a layer, a multilayer, a panel section,
// a compact row, a fixed slot, a background picture or the librarian browser.
#include <string>
#include <vector>

struct LayoutRect
{
  int x = 0, y = 0, w = 0, h = 0;
  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
  bool Intersects(const LayoutRect& o) const
  {
    return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
  }
};

enum class LayoutKind
{
  Layer,
  Sublayer,
  Multilayer,
  Section,
  Row,
  Slot,
  Background,
  Browser
};

struct LayoutNode
{
  LayoutKind kind = LayoutKind::Layer;
  int line = 0;
  std::string name; // layer name, section or slot id, or image name
  int id = 0;       // layer id; multilayer: number of copies
  bool overlay = false;
  bool popup = false; // drawn over the page: exempt from the overlap rule
  LayoutRect rect;    // sections: the whole frame; rows: the whole row
  int cols = 0, rows = 0;
  int cellW = 56, cellH = 64;
  bool small = false;     // knobs in this section use the small strip
  bool captioned = false; // a slot whose caption the panel art writes under it
  std::string title;
  std::string lock;  // section lock parameter drawn in the title bar
  std::string group; // home name the binding table uses ("as=", default the id)
  int part = -1;     // part of a per-part home outside a multilayer
  std::vector<LayoutNode> children;
  bool IsLayer() const
  {
    return kind == LayoutKind::Layer || kind == LayoutKind::Sublayer || kind == LayoutKind::Multilayer;
  }
};
