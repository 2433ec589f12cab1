#pragma once

#include <vector>

class IGraphics;
class LayerGroup;

// The sound pages hold one copy of their panels per part; the part view shows the chosen part's
// copies on every page (and on the top bar's part panel), so that what the pages show and what
// their controls change is that part's.
class PartView
{
public:
  // Finds every group that holds part copies, anywhere in the editor's tree.
  explicit PartView(IGraphics* graphics);

  // Shows part (0..7; others are held into range) on every page, hidden ones included.
  void Select(int part);

private:
  void Collect(LayerGroup* group);

  std::vector<LayerGroup*> mParents;
};
