#include "editor/VELK.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/graphics/LayerGroup.h"
#include "librarian/BankEditPopupMenu.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchPanePopupMenu.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "platform/window/HeadlessWindow.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/editor/EditorTestSupport.h"

TEST(LibrarianMenusInEditor, ButtonsAboveTheViewInItsPageReachTheMainClass)
{
  TempDataFolder folder;
  ScopedDocument document(
      ConfigReader::kUiDocumentId,
      R"(<?xml version="1.0"?><uiconfig><layer name="libraryPage" id="11">)"
      R"(<patchBrowser imageId="MANAGER_BG_ID2" bounds="208,200,1284,540"/></layer></uiconfig>)");
  VELK plug(nullptr);
  auto* view = dynamic_cast<LibrarianViewControl*>(plug.LibrarianView());
  ASSERT_NE(view, nullptr);
  LayerGroup* page = plug.Config()->GetLayer("libraryPage");
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->IsVisible()); // the first page at start-up
  // The view, then the five buttons, all in the page, above the view and inside the editor.
  ASSERT_EQ(page->NumControls(), 6);
  EXPECT_EQ(page->GetControl(0), view);
  LeftPatchPopupMenu* left = nullptr;
  for (int i = 1; i < 6; ++i)
  {
    IControl* c = page->GetControl(i);
    EXPECT_LE(c->Rect().B, view->Rect().T);
    EXPECT_GE(c->Rect().T, 0);
    EXPECT_FALSE(c->IsHidden());
    if (auto* l = dynamic_cast<LeftPatchPopupMenu*>(c)) left = l;
  }
  ASSERT_NE(left, nullptr);
  EXPECT_NE(dynamic_cast<BankEditPopupMenu*>(page->GetControl(2)), nullptr);
  EXPECT_NE(dynamic_cast<RightPatchPopupMenu*>(page->GetControl(5)), nullptr);

  // Chosen through the window's menu: "Send Selected Slot" of an empty slot says so.
  auto* editor = dynamic_cast<IGraphicsWin*>(plug.Editor());
  ASSERT_NE(editor, nullptr);
  auto window = std::make_unique<HeadlessWindow>();
  HeadlessWindow* w = window.get();
  editor->SetPlatformWindow(std::move(window));
  editor->CreateEditorWindow(reinterpret_cast<void*>(uintptr_t(0x7000)));
  w->Pump();
  w->QueueMenuAnswer(3); // programs: receive, store, separator, send
  const IRectangle r = left->Rect();
  w->InjectPress(r.L + 2, r.T + 2, kWindowButtonLeft, 100);
  w->InjectRelease(r.L + 2, r.T + 2, kWindowButtonLeft);
  w->Pump();
  EXPECT_EQ(w->MenusShown(), 1);
  EXPECT_EQ(plug.StatusText(), "Slot 1 is empty");
  editor->DestroyEditorWindow();
}
