#include "editor/PageSelection.h"

#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"

namespace
{
LayerGroup* ChildWithId(LayerGroup* group, int32_t id)
{
  for (int i = 0; i < group->NumChildren(); ++i)
    if (LayerGroup* child = group->GetChild(i); child && int32_t(child->Id()) == id) return child;
  return nullptr;
}

// Gives each group that has pages a current page that exists: the first child when the current
// one names none.
void ChooseFirstPages(LayerGroup* group)
{
  if (!group) return;
  if (group->NumChildren() > 0 && !ChildWithId(group, group->CurrentPage()))
    group->SetCurrentPage(false, int32_t(group->GetChild(0)->Id()));
  for (int i = 0; i < group->NumChildren(); ++i)
    ChooseFirstPages(group->GetChild(i));
}
} // namespace

int PageSelection::PageBlock(int pageId)
{
  if (pageId >= 10 && pageId <= 99) return pageId / 10 * 10;
  if (pageId >= 100 && pageId <= 108) return 100;
  if (pageId >= 110 && pageId <= 118) return 110;
  if (pageId >= 120 && pageId <= 128) return 120;
  if (pageId >= 130 && pageId <= 298) return 130;
  if (pageId >= 300) return 300;
  return -1;
}

bool PageSelection::Select(LayerGroup* group, int pageId, bool sameBlockOnly, const Log& log)
{
  if (!group)
  {
    if (log) log("Page " + std::to_string(pageId) + " of a missing layer NOT selected!");
    return false;
  }
  if (!ChildWithId(group, pageId))
  {
    if (log) log("Page " + std::to_string(pageId) + " NOT FOUND in layer " + group->Name() + "!");
    return false;
  }
  group->SetCurrentPage(false, pageId);
  const int block = PageBlock(pageId);
  for (int i = 0; i < group->NumChildren(); ++i)
  {
    LayerGroup* child = group->GetChild(i);
    const int id = int(child->Id());
    if (sameBlockOnly && id != pageId && (block < 0 || PageBlock(id) != block)) continue;
    // Hiding a hidden page (or showing a shown one) still repaints it: cheap, and the area
    // of a page that was drawn over must come back either way.
    child->Hide(id != pageId);
    child->RequestRedraw();
  }
  return true;
}

bool PageSelection::SelectPage(LayerGroup* group, int pageId, const Log& log)
{
  return Select(group, pageId, false, log);
}

bool PageSelection::SelectPageInBlock(LayerGroup* group, int pageId, const Log& log)
{
  return Select(group, pageId, true, log);
}

void PageSelection::ShowFirstPages(IGraphics* graphics)
{
  if (!graphics) return;
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
  {
    LayerGroup* group = graphics->GetLayerGroup(i);
    ChooseFirstPages(group);
    if (group) group->Hide(false);
  }
}
