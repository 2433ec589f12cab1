#pragma once

#include "framework/plugin/ParameterIds.h"

#include <functional>
#include <string>
#include <vector>

class ConfigReader;
class IEffectBase;
class LayerGroup;

// The sections of a page whose picture or controls a value chooses: each part's effects routing
// diagram (a page layer of the routing parameter's MIDI map record: the page whose id is the value),
// the librarian page's menus and search fields (a page of their block, beside the page's always-shown
// layers) and the part column's mixer rows of the model. A section follows its value while its page shows,
// and picks it up when its page is shown again; it never shows a value that is not chosen.
class PageLayers
{
public:
  using Log = std::function<void(const std::string& line)>;

  // Sets the records' page layers and finds the sections' layers (those the document lacks are
  // left out).
  PageLayers(IEffectBase& plug, ConfigReader& config, Log log = nullptr);

  // The sections of the parameter follow its value.
  void Follow(int index);
  // Every section follows its value (after a page was shown, or a project recalled).
  void FollowAll();

  // A block of pages in a layer, one chosen by the value.
  struct Section
  {
    int index;
    const char* layer;
    int (*page)(int value);
  };
  static constexpr int kSixPartModel = 2; // kCurrentModel's value of the six-part synthesizer
  static constexpr Section kSections[] = {
      {kDatatype, "libraryPage", [](int v) { return 60 + v; }},
      {kPatchSearch, "libraryPage", [](int v) { return 80 + v; }},
      // The part column's mixer rows: six for the six-part model, eight for the others.
      {kCurrentModel, "partColumn", [](int v) { return v == kSixPartModel ? 71 : 70; }}};

private:
  void FollowRecord(int index);
  void FollowSection(const Section& section, LayerGroup* layer);

  IEffectBase& mPlug;
  Log mLog;
  std::vector<int> mRecordIndices;         // the parameters whose record has a page layer
  std::vector<LayerGroup*> mSectionLayers; // by kSections, null when missing
};
