#include "editor/PageLayers.h"

#include "config/ConfigReader.h"
#include "config/MidiMapRecord.h"
#include "editor/PageSelection.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"

#include <iterator>

namespace
{
// The routing diagrams: in each part's copy of the effects panel, one child per routing value.
struct RecordLayer
{
  int firstIndex;    // of part 0; part p's is firstIndex + p
  const char* panel; // the part's copy is panel + p
  const char* layer;
};
constexpr RecordLayer kRecordLayers[] = {{kFXRoutingConfig, "effects2Panel", "fxRouting"},
                                         {kFXMultiRoutingConfig, "multiFxPanel", "fxRoutingMulti"}};

LayerGroup* Descendant(LayerGroup* group, const std::string& name)
{
  if (!group) return nullptr;
  for (int i = 0; i < group->NumChildren(); ++i)
  {
    LayerGroup* child = group->GetChild(i);
    if (child && name == child->Name()) return child;
    if (LayerGroup* found = Descendant(child, name)) return found;
  }
  return nullptr;
}

bool HasChild(LayerGroup* group, int id)
{
  for (int i = 0; i < group->NumChildren(); ++i)
    if (int(group->GetChild(i)->Id()) == id) return true;
  return false;
}
} // namespace

PageLayers::PageLayers(IEffectBase& plug, ConfigReader& config, Log log) : mPlug(plug), mLog(std::move(log))
{
  for (const RecordLayer& r : kRecordLayers)
    for (int part = 0; part < kPartCount; ++part)
    {
      IParameter* param = plug.ParameterAt(r.firstIndex + part);
      MidiMapRecord* record = param ? param->MidiMap() : nullptr;
      LayerGroup* layer = Descendant(config.GetLayer(r.panel + std::to_string(part)), r.layer);
      if (!record || !layer) continue;
      record->pageLayer = layer;
      mRecordIndices.push_back(r.firstIndex + part);
    }
  for (const Section& s : kSections)
    mSectionLayers.push_back(config.GetLayer(s.layer));
}

void PageLayers::Follow(int index)
{
  FollowRecord(index);
  for (size_t i = 0; i < std::size(kSections); ++i)
    if (kSections[i].index == index) FollowSection(kSections[i], mSectionLayers[i]);
}

void PageLayers::FollowAll()
{
  for (int index : mRecordIndices)
    FollowRecord(index);
  for (size_t i = 0; i < std::size(kSections); ++i)
    FollowSection(kSections[i], mSectionLayers[i]);
}

void PageLayers::FollowRecord(int index)
{
  const IParameter* param = mPlug.ParameterAt(index);
  MidiMapRecord* record = param ? param->MidiMap() : nullptr;
  LayerGroup* layer = record ? record->pageLayer : nullptr;
  if (!layer) return;
  const int page = param->IntValue();
  // A hidden layer only remembers its page: showing a page of a page that is not shown would draw
  // it over the page that is.
  if (layer->IsVisible())
    PageSelection::SelectPage(layer, page, mLog);
  else if (HasChild(layer, page))
    layer->SetCurrentPage(false, page);
  else if (mLog)
    mLog("Page " + std::to_string(page) + " NOT FOUND in layer " + layer->Name() + "!");
}

void PageLayers::FollowSection(const Section& section, LayerGroup* layer)
{
  const IParameter* param = mPlug.ParameterAt(section.index);
  if (!layer || !param || !layer->IsVisible()) return; // picked up when the page shows again
  // The page's own layers (id 0) show with the page: its current page stays what it was, and only
  // the section's block follows the value.
  const int32_t current = layer->CurrentPage();
  PageSelection::SelectPageInBlock(layer, section.page(param->IntValue()), mLog);
  layer->SetCurrentPage(false, current);
}
