#pragma once

#include "framework/controls/IBitmapOverlayControl.h"
#include "framework/support/IRectangle.h"

class LayerGroup;

// The overlay that covers the whole editor while a transfer runs: it draws one image over
// everything and swallows the clicks that reach it, so nothing under it changes mid-transfer.
class ProgressIndicator : public IBitmapOverlayControl
{
public:
  // A new overlay added to the group (which owns it from then on); the group, its children and
  // their controls then report their redraws while hidden, so that hiding the overlay repaints
  // what it covered. Null when the group could not take it.
  static ProgressIndicator* AddTo(LayerGroup* group, IEffectBase* plug, int width, int height,
                                  const IBitmapStrip& overlay, const IRectangle& target);

  void OnMouseDown(int, int, const IMouseMod&) override {}
  void OnMouseDblClick(int, int, const IMouseMod&) override {}
  bool Draw(IGraphics* graphics) override;

  LayerGroup* Group() const { return mGroup; }
  const IRectangle& Target() const { return mTarget; }
  const IRectangle& DrawRect() const { return mDrawRect; }

private:
  ProgressIndicator(LayerGroup* group, IEffectBase* plug, int width, int height, const IBitmapStrip& overlay,
                    const IRectangle& target);

  IRectangle mTarget;
  LayerGroup* mGroup;
  IBitmapStrip mOverlay;
  IRectangle mDrawRect; // (0, 0, width, height)
};
