#pragma once

#include "framework/controls/ITextControl.h"

// Shows the bound parameter's display text (or its value as a number), optionally followed by
// the parameter's label; a click opens the value prompt.
class ICaptionControl : public ITextControl
{
public:
  ICaptionControl(IEffectBase* plug, const IRectangle& rect, int paramIdx, const ITextStyle& style,
                  bool showLabel = false);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  bool ShowLabel() const { return mShowLabel; }
  void SetShowLabel(bool show) { mShowLabel = show; }
  // Builds the shown text of the bound parameter into out (size bytes).
  void CaptionText(char* out, int size) const;

protected:
  // Shortens text (size bytes of room) to the control's width.
  void FitText(IGraphics* graphics, char* text, int size);

  bool mShowLabel = false;
};
