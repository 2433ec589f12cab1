#pragma once

#include <array>
#include <cstddef>

class ConfigReader;
class IContactControl;
class IEffectBase;
class IGraphics;
class LayerGroup;
class ProgressIndicator;

// The progress group: the editor's last top-level group, so it draws over every page and is hit
// first. It holds the link's progress indicator and, in a page drawn after it and hit before it,
// the two cancel buttons ("Cancel Data Request", kCancelDataRequest): the editor's in the overlay's
// box and the librarian's in the top bar's free corner right of the random button, where it hides
// no control or title of any page. Hidden until a transfer shows it.
class ProgressOverlay
{
public:
  static constexpr const char* kLayerName = "PROGRESS";
  static constexpr const char* kCancelLayerName = "PROGRESS CANCEL";
  static constexpr int kCancelPageId = 1;
  // Which cancel button belongs to which view, and where each sits at normal size.
  static constexpr int kEditorCancel = 0;
  static constexpr int kLibrarianCancel = 1;
  static constexpr int kCancelButtonAt[2][2] = {{835, 457}, {1380, 9}};

  // Adds the group (registered with the reader by its name) and its cancel buttons; false when the
  // editor would not take the group.
  bool AddTo(IGraphics& editor, ConfigReader& config);
  // The link's indicator over the whole editor (width by height), hidden.
  void AddIndicator(IEffectBase* plug, const ConfigReader& config, int width, int height);

  LayerGroup* Layer() const { return mLayer; }
  ProgressIndicator* Indicator() const { return mIndicator; }
  IContactControl* CancelButton(int i) const
  {
    return (i == kEditorCancel || i == kLibrarianCancel) ? mCancelButtons[std::size_t(i)] : nullptr;
  }

  // A transfer runs: the group and indicator show, with the one cancel button of the view shown.
  void Show(int cancelButton);
  // It ended: group, indicator and both buttons hide.
  void Hide();

private:
  LayerGroup* mLayer = nullptr;            // owned by the editor
  ProgressIndicator* mIndicator = nullptr; // owned by the group
  std::array<IContactControl*, 2> mCancelButtons{};
};
