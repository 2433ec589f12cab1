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

bool StartsHidden(const LayerGroup* group, const std::vector<std::string>& startHidden)
{
  for (const std::string& name : startHidden)
    if (name == group->Name()) return true;
  return false;
}

// Whether showing the group with this current page would show a child that must start hidden.
bool PageShowsHidden(LayerGroup* group, int32_t pageId, const std::vector<std::string>& startHidden)
{
  for (int i = 0; i < group->NumChildren(); ++i)
    if (LayerGroup* child = group->GetChild(i);
        child && int32_t(child->Id()) == pageId && StartsHidden(child, startHidden))
      return true;
  return false;
}

// Gives each group that has pages a current page that exists: the first child that may show
// when the current one names none (or names a layer that starts hidden). A group whose children
// all start hidden gets a page id no child has, so that showing it shows none of them.
void ChooseFirstPages(LayerGroup* group, const std::vector<std::string>& startHidden)
{
  if (!group) return;
  const int32_t current = group->CurrentPage();
  if (group->NumChildren() > 0 &&
      (!ChildWithId(group, current) || PageShowsHidden(group, current, startHidden)))
  {
    int32_t page = -1;
    for (int i = 0; i < group->NumChildren() && page < 0; ++i)
      if (LayerGroup* child = group->GetChild(i); !StartsHidden(child, startHidden))
        page = int32_t(child->Id());
    group->SetCurrentPage(false, page);
  }
  for (int i = 0; i < group->NumChildren(); ++i)
    ChooseFirstPages(group->GetChild(i), startHidden);
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
    // Hiding a hidden page (or showing a shown one) still repaints it (Hide repaints the whole
    // subtree): cheap, and the area of a page that was drawn over must come back either way.
    child->Hide(id != pageId);
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

void PageSelection::ShowFirstPages(IGraphics* graphics, const std::vector<std::string>& startHidden)
{
  if (!graphics) return;
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
  {
    LayerGroup* group = graphics->GetLayerGroup(i);
    if (!group) continue;
    ChooseFirstPages(group, startHidden);
    // An overlay waits for whoever has something to say with it.
    group->Hide(group->ReportDirtyWhenHidden() || StartsHidden(group, startHidden));
  }
}
