#pragma once

#include "framework/support/HeapBuffer.h"
#include "framework/controls/IControl.h"

// A row or column of mutually exclusive buttons over one parameter, each drawn from a strip whose
// first frame is the normal look and whose second is the selected one. Fewer than two buttons
// make a control without buttons: it draws and changes nothing.
class IRadioButtonsControl : public IControl
{
public:
  enum Direction : int
  {
    kStacked = 0,
    kSideBySide = 1
  };

  // Spreads count buttons of the strip's width and frame height evenly over the area: side by
  // side for direction 1, stacked otherwise.
  IRadioButtonsControl(IEffectBase* plug, const IRectangle& area, int paramIdx, int count,
                       const IBitmapStrip& strip, int direction);
  ~IRadioButtonsControl() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  int ButtonCount() const { return mButtons.Size() / int(sizeof(IRectangle)); }
  IRectangle ButtonRect(int index) const;
  const IBitmapStrip& Strip() const { return mStrip; }
  // The button the value selects, 0..count - 1 (-1 without buttons).
  int SelectedButton() const;

protected:
  // Replaces the button rectangles (for derived layouts); count must not change.
  void SetButtonRect(int index, const IRectangle& rect);
  IRectangle* Buttons() { return reinterpret_cast<IRectangle*>(mButtons.Data()); }
  const IRectangle* Buttons() const { return reinterpret_cast<const IRectangle*>(mButtons.Data()); }
  // The index of the first button containing the point, or -1.
  int ButtonAt(int x, int y) const;

  // Sized once for the buttons: a page-sized granule would leave most of a page to each of the
  // editor's radios.
  HeapBuffer mButtons{int(sizeof(IRectangle))};
  IBitmapStrip mStrip;
};
