#pragma once

#include "framework/controls/IRadioButtonsControl.h"

// Radio buttons cut from one picture of the whole row (or column) of buttons, with a second copy
// of the row in the selected look: the lower half of the picture when the buttons lie side by side
// (the strip's frames-horizontal flag clear), the right half when they are stacked (flag set).
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
  int CellWidth() const { return mCellWidth; }
  int CellHeight() const { return mCellHeight; }
  // The selected button: (count - 1) x value, rounded and clamped.
  int SelectedIndex() const;

private:
  int mCellWidth = 0;
  int mCellHeight = 0;
};
