#include "link/transfer/ProgressIndicator.h"

#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"

namespace
{
void MarkReportDirtyWhenHidden(LayerGroup* group)
{
  group->SetReportDirtyWhenHidden(true);
  for (int i = 0; i < group->NumControls(); ++i)
    if (IControl* c = group->GetControl(i)) c->SetReportDirtyWhenHidden(true);
  for (int i = 0; i < group->NumChildren(); ++i)
    if (LayerGroup* child = group->GetChild(i)) MarkReportDirtyWhenHidden(child);
}
} // namespace

ProgressIndicator::ProgressIndicator(LayerGroup* group, IEffectBase* plug, int width, int height,
                                     const IBitmapStrip& overlay, const IRectangle& target)
    : IBitmapOverlayControl(plug, 0, 0, -1, overlay), mTarget(target), mGroup(group), mOverlay(overlay),
      mDrawRect(0, 0, width, height)
{
  // The whole editor takes the clicks, whatever the image's size.
  SetRect(mDrawRect);
  SetTargetRect(mDrawRect);
}

ProgressIndicator* ProgressIndicator::AddTo(LayerGroup* group, IEffectBase* plug, int width, int height,
                                            const IBitmapStrip& overlay, const IRectangle& target)
{
  if (!group) return nullptr;
  auto* indicator = new ProgressIndicator(group, plug, width, height, overlay, target);
  if (group->AddControl(indicator) < 0) return nullptr; // the group has deleted it
  MarkReportDirtyWhenHidden(group);
  return indicator;
}

bool ProgressIndicator::Draw(IGraphics* graphics)
{
  if (!graphics || !mOverlay.bitmap) return false;
  const IBlend blend = Blend();
  return graphics->DrawBitmap(&mOverlay, &mDrawRect, 0, 0, &blend);
}
