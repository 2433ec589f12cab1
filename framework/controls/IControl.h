#pragma once

#include "framework/support/HeapBuffer.h"
#include "framework/support/IDrawTypes.h"
#include "framework/support/IRectangle.h"

#include <atomic>
#include <cstdint>

class IEffectBase;
class IGraphics;
class IParameter;
class ITextControl;
class LayerGroup;

// A further parameter a control mirrors (aux binding).
struct IAuxParam
{
  double value = 0.0;
  int32_t paramIdx = -1;
};

// The base of every element of the editor. A control has a rectangle, an optional parameter
// binding, a normalised value (0..1), a text style, a blend record and the two flags of the
// repaint protocol: the redraw flag asks for one repaint, the dirty flag (a value from outside)
// for a second one on the next frame.
//
// Values, defaults and flags are atomic: SyncParameterToControls reaches controls from the MIDI
// input and transfer threads, and only stores; the editor's next frame draws the result.
class IControl
{
public:
  // Editor key codes reaching OnKeyDown.
  enum Key : int
  {
    kKeySpace = 0,
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyDigit0 = 5,  // to kKeyDigit0 + 9
    kKeyLetterA = 15 // to kKeyLetterA + 25
  };

  IControl(IEffectBase* plug, const IRectangle& rect, int paramIdx = -1, IBlend blend = IBlend());
  virtual ~IControl();

  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- virtual operations ----
  // Unless greyed, the right button opens the value prompt.
  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int x, int y, const IMouseMod& mod);
  virtual void OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod);
  // Unless greyed, and only once a default exists: restores it and pushes it.
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  // Unless greyed: 0.01 per notch, 0.001 with shift or control; pushed.
  virtual void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches);
  // Answers whether the key was taken.
  virtual bool OnKeyDown(int x, int y, int key);
  virtual void OnMouseOver(int x, int y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual bool Draw(IGraphics* graphics) = 0;
  // A value from the plug-in. The first one becomes the default (no repaint); later ones that
  // differ repaint on two frames. Safe from any thread.
  virtual void ReceivePluginValue(double value);
  // As ReceivePluginValue, and pushes the value through the secondary change path.
  virtual void ReceiveUserValue(double value);
  virtual void Hide(bool hide);
  // Hide without telling the control's group that something in it shows: for the group's own walk,
  // which tells it once for all its controls.
  void HideInGroupWalk(bool hide);
  // Greyed controls draw at half alpha and ignore the mouse.
  virtual void SetGreyed(bool grey);
  // Inside the target rectangle (right and bottom edges outside; an all-zero one never hits).
  virtual bool ContainsPoint(int x, int y);
  // Clamps the value, asks for a repaint and, when push is set, sends the value to the plug-in
  // and updates the value and name displays. Inline: a recall asks thousands of controls.
  void RequestRedraw(bool push)
  {
    ClampValue();
    mRedraw.store(true, std::memory_order_release);
    if (push) PushToPlug(false);
  }
  void RequestRedrawFromUser(bool push)
  {
    ClampValue();
    mRedraw.store(true, std::memory_order_release);
    if (push) PushToPlug(true);
  }
  // Ends a frame's request: the redraw flag takes the dirty flag, which is cleared. Answers it.
  virtual bool TakeRedrawRequest();
  virtual bool NeedsRedraw();
  virtual void ReceiveAuxPluginValue(int auxPos, double value);

  // ---- value protocol ----
  // Stores a differing value and pushes it; no default is captured.
  void SetValueAndPushToPlug(double value);
  // Opens the value prompt of the editor for the bound parameter (unless no-prompt).
  void AskForValue();

  // ---- fields ----
  IEffectBase* Plug() const { return mPlug; }
  // The plug-in's editor graphics, or null.
  IGraphics* Graphics() const;
  // The bound parameter, or null.
  IParameter* Parameter() const;

  int ParamIdx() const { return mParamIdx; }
  void SetParamIdx(int idx)
  {
    if (idx != mParamIdx)
    {
      mParamIdx = idx;
      BindingsChanged();
    }
  }

  // A process-wide count that advances whenever the controls bound to a parameter may have changed:
  // a control rebound, given an aux binding or deleted, a control or group added to a layer group.
  // The graphics core rebuilds its index of controls by parameter when it moved. Code that changes
  // a control list by other means calls BindingsChanged itself.
  static uint64_t BindingsEpoch() { return sBindingsEpoch.load(std::memory_order_acquire); }
  static void BindingsChanged() { sBindingsEpoch.fetch_add(1, std::memory_order_acq_rel); }

  double Value() const { return mValue.load(std::memory_order_relaxed); }
  // Stores the value without repaint or push.
  void SetValue(double value) { mValue.store(value, std::memory_order_relaxed); }
  double DefaultValue() const { return mDefault.load(std::memory_order_relaxed); }
  void SetDefaultValue(double value) { mDefault.store(value, std::memory_order_relaxed); }
  double ClampLow() const { return mClampLow; }
  double ClampHigh() const { return mClampHigh; }
  void SetClamp(double low, double high)
  {
    mClampLow = low;
    mClampHigh = high;
  }

  const IRectangle& Rect() const { return mRect; }
  void SetRect(const IRectangle& rect) { mRect = rect; }
  const IRectangle& TargetRect() const { return mTargetRect; }
  void SetTargetRect(const IRectangle& rect) { mTargetRect = rect; }

  bool IsHidden() const { return mHidden.load(std::memory_order_relaxed); }
  bool IsGreyed() const { return mGreyed.load(std::memory_order_relaxed); }
  bool IsDirty() const { return mDirty.load(std::memory_order_relaxed); }
  void SetDirty(bool dirty) { mDirty.store(dirty, std::memory_order_release); }
  bool ReportDirtyWhenHidden() const { return mReportDirtyWhenHidden.load(std::memory_order_relaxed); }
  void SetReportDirtyWhenHidden(bool flag);
  // The layer group that holds the control (set by the group), told when the control shows.
  void SetLayer(LayerGroup* layer) { mLayer = layer; }
  LayerGroup* Layer() const { return mLayer; }
  bool NoPrompt() const { return mNoPrompt; }
  void SetNoPrompt(bool flag) { mNoPrompt = flag; }
  bool DblClickAsPress() const { return mDblClickAsPress; }
  void SetDblClickAsPress(bool flag) { mDblClickAsPress = flag; }
  int TextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int n) { mTextEntryLength = n; }

  ITextStyle& TextStyle() { return mTextStyle; }
  const ITextStyle& TextStyle() const { return mTextStyle; }
  void SetTextStyle(const ITextStyle& style) { mTextStyle = style; }
  // The blend to draw with. Its alpha may change on any thread (a transfer job greys a control),
  // so it is kept apart and read whole.
  IBlend Blend() const
  {
    IBlend blend = mBlend;
    blend.alpha = mAlpha.load(std::memory_order_relaxed);
    return blend;
  }
  void SetBlendAlpha(float alpha) { mAlpha.store(alpha, std::memory_order_relaxed); }

  ITextControl* ValueDisplay() const { return mValueDisplay; }
  void SetValueDisplay(ITextControl* control) { mValueDisplay = control; }
  ITextControl* NameDisplay() const { return mNameDisplay; }
  void SetNameDisplay(ITextControl* control) { mNameDisplay = control; }

  // ---- aux bindings ----
  // Adds a mirrored parameter; answers its position, or -1 when the list could not grow.
  int AddAuxParam(int paramIdx, double value = 0.0);
  int AuxCount() const { return mAux.Size() / int(sizeof(IAuxParam)); }
  // The position of the first entry bound to paramIdx, or -1.
  int FindAuxParam(int paramIdx) const;
  double AuxValue(int auxPos) const;
  int AuxParamIdx(int auxPos) const;

