// Mouse and key dispatch of the editor graphics: the control under the pointer, capture, and the
// host edits a press begins and a release ends.
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"

void IGraphics::ReleaseMouseCapture()
{
  mCapturedControl = nullptr;
  mMouseX = -1;
  mMouseY = -1;
}

void IGraphics::EndOpenParamEdit()
{
  const int idx = mEditParamIdx;
  mEditParamIdx = -1;
  if (idx >= 0 && mPlug) mPlug->EndParamEdit(idx);
}

void IGraphics::BeginParamEditFor(int paramIdx)
{
  if (paramIdx < 0 || !mPlug || !mPlug->ParameterAt(paramIdx)) return;
  mPlug->BeginParamEdit(paramIdx);
  mEditParamIdx = paramIdx;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  // A press whose release never arrived still closes its edit first.
  EndOpenParamEdit();
  ReleaseMouseCapture();
  if (IControl* c = FindControlAt(x, y)) PressControl(c, x, y, mod);
}

void IGraphics::PressControl(IControl* c, int x, int y, const IMouseMod& mod)
{
  mCapturedControl = c;
  mMouseX = x;
  mMouseY = y;
  // Taken before the press: the press may open a prompt that rebuilds the editor.
  const int paramIdx = c->ParamIdx();
  c->OnMouseDown(x, y, mod);
  BeginParamEditFor(paramIdx);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod)
{
  IControl* c = FindControlAt(x, y);
  ReleaseMouseCapture();
  if (c) c->OnMouseUp(x, y, mod);
  EndOpenParamEdit();
}

void IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  EndOpenParamEdit();
  ReleaseMouseCapture();
  IControl* c = FindControlAt(x, y);
  if (!c) return;
  if (c->DblClickAsPress())
    PressControl(c, x, y, mod);
  else
    c->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod)
{
  IControl* c = mCapturedControl;
  if (!c || (x == mMouseX && y == mMouseY)) return;
  const int dx = x - mMouseX;
  const int dy = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  c->OnMouseDrag(x, y, dx, dy, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int notches)
{
  if (IControl* c = FindControlAt(x, y)) c->OnMouseWheel(x, y, mod, notches);
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
  IControl* c = FindControlAt(x, y);
  return c && c->OnKeyDown(x, y, key);
}

IControl* IGraphics::FindControlAt(int x, int y)
{
  if (mCapturedControl) return mCapturedControl;
  for (int i = mGroups.Count() - 1; i >= 0; --i)
    if (IControl* c = mGroups.Get(i)->FindControlAt(x, y)) return c;
  for (int i = mControls.Count() - 1; i >= 0; --i)
  {
    IControl* c = mControls.Get(i);
    if (!c->IsHidden() && !c->IsGreyed() && c->ContainsPoint(x, y)) return c;
  }
  return nullptr;
}
