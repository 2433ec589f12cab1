#include "platform/window/MessageBoxLayout.h"

#include "platform/window/PlatformWindow.h"

#include <algorithm>
#include <utility>

namespace
{
constexpr int kButtonWidth = 80, kButtonGap = 10, kLabelTop = 6;

std::vector<std::pair<std::string, int>> ButtonsOf(int kind)
{
  switch (kind)
  {
  case kMessageBoxOkCancel:
    return {{"OK", kMessageBoxAnswerOk}, {"Cancel", kMessageBoxAnswerCancel}};
  case kMessageBoxYesNo:
    return {{"Yes", kMessageBoxAnswerYes}, {"No", kMessageBoxAnswerNo}};
  case kMessageBoxYesNoCancel:
    return {{"Yes", kMessageBoxAnswerYes}, {"No", kMessageBoxAnswerNo}, {"Cancel", kMessageBoxAnswerCancel}};
  default:
    return {{"OK", kMessageBoxAnswerOk}};
  }
}
} // namespace

std::vector<std::string> MessageBoxLayout::WrapLines(const std::string& text, size_t columns)
{
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size())
  {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (line.size() > columns)
    {
      size_t cut = line.rfind(' ', columns);
      if (cut == std::string::npos || cut == 0) cut = columns;
      lines.push_back(line.substr(0, cut));
      line = line.substr(cut == columns ? cut : cut + 1);
    }
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

MessageBoxLayout::MessageBoxLayout(const std::string& text, int kind, int lineHeight,
                                   const std::function<int(const std::string&)>& textWidth)
    : mLines(WrapLines(text, kWrapColumns)), mLineHeight(lineHeight)
{
  int widest = 0;
  for (const std::string& line : mLines)
    widest = std::max(widest, textWidth(line));
  const std::vector<std::pair<std::string, int>> buttons = ButtonsOf(kind);
  const int buttonHeight = lineHeight + 12;
  const int buttonsWidth = int(buttons.size()) * kButtonWidth + int(buttons.size() - 1) * kButtonGap;
  mWidth = std::max(widest, buttonsWidth) + 2 * kMargin;
  mHeight = kMargin + int(mLines.size()) * lineHeight + kMargin + buttonHeight + kMargin;
  const int buttonsTop = mHeight - kMargin - buttonHeight;
  const int buttonsLeft = (mWidth - buttonsWidth) / 2;
  for (size_t i = 0; i < buttons.size(); ++i)
  {
    MessageBoxButton b;
    b.label = buttons[i].first;
    b.answer = buttons[i].second;
    b.x = buttonsLeft + int(i) * (kButtonWidth + kButtonGap);
    b.y = buttonsTop;
    b.width = kButtonWidth;
    b.height = buttonHeight;
    b.labelX = b.x + (kButtonWidth - textWidth(b.label)) / 2;
    b.labelTop = b.y + kLabelTop;
    mButtons.push_back(b);
  }
}

int MessageBoxLayout::AnswerAt(int x, int y) const
{
  for (const MessageBoxButton& b : mButtons)
    if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) return b.answer;
  return kMessageBoxAnswerNone;
}
