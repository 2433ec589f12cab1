#include "editor/ProgressOverlay.h"

#include "config/ConfigReader.h"
#include "framework/controls/IContactControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "link/transfer/ProgressIndicator.h"

bool ProgressOverlay::AddTo(IGraphics& editor, ConfigReader& config)
{
  auto* progress = new LayerGroup(0, kLayerName);
  if (editor.AddLayerGroup(progress) < 0) return false;
  mLayer = progress;
  config.RegisterLayer(kLayerName, progress);
  // The cancel buttons live in a page of the progress group: a group draws its own controls (the
  // overlay) first and its pages after them, and hit-tests in the reverse order.
  auto* cancel = new LayerGroup(kCancelPageId, kCancelLayerName);
  if (progress->AddChildGroup(cancel) >= 0)
  {
    progress->SetCurrentPage(false, kCancelPageId);
    for (int i : {kEditorCancel, kLibrarianCancel})
      mCancelButtons[size_t(i)] =
          config.CreateContactButton("Cancel Data Request", kCancelButtonAt[i][0], kCancelButtonAt[i][1],
                                     "BUTTON_LIB_CANCEL_ID", cancel, "Global");
  }
  return true;
}

void ProgressOverlay::AddIndicator(IEffectBase* plug, const ConfigReader& config, int width, int height)
{
  if (!mLayer) return;
  mIndicator = ProgressIndicator::AddTo(mLayer, plug, width, height, config.GetImage("PROGRESS_INDICATOR_ID"),
                                        IRectangle(0, 0, width, height));
  if (mIndicator) mIndicator->Hide(true);
}

void ProgressOverlay::Show(int cancelButton)
{
  if (mLayer)
  {
    mLayer->Hide(false);
    mLayer->RequestRedraw();
  }
  if (mIndicator) mIndicator->Hide(false);
  for (IContactControl* button : mCancelButtons)
    if (button) button->Hide(true);
  if (IContactControl* cancel = CancelButton(cancelButton)) cancel->Hide(false);
}

void ProgressOverlay::Hide()
{
  if (mLayer)
  {
    mLayer->Hide(true);
    mLayer->RequestRedraw();
  }
  if (mIndicator) mIndicator->Hide(true);
  for (IContactControl* button : mCancelButtons)
    if (button) button->Hide(true);
}
