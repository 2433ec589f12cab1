#include "editor/PartView.h"

#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/ParameterIds.h"

#include <algorithm>

PartView::PartView(IGraphics* graphics)
{
  if (!graphics) return;
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
    Collect(graphics->GetLayerGroup(i));
}

void PartView::Collect(LayerGroup* group)
{
  if (!group) return;
  if (group->HoldsPartCopies()) mParents.push_back(group);
  for (int i = 0; i < group->NumChildren(); ++i)
    Collect(group->GetChild(i));
}

void PartView::Select(int part)
{
  const int shown = std::clamp(part, 0, kPartCount - 1);
  for (LayerGroup* parent : mParents)
    parent->SetCurrentPart(shown);
}
