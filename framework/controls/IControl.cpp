#include "framework/controls/IControl.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/controls/ITextControl.h"

#include <atomic>

namespace
{
// Values are compared exactly; a NaN always differs.
bool Differs(double a, double b)
{
  return a != b;
}

IAuxParam* AuxEntries(HeapBuffer& buffer)
{
  return reinterpret_cast<IAuxParam*>(buffer.Data());
}

const IAuxParam* AuxEntries(const HeapBuffer& buffer)
{
  return reinterpret_cast<const IAuxParam*>(buffer.Data());
}
} // namespace

IControl::IControl(IEffectBase* plug, const IRectangle& rect, int paramIdx, IBlend blend)
    : mRect(rect), mParamIdx(paramIdx), mAlpha(blend.alpha), mTargetRect(rect), mPlug(plug), mBlend(blend)
{
}

std::atomic<uint64_t> IControl::sBindingsEpoch{1};

IControl::~IControl()
{
  BindingsChanged();
}

IGraphics* IControl::Graphics() const
{
  return mPlug ? dynamic_cast<IGraphics*>(mPlug->Editor()) : nullptr;
}

IParameter* IControl::Parameter() const
{
  return (mPlug && mParamIdx >= 0) ? mPlug->ParameterAt(mParamIdx) : nullptr;
}

void IControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (!IsGreyed() && mod.R) AskForValue();
}

void IControl::OnMouseUp(int, int, const IMouseMod&) {}

void IControl::OnMouseDrag(int, int, int, int, const IMouseMod&) {}

void IControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  if (IsGreyed()) return;
  const double def = DefaultValue();
  if (!(def >= 0.0)) return;
  SetValue(def);
  RequestRedraw(true);
}

void IControl::OnMouseWheel(int, int, const IMouseMod& mod, int notches)
{
  // A greyed control stands for a parameter that does not apply: the wheel must not move it.
  if (IsGreyed()) return;
  const double step = (mod.S || mod.C) ? 0.001 : 0.01;
  SetValue(Value() + notches * step);
  RequestRedraw(true);
}

bool IControl::OnKeyDown(int, int, int)
{
  return false;
}

void IControl::OnMouseOver(int, int, const IMouseMod&) {}

void IControl::OnMouseOut() {}

void IControl::ReceivePluginValue(double value)
{
  ReceiveValue(value, false);
}

void IControl::ReceiveUserValue(double value)
{
  ReceiveValue(value, true);
}

void IControl::Hide(bool hide)
{
  HideInGroupWalk(hide);
  if (!hide && mLayer) mLayer->NoteShown();
}

void IControl::HideInGroupWalk(bool hide)
{
  mHidden.store(hide, std::memory_order_relaxed);
  RequestRedraw(false);
  SetDirty(true);
}

void IControl::SetReportDirtyWhenHidden(bool flag)
{
  mReportDirtyWhenHidden.store(flag, std::memory_order_relaxed);
  if (flag && mLayer) mLayer->NoteShown(); // its repaints now count while hidden
}

void IControl::SetGreyed(bool grey)
{
  mGreyed.store(grey, std::memory_order_relaxed);
  SetBlendAlpha(grey ? 0.5f : 1.0f);
  RequestRedraw(false);
}

bool IControl::ContainsPoint(int x, int y)
{
  return mTargetRect.Contains(x, y);
}

void IControl::PushToPlug(bool secondary)
{
  IParameter* param = Parameter();
  if (!param) return;
  if (secondary)
    mPlug->SetParameterFromControlSecondary(mParamIdx, Value());
  else
    mPlug->SetParameterFromControl(mParamIdx, Value());

  if (mValueDisplay)
  {
    char text[128];
    ParamDisplayText(text, sizeof(text));
    mValueDisplay->SetText(text);
  }
  if (mNameDisplay) mNameDisplay->SetText(param->Name());
}

void IControl::ParamDisplayText(char* out, int size) const
{
  if (!out || size <= 0) return;
  out[0] = '\0';
  if (IParameter* param = Parameter()) param->DisplayValue(param->Value(), false, out, size, true);
}

bool IControl::TakeRedrawRequest()
{
  const bool dirty = mDirty.exchange(false, std::memory_order_acq_rel);
  mRedraw.store(dirty, std::memory_order_release);
  return dirty;
}

bool IControl::NeedsRedraw()
{
  // The dirty flag counts too: a value stored by another thread between a frame's read of the
  // dirty flag and its write of the redraw flag would otherwise wait for an unrelated repaint.
  return mRedraw.load(std::memory_order_acquire) || mDirty.load(std::memory_order_acquire);
}

void IControl::ReceiveAuxPluginValue(int auxPos, double value)
{
  if (auxPos < 0 || auxPos >= AuxCount()) return;
  std::atomic_ref<double> stored(AuxEntries(mAux)[auxPos].value);
  if (Differs(value, stored.load(std::memory_order_relaxed)))
  {
    stored.store(value, std::memory_order_relaxed);
    RequestRedraw(false);
    SetDirty(true);
  }
}

void IControl::SetValueAndPushToPlug(double value)
{
  if (Differs(value, Value()))
  {
    SetValue(value);
    RequestRedraw(true);
    SetDirty(true);
  }
}

void IControl::AskForValue()
{
  if (mParamIdx < 0 || mNoPrompt) return;
  IParameter* param = Parameter();
  IGraphics* graphics = Graphics();
  if (!param || !graphics) return;
  IRectangle rect = mRect;
  if (param->ValueTextCount() == 0)
  {
    const int cx = int((mRect.L + mRect.R) * 0.5);
    const int cy = int((mRect.T + mRect.B) * 0.5);
    rect = IRectangle(cx - 15, cy - 8, cx + 15, cy + 8);
  }
  graphics->PromptForValue(this, param, &rect);
  SetDirty(true);
}

int IControl::AddAuxParam(int paramIdx, double value)
{
  const int n = AuxCount();
  const int wanted = (n + 1) * int(sizeof(IAuxParam));
  mAux.Resize(wanted);
  if (mAux.Size() != wanted) return -1;
  AuxEntries(mAux)[n] = IAuxParam{value, paramIdx};
  BindingsChanged();
  return n;
}

int IControl::FindAuxParam(int paramIdx) const
{
  const int n = AuxCount();
  const IAuxParam* entries = AuxEntries(mAux);
  for (int i = 0; i < n; ++i)
    if (entries[i].paramIdx == paramIdx) return i;
  return -1;
}

double IControl::AuxValue(int auxPos) const
{
  if (auxPos < 0 || auxPos >= AuxCount()) return 0.0;
  std::atomic_ref<double> stored(const_cast<IAuxParam*>(AuxEntries(mAux))[auxPos].value);
  return stored.load(std::memory_order_relaxed);
}

int IControl::AuxParamIdx(int auxPos) const
{
  if (auxPos < 0 || auxPos >= AuxCount()) return -1;
  return AuxEntries(mAux)[auxPos].paramIdx;
}
