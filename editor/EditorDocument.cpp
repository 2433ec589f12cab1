#include "editor/EditorDocument.h"

#include "config/ConfigReader.h"
#include "config/MidiMapRecord.h"
#include "editor/PageSelection.h"
#include "editor/PatchManager.h"
#include "editor/ProgressOverlay.h"
#include "editor/StatusLines.h"
#include "editor/UISettings.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectVST.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/BankEditPopupMenu.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchPanePopupMenu.h"
#include "librarian/ProgramNumberPopupMenu.h"

#include <array>
#include <span>
#include <tuple>

namespace
{
void CollectInGroup(LayerGroup* group, int paramIdx, std::vector<IControl*>& out)
{
  if (!group) return;
  for (int i = 0; i < group->NumControls(); ++i)
    if (IControl* c = group->GetControl(i); c && c->ParamIdx() == paramIdx) out.push_back(c);
  for (int i = 0; i < group->NumChildren(); ++i)
    CollectInGroup(group->GetChild(i), paramIdx, out);
}

// Every control bound to the parameter.
void CollectControls(IGraphics* graphics, int paramIdx, std::vector<IControl*>& out)
{
  if (!graphics) return;
  for (int i = 0; i < graphics->NumControls(); ++i)
    if (IControl* c = graphics->GetControl(i); c && c->ParamIdx() == paramIdx) out.push_back(c);
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
    CollectInGroup(graphics->GetLayerGroup(i), paramIdx, out);
}

// Every control bound to each of the parameters, in one walk: found[k] gets the controls of
// params[k] in the order CollectControls finds them.
void CollectControlsOf(IGraphics* graphics, std::span<const int> params,
                       std::span<std::vector<IControl*>> found)
{
  auto take = [&](IControl* c)
  {
    if (!c) return;
    for (size_t k = 0; k < params.size(); ++k)
      if (c->ParamIdx() == params[k]) found[k].push_back(c);
  };
  auto walk = [&](auto&& self, LayerGroup* group) -> void
  {
    if (!group) return;
    for (int i = 0; i < group->NumControls(); ++i)
      take(group->GetControl(i));
    for (int i = 0; i < group->NumChildren(); ++i)
      self(self, group->GetChild(i));
  };
  if (!graphics) return;
  for (int i = 0; i < graphics->NumControls(); ++i)
    take(graphics->GetControl(i));
  for (int i = 0; i < graphics->NumLayerGroups(); ++i)
    walk(walk, graphics->GetLayerGroup(i));
}

// The first text control of the parameter: the displays carry no parameter of their own (their
// text is written, never a value), so their factory lists them in the parameter's record; then
// the editor's own list and the groups (bound, the controls the walk found for it).
ITextControl* FindTextControl(IParameter* param, const std::vector<IControl*>& bound)
{
  if (MidiMapRecord* record = param ? param->MidiMap() : nullptr)
    for (IControl* c : record->boundControls)
      if (auto* t = dynamic_cast<ITextControl*>(c)) return t;
  for (IControl* c : bound)
    if (auto* t = dynamic_cast<ITextControl*>(c)) return t;
  return nullptr;
}

// The group that holds the control, searched from the group down.
LayerGroup* GroupHolding(LayerGroup* group, const IControl* control)
{
  if (!group) return nullptr;
  for (int i = 0; i < group->NumControls(); ++i)
    if (group->GetControl(i) == control) return group;
  for (int i = 0; i < group->NumChildren(); ++i)
    if (LayerGroup* g = GroupHolding(group->GetChild(i), control)) return g;
  return nullptr;
}
} // namespace

EditorDocument::EditorDocument(Log log) : mLog(std::move(log)) {}

EditorDocument::~EditorDocument()
{
  Release();
}

void EditorDocument::Build(const Parts& parts)
{
  mPlug = &parts.plug;
  // The editor, 1500 by 757 pixels at the UI scale; the plug-in base owns it from AttachEditor on.
  const double scale = parts.settings.Scale();
  // Owned here until it is attached, so that a failure on the way does not leak it.
  std::unique_ptr<IGraphicsWin> owned(
      CreateEditorGraphics(&parts.plug, int(kEditorWidth * scale), int(kEditorHeight * scale)));
  IGraphicsWin* editor = owned.get();

  // The configuration builds every layer and control from the definition documents.
  mConfig = std::make_unique<ConfigReader>();
  if (parts.logReader) mConfig->SetLogSink(mLog);
  if (!mConfig->Read(editor, &parts.plug, parts.librarian, parts.settings.colourScheme, scale))
    mLog("The user interface document could not be read: the editor opens empty!");
  mLog("Configuration read");

  for (const char* name : kNamedLayers)
  {
    LayerGroup* group = mConfig->GetLayer(name);
    if (group)
      mNamedLayers[name] = group;
    else
      mLog(std::string("Layer ") + name + " is not in the user interface document");
  }
  mLibrarianView = dynamic_cast<LibrarianViewControl*>(mConfig->GetLibrarianView());

  editor->AttachBackgroundFrame(scale);
  parts.plug.AttachEditor(owned.release());

  // The progress group goes last, so that it draws over every page and is hit first.
  parts.overlay.AddTo(*editor, *mConfig);

  LookUpNamedControls(parts);
  AddLibrarianMenus(parts);

  // Groups are created hidden: show the top-level ones with their first pages, all but the
  // progress group, which the overlay shows while a transfer runs.
  // The popups a parameter opens start closed, as does the patch-conflict window.
  PageSelection::ShowFirstPages(editor,
                                {"additionalSettings", "midiFilterWindow", "bankPatchConflictWindow"});
  if (LayerGroup* progress = parts.overlay.Layer()) progress->Hide(true);

  // The UI settings as parameters, then every value that is not zero to its controls.
  if (IParameter* p = parts.plug.ParameterAt(kUserInterfaceSize)) p->SetClamped(parts.settings.size);
  if (IParameter* p = parts.plug.ParameterAt(kUserInterfaceStyle)) p->SetClamped(parts.settings.colourScheme);
  std::vector<IEditorHook::ParameterValue> values;
  for (int i = 0; i < parts.plug.NumParameters(); ++i)
    if (IParameter* p = parts.plug.ParameterAt(i); p && p->Value() != 0.0)
    {
      p->SetConstrained(p->Value());
      values.push_back({i, p->NormalisedValue()});
    }
  editor->SyncParametersToControls(values.data(), int(values.size()));
  mLog("Editor built");
}

