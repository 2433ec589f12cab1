#include "editor/ConflictWindow.h"

#include "config/ConfigReader.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/LayerGroup.h"

#include <cstdio>

void ConflictWindow::AddTo(IEffectBase* plug, LayerGroup* layer, double scale)
{
  mLayer = layer;
  if (!layer) return;
  const IRectangle rect(int(kTextRect[0] * scale), int(kTextRect[1] * scale), int(kTextRect[2] * scale),
                        int(kTextRect[3] * scale));
  ITextStyle style(ConfigReader::kTextFace, int(13 * scale), IColour(255, 255, 196, 92));
  style.style = ITextStyle::kBold;
  style.hAlign = ITextStyle::kAlignLeft;
  auto* line = new ITextControl(plug, rect, style);
  if (layer->AddControl(line) >= 0) mLine = line;
  if (!layer->IsVisible() && mLine) mLine->Hide(true);
}

std::string ConflictWindow::Text(int otherPart, int bank, int program)
{
  char text[64];
  const char letter = bank >= 0 && bank < 26 ? char('A' + bank) : '?';
  std::snprintf(text, sizeof text, "Part %d already plays bank %c, program %03d.", otherPart + 1, letter,
                program + 1);
  return text;
}

void ConflictWindow::Show(const std::string& text)
{
  if (mLine) mLine->SetText(text.c_str());
  if (!mLayer) return;
  mLayer->Hide(false);
  mLayer->RequestRedraw();
}

void ConflictWindow::Hide()
{
  if (!mLayer || !mLayer->IsVisible()) return;
  mLayer->Hide(true);
  mLayer->RequestRedraw();
}

bool ConflictWindow::IsOpen() const
{
  return mLayer && mLayer->IsVisible();
}