protected:
  // The value clamped into [clamp low, clamp high]; a NaN stays as it is. Inline, as ReceiveValue:
  // a recall pushes values to thousands of controls.
  void ClampValue()
  {
    const double v = Value();
    if (v < mClampLow)
      SetValue(mClampLow);
    else if (v > mClampHigh)
      SetValue(mClampHigh);
  }
  void PushToPlug(bool secondary);
  // ReceivePluginValue, or with fromUser ReceiveUserValue (pushed through the secondary path).
  void ReceiveValue(double value, bool fromUser)
  {
    if (DefaultValue() < 0.0)
    {
      // The first value a control receives becomes the one a double click restores.
      SetValue(value);
      SetDefaultValue(value);
      return;
    }
    if (value != Value()) // exactly; a NaN always differs
    {
      SetValue(value);
      if (fromUser)
        RequestRedrawFromUser(true);
      else
        RequestRedraw(false);
      SetDirty(true);
    }
  }
  // The display text of the bound parameter's current value (out holds size bytes).
  void ParamDisplayText(char* out, int size) const;

  // What a value push, a hide and a frame's dirty collection read and write lies first, beside the
  // virtual table pointer: pushing values to thousands of controls touches the first 64 bytes of
  // each, not three cache lines spread over it.
  std::atomic<double> mValue{0.0};
  std::atomic<double> mDefault{-1.0};
  double mClampLow = 0.0;
  double mClampHigh = 1.0;
  IRectangle mRect;
  int mParamIdx = -1;
  std::atomic<bool> mHidden{false};
  std::atomic<bool> mRedraw{true};
  std::atomic<bool> mDirty{false};
  std::atomic<bool> mReportDirtyWhenHidden{false};
  // The rest is read when drawing or handling the mouse.
  std::atomic<bool> mGreyed{false};
  bool mNoPrompt = true;
  bool mDblClickAsPress = false;
  std::atomic<float> mAlpha{1.0f};
  IRectangle mTargetRect;
  IEffectBase* mPlug = nullptr;
  LayerGroup* mLayer = nullptr;
  int mTextEntryLength = 16;
  ITextStyle mTextStyle;
  HeapBuffer mAux{4096};
  IBlend mBlend; // its alpha is mAlpha
  ITextControl* mValueDisplay = nullptr;
  ITextControl* mNameDisplay = nullptr;

private:
  static std::atomic<uint64_t> sBindingsEpoch;
};
