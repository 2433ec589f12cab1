#pragma once

#include "framework/support/HeapString.h"
#include "framework/controls/IControl.h"

#include <mutex>

// A plain text in a rectangle. Texts may be set from any thread: the text changes under a small
// lock that drawing holds too, so a frame never draws a text that is being replaced.
class ITextControl : public IControl
{
public:
  // No parameter; the style is copied; empty text.
  ITextControl(IEffectBase* plug, const IRectangle& rect, const ITextStyle& style);
  ~ITextControl() override;

  // A differing text (null counts as empty) asks for one repaint and is stored.
  void SetText(const char* text);
  // A copy of the text into out (size bytes, always terminated); answers its full length.
  int GetText(char* out, int size) const;
  bool TextEquals(const char* text) const;

  bool Draw(IGraphics* graphics) override;
  bool NeedsRedraw() override;
  bool TakeRedrawRequest() override;

protected:
  // Draws the current text; the caller holds mTextLock.
  // Draws shown, or the control's text when shown is null.
  bool DrawLockedText(IGraphics* graphics, const char* shown = nullptr);

  mutable std::mutex mTextLock;
  HeapString mText;
  // Set with every new text, cleared when a frame draws it (or passes over it undrawn).
  std::atomic<bool> mTextChanged{false};
  std::atomic<bool> mDrawn{false};
};
