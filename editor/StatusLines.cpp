#include "editor/StatusLines.h"

#include "framework/controls/ITextControl.h"

void StatusLines::Set(Line line, const std::string& text)
{
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mTexts[line] = text;
  }
  if (ITextControl* control = mDisplays[line]) control->SetText(text.c_str());
}

std::string StatusLines::Text(Line line) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mTexts[line];
}
