#pragma once

// What the plug-in base needs of its editor. The editor graphics class implements it; the
// plug-in base owns the attached editor and deletes it through this interface.
class IEditorHook
{
public:
  virtual ~IEditorHook() = default;

  // A parameter's value on the normalised scale.
  struct ParameterValue
  {
    int index;
    double normalised;
  };

  // Moves the controls bound to a parameter to a value (normalised 0..1 or plain).
  virtual void SyncParameterToControls(int index, double value, bool normalised) = 0;
  // The same for many parameters in turn (a recalled state): each as SyncParameterToControls with a
  // normalised value, in the order given.
  virtual void SyncParametersToControls(const ParameterValue* values, int count)
  {
    for (int i = 0; values && i < count; ++i)
      SyncParameterToControls(values[i].index, values[i].normalised, true);
  }
  // Makes the window-sized drawing surfaces; called when the editor is attached.
  virtual void CreateDrawBitmaps() = 0;
  // Creates the editor window inside the host's window; the new window, or null.
  virtual void* CreateEditorWindow(void* parentWindow) = 0;
  virtual void DestroyEditorWindow() = 0;
  // Called from the host's effEditIdle: pumps the window's events and runs the frame timer.
  virtual void Idle() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};