void EditorDocument::LookUpNamedControls(const Parts& parts)
{
  IGraphics* graphics = dynamic_cast<IGraphics*>(parts.plug.Editor());
  // The name list (the multi name and the eight part names redraw when a name is set), then the
  // status lines' text controls: their parameters' controls found in one walk.
  constexpr size_t kNames = std::tuple_size_v<decltype(mNameControls)>;
  const std::pair<StatusLines::Line, int> lines[] = {{StatusLines::kStatus, kControlDisplayName},
                                                     {StatusLines::kMidi, kControlDisplayCC},
                                                     {StatusLines::kValue, kControlDisplayValue},
                                                     {StatusLines::kInfo, kControlDisplayCategory},
                                                     {StatusLines::kProgress, kControlDisplayPatch}};
  constexpr size_t kLines = std::size(lines);
  std::array<int, kNames + kLines> params{};
  for (size_t n = 0; n < kNames; ++n)
    params[n] = n == PatchManager::kMultiName ? int(kMultiName) : kPatchName + int(n) - 1;
  for (size_t k = 0; k < kLines; ++k)
    params[kNames + k] = lines[k].second;
  std::array<std::vector<IControl*>, kNames + kLines> found;
  CollectControlsOf(graphics, params, found);
  for (size_t n = 0; n < kNames; ++n)
    mNameControls[n] = std::move(found[n]);
  parts.names.SetListener(
      [this](int n)
      {
        if (n >= 0 && n < int(mNameControls.size()))
          for (IControl* c : mNameControls[size_t(n)])
            c->RequestRedraw(false);
      });
  for (size_t k = 0; k < kLines; ++k)
    parts.lines.Attach(lines[k].first,
                       FindTextControl(parts.plug.ParameterAt(lines[k].second), found[kNames + k]));
}

void EditorDocument::AddLibrarianMenus(const Parts& parts)
{
  IGraphics* graphics = dynamic_cast<IGraphics*>(parts.plug.Editor());
  if (!graphics || !mLibrarianView) return;
  LayerGroup* page = nullptr;
  for (int i = 0; i < graphics->NumLayerGroups() && !page; ++i)
    page = GroupHolding(graphics->GetLayerGroup(i), mLibrarianView);
  // A row of buttons just above the view, each over a column of slots (the left pane's four, the right
  // pane's first), shown and hidden with the page that holds it.
  const double scale = parts.settings.Scale();
  const IRectangle& view = mLibrarianView->Rect();
  const int h = int(kLibrarianMenuHeight * scale), inset = int(4 * scale);
  const int top = view.T - h - int(4 * scale);
  auto at = [&](int side, int column)
  {
    const IRectangle cell = mLibrarianView->CellRect(side, column * LibrarianViewControl::kRows);
    return IRectangle(cell.L + inset, top, cell.R - inset, top + h);
  };
  IEffectVST* plug = &parts.plug;
  IControl* menus[] = {
      new LeftPatchPopupMenu(plug, at(0, 0), IBitmapStrip(), "Hardware", parts.librarian, mLibrarianView),
      new BankEditPopupMenu(plug, at(0, 1), IBitmapStrip(), "Edit Slot", mLibrarianView),
      new ProgramNumberPopupMenu(plug, at(0, 2), IBitmapStrip(), "Program"),
      new BankNumberPopupMenu(plug, at(0, 3), IBitmapStrip(), "Bank"),
      new RightPatchPopupMenu(plug, at(1, 0), IBitmapStrip(), "Right Bank", parts.librarian, mLibrarianView)};
  for (IControl* menu : menus)
  {
    ITextStyle& style = menu->TextStyle();
    style = ITextStyle(ConfigReader::kTextFace, int(12 * scale), IColour(255, 230, 230, 230));
    if (page)
      page->AddControl(menu);
    else
      graphics->AddControl(menu);
  }
}

LayerGroup* EditorDocument::FoundLayer(const std::string& name) const
{
  const auto it = mNamedLayers.find(name);
  return it != mNamedLayers.end() ? it->second : nullptr;
}

LayerGroup* EditorDocument::NamedLayer(const std::string& name) const
{
  if (LayerGroup* found = FoundLayer(name)) return found;
  LayerGroup* group = mConfig ? mConfig->GetLayer(name) : nullptr;
  if (!group) mLog("Layer " + name + " is not in the user interface document");
  return group;
}

IControl* EditorDocument::FirstControlOf(int paramIdx) const
{
  std::vector<IControl*> controls;
  CollectControls(mPlug ? dynamic_cast<IGraphics*>(mPlug->Editor()) : nullptr, paramIdx, controls);
  return controls.empty() ? nullptr : controls.front();
}

void EditorDocument::Release()
{
  if (!mConfig) return;
  if (IGraphics* graphics = mPlug ? dynamic_cast<IGraphics*>(mPlug->Editor()) : nullptr)
    mConfig->ReleaseImages(graphics);
  mConfig.reset();
}
