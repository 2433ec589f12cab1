#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ConfigReader;
class IControl;
class IEffectVST;
class LayerGroup;
class LibrarianViewControl;
class PatchLibrarian;
class PatchManager;
class ProgressOverlay;
class StatusLines;
struct UISettings;

// The editor as the user interface document builds it, and what the plug-in finds in it by name
// afterwards: the reader (with every layer and control it made), the named layer groups, the
// librarian view and the controls of the project's names.
class EditorDocument
{
public:
  using Log = std::function<void(const std::string& line)>;

  // Editor size at normal scale.
  static constexpr int kEditorWidth = 1500;
  static constexpr int kEditorHeight = 757;
  // The layer groups the link and the librarian look up by name.
  static constexpr const char* kNamedLayers[] = {"miniMixer",
                                                 "miniMixer2",
                                                 "bankPatchConflictWindow",
                                                 "searchField",
                                                 "categoryLimit",
                                                 "discardChangesLayerRight",
                                                 "saveChangesLayer",
                                                 "keepBankOpenLayer",
                                                 "UPPERPOPUPMENU",
                                                 "LeftPerformancePopupMenu",
                                                 "LeftPatternPopupMenu"};
  // The librarian's menu buttons above its view, at normal size.
  static constexpr int kLibrarianMenuHeight = 20;

  // What the build reads and fills in besides the editor.
  struct Parts
  {
    IEffectVST& plug;
    const UISettings& settings;
    PatchLibrarian* librarian;
    PatchManager& names; // its listener redraws the name controls
    ProgressOverlay& overlay;
    StatusLines& lines; // given their controls
    bool logReader;     // the reader logs to log too
  };

  explicit EditorDocument(Log log);
  ~EditorDocument();

  // Builds the editor at the UI scale and attaches it to the plug-in, in order: the reader with its
  // layers and controls, the background, the progress group last (drawn over everything, hit
  // first), the status lines' and names' controls, the librarian's menus. Then shows the top-level
  // groups on their first pages (the popups and overlays and the progress group stay hidden) and
  // pushes every value that is not zero to its controls.
  void Build(const Parts& parts);

  ConfigReader* Config() const { return mConfig.get(); }
  LibrarianViewControl* LibrarianView() const { return mLibrarianView; }
  // A layer group by name; null (and a log line) for one the document does not have.
  LayerGroup* NamedLayer(const std::string& name) const;
  // One of kNamedLayers that the document has; null, quietly, otherwise.
  LayerGroup* FoundLayer(const std::string& name) const;
  // The first control bound to the parameter, anywhere in the editor.
  IControl* FirstControlOf(int paramIdx) const;
  // The reader's release pass drops this editor's cached bitmaps; the reader (which detaches its
  // MIDI map records from the parameters) must go before the editor and the parameters.
  void Release();

private:
  void LookUpNamedControls(const Parts& parts);
  // The librarian's menu buttons, in the page that holds its view (none without a view).
  void AddLibrarianMenus(const Parts& parts);

  Log mLog;
  IEffectVST* mPlug = nullptr;
  std::unique_ptr<ConfigReader> mConfig;
  LibrarianViewControl* mLibrarianView = nullptr;
  std::map<std::string, LayerGroup*> mNamedLayers;
  // The name-list controls of the multi name and the eight part names (PatchManager slots 0..8).
  std::array<std::vector<IControl*>, 9> mNameControls;
};
