#pragma once

#include "framework/controls/IRadioButtonsControl.h"

// Radio buttons cut from one picture of the whole row (or column) of buttons, with a second copy
// of the row in the selected look: the lower half of the picture when the buttons lie side by side
// (the strip's frames-horizontal flag clear), the right half when they are stacked (flag set).
// The cells are cut in proportion to the (scaled) picture, cell i spanning round(i * length / n)
// to round((i + 1) * length / n), so that they stay on their art at any size and cell count.
class ICustomRadioButtonsControl : public IRadioButtonsControl
{
public:
  ICustomRadioButtonsControl(IEffectBase* plug, const IRectangle& area, int paramIdx, int count,
                             const IBitmapStrip& strip, int direction);

  // A right press only redraws; any other selects the button under the point (if any) and
  // pushes the value.
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // A double click neither selects nor restores the default.
  void OnMouseDblClick(int, int, const IMouseMod&) override {}
  void OnMouseOut() override;
  // Draws at full strength even when greyed.
  bool Draw(IGraphics* graphics) override;

  void SelectButtonAt(int x, int y, const IMouseMod& mod);
  // The offset of cell edge i (0..count) along the picture's row (or column) of cells.
  int CellEdge(int i) const;
  // Where in the picture button k is drawn from, in its normal or selected look.
  IRectangle SourceRect(int k, bool selected) const;
  // The selected button: (count - 1) x value, rounded and clamped.
  int SelectedIndex() const;

private:
  int mCount = 0;
  int mLength = 0;     // the picture's extent along its cells
  int mCrossSize = 0;  // one look's extent across them
  int mSelectedAt = 0; // where the selected look starts across the cells
};
