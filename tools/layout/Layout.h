#pragma once
// The layout model shared by the document generator and the skin generator: the layer tree of
// layout.txt with every control of bindings.tsv placed in its section or slot, with its rectangle,
// the rectangle of its caption and its image. Checks: every rectangle inside the editor, no two
// controls that can be seen together overlapping, every home known.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/layout/BindingTable.h"
#include "tools/layout/LayoutNode.h"

inline constexpr int kEditorWidth = 1500;
inline constexpr int kEditorHeight = 757;

struct PlacedControl
{
  const BindingRow* row = nullptr;
  const LayoutNode* home = nullptr; // section, row or slot; null for a section's lock
  const LayoutNode* section = nullptr;
  std::string kind;  // the row's control, knobs in small sections become "small"
  std::string image; // resolved image name
  int part = -1;     // part outside a multilayer (-1 none)
  LayoutRect rect;
  LayoutRect label;                      // empty (w 0) when nothing is painted
  std::vector<const LayoutNode*> layers; // enclosing layers, outermost first
  bool InMultilayer() const;
};

class Layout
{
public:
  // Reads both sources and places the controls; false with Errors() naming rows and lines.
  bool Load(const std::string& bindingsPath, const std::string& layoutPath);
  bool LoadText(const std::string& bindingsText, const std::string& layoutText);
  const std::vector<std::string>& Errors() const { return mErrors; }

  const BindingTable& Bindings() const { return mBindings; }
  const LayoutNode& Root() const { return mRoot; }
  // Controls placed in one section, row or slot, in placement order (a section's lock first).
  std::vector<const PlacedControl*> ControlsIn(const LayoutNode& node) const;
  const std::vector<PlacedControl>& Controls() const { return mControls; }
  // Every node with its enclosing layers, depth first.
  void Walk(const std::function<void(const LayoutNode&, const std::vector<const LayoutNode*>&)>& fn) const;
  // True when the two controls can be on screen at the same time.
  static bool CanBeSeenTogether(const PlacedControl& a, const PlacedControl& b);
  static std::string DefaultImage(const BindingRow& row, const std::string& kind);
  // Width of a radio of so many cells in so much room: the room, or less where the room's cells
  // would blur at 0.85 or 1.15 (cells of whole pixels keep sharp edges).
  static int RadioWidth(int room, int cells);

private:
  bool ParseLayout(const std::string& text);
  // The controls of every row of the table in each of its homes (unknown homes logged), then the
  // section locks, then each home's controls laid out in it.
  void Place();
  std::map<const LayoutNode*, std::vector<PlacedControl>> ControlsByHome();
  void PlaceLocks();
  void PlaceInSlot(const LayoutNode& node, std::vector<PlacedControl>& controls);
  void PlaceInRow(const LayoutNode& node, std::vector<PlacedControl>& controls);
  void PlaceInSection(const LayoutNode& node, std::vector<PlacedControl>& controls);
  void Check();
  PlacedControl Make(const BindingRow& row, const LayoutNode& home,
                     const std::vector<const LayoutNode*>& layers) const;

  BindingTable mBindings;
  LayoutNode mRoot;
  std::vector<PlacedControl> mControls;
  std::vector<std::string> mErrors;
};
