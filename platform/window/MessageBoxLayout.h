#pragma once

#include <functional>
#include <string>
#include <vector>

// One button of a message box, in box coordinates.
struct MessageBoxButton
{
  std::string label;
  int answer = 0; // MessageBoxAnswer
  int x = 0, y = 0, width = 0, height = 0;
  int labelX = 0, labelTop = 0; // the label's top-left, centred across the button
};

// The layout of a message box that a back end draws itself, apart from any window system: the
// text wrapped into lines, the buttons its kind has (MessageBoxKind), the box's size, and which
// answer a click, Return or Escape gives. Sizes come from the font's line height and a measure of
// a string's width.
class MessageBoxLayout
{
public:
  static constexpr size_t kWrapColumns = 72;
  static constexpr int kMargin = 16;

  MessageBoxLayout(const std::string& text, int kind, int lineHeight,
                   const std::function<int(const std::string&)>& textWidth);

  const std::vector<std::string>& Lines() const { return mLines; }
  const std::vector<MessageBoxButton>& Buttons() const { return mButtons; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  // Top of a line of text.
  int LineTop(size_t line) const { return kMargin + int(line) * mLineHeight; }

  // The answer of the button under a point, or kMessageBoxAnswerNone.
  int AnswerAt(int x, int y) const;
  // Return gives the first button's answer; Escape and closing the box the last one's.
  int ReturnAnswer() const { return mButtons.front().answer; }
  int EscapeAnswer() const { return mButtons.back().answer; }

  // The text's lines (split at '\n'), each wrapped at its last space within the columns, or cut
  // at the columns where there is none.
  static std::vector<std::string> WrapLines(const std::string& text, size_t columns);

private:
  std::vector<std::string> mLines;
  std::vector<MessageBoxButton> mButtons;
  int mLineHeight = 0;
  int mWidth = 0, mHeight = 0;
};
