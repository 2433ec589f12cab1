#pragma once

#include <string>

class IEffectBase;
class ITextControl;
class LayerGroup;

// The window that asks before a part is given the bank and program another enabled part already
// plays. The document draws it (its picture, and the buttons that send the selection anyway and
// cancel it); this adds the line that names the two parts and opens and closes it.
class ConflictWindow
{
public:
  static constexpr const char* kLayerName = "bankPatchConflictWindow";
  // The line naming the parts, at normal size (left, top, right, bottom): the picture's third line.
  static constexpr int kTextRect[4] = {514, 328, 986, 346};

  // Adds the line to the window's layer at the UI scale; nothing without a layer.
  void AddTo(IEffectBase* plug, LayerGroup* layer, double scale);

  // "Part 2 already plays bank A, program 006." The part, bank and program count from 0 here and
  // from 1 (banks from A) in the text, as the menus show them.
  static std::string Text(int otherPart, int bank, int program);

  // Sets the line and shows the window; any thread (the line is set under its lock).
  void Show(const std::string& text);
  void Hide();
  bool IsOpen() const;
  ITextControl* Line() const { return mLine; }

private:
  LayerGroup* mLayer = nullptr;  // the document's
  ITextControl* mLine = nullptr; // owned by the layer
};
