#include "WindowTestSupport.h"

#include "framework/graphics/IMenu.h"
#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>

namespace
{
// A background that covers the editor and takes no keys, as the real one.
ProbeControl* AddBackground(HeadlessEditor& e)
{
  ProbeControl* bg =
      e.AddProbe(IRectangle(0, 0, HeadlessEditor::kWidth, HeadlessEditor::kHeight), -1, 0xFF202020);
  bg->takesKeys = false;
  return bg;
}
} // namespace

TEST(EditorWindowKeys, KeyMap)
{
  EXPECT_EQ(IGraphicsWin::EditorKeyCode(kWindowKeySpace), 0);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode(kWindowKeyUp), 1);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode(kWindowKeyDown), 2);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode(kWindowKeyLeft), 3);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode(kWindowKeyRight), 4);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode('0'), 5);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode('9'), 14);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode('A'), 15);
  EXPECT_EQ(IGraphicsWin::EditorKeyCode('Z'), 40);
  // Function keys, the keypad and editing keys are not the editor's.
  for (int key :
       {int(kWindowKeyF1), kWindowKeyF1 + 11, int(kWindowKeyNumpad0), kWindowKeyNumpad0 + 5,
        int(kWindowKeyReturn), int(kWindowKeyEscape), int(kWindowKeyTab), int(kWindowKeyOther), int('a')})
    EXPECT_EQ(IGraphicsWin::EditorKeyCode(key), -1) << key;
}

TEST(EditorWindowKeys, KeysGoToTheControlUnderThePointerOrToTheHost)
{
  HeadlessEditor e;
  AddBackground(e);
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), 3);

  e.window->SetPointer(20, 20);
  e.window->InjectKey('B', "b");
  e.window->Pump();
  ASSERT_EQ(knob->log.size(), 1u);
  EXPECT_EQ(knob->log[0], "key 16");
  EXPECT_TRUE(e.window->ForwardedKeys().empty());

  // Not taken by the control: the host gets it.
  knob->takesKeys = false;
  e.window->InjectKey(kWindowKeyUp);
  e.window->Pump();
  EXPECT_EQ(knob->log.back(), "key 1");
  ASSERT_EQ(e.window->ForwardedKeys().size(), 1u);

  // An unmapped key never reaches a control.
  knob->takesKeys = true;
  e.window->InjectKey(kWindowKeyF1 + 4);
  e.window->Pump();
  EXPECT_EQ(knob->log.size(), 2u);
  ASSERT_EQ(e.window->ForwardedKeys().size(), 2u);
  EXPECT_EQ(e.window->ForwardedKeys()[1].key, kWindowKeyF1 + 4);

  // Over the background alone (which takes no keys) the key reaches the host.
  e.window->SetPointer(150, 80);
  e.window->InjectKey(kWindowKeySpace, " ");
  e.window->Pump();
  EXPECT_EQ(e.window->ForwardedKeys().size(), 3u);
}

TEST(EditorWindowDispatch, PressDragReleaseAndCapture)
{
  HeadlessEditor e;
  AddBackground(e);
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), 3);

  e.window->InjectMove(20, 20, kWindowButtonNone); // a move without a button does nothing
  e.window->InjectPress(20, 20, kWindowButtonLeft, 1000);
  e.window->Pump();
  EXPECT_TRUE(e.window->Captured());
  EXPECT_EQ(e.graphics->CapturedControl(), knob);
  e.window->InjectMove(25, 17, kWindowButtonLeft);
  e.window->InjectMove(25, 17, kWindowButtonLeft);  // same point: no drag
  e.window->InjectMove(120, 90, kWindowButtonLeft); // outside the knob: still its drag
  e.window->InjectRelease(120, 90, kWindowButtonLeft);
  e.window->Pump();
  EXPECT_FALSE(e.window->Captured());
  EXPECT_EQ(knob->log, (std::vector<std::string>{"down 20,20 L", "drag 5,-3", "drag 95,73", "up 120,90"}));
  EXPECT_EQ(e.plug.events, (std::vector<std::string>{"begin 3", "end 3"}));
  EXPECT_EQ(e.graphics->CapturedControl(), nullptr);
}

TEST(EditorWindowDispatch, DoubleClicksNeedTheSamePlaceAndAShortInterval)
{
  HeadlessEditor e;
  AddBackground(e);
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), 3);
  auto click = [&](int x, int y, int button, uint32_t t)
  {
    e.window->InjectPress(x, y, button, t);
    e.window->InjectRelease(x, y, button);
    e.window->Pump();
  };
  click(20, 20, kWindowButtonLeft, 1000);
  click(22, 21, kWindowButtonLeft, 1300);
  EXPECT_EQ(knob->log[2], "dblclick");
  click(22, 21, kWindowButtonLeft, 1400); // a third press starts over
  EXPECT_EQ(knob->log[4], "down 22,21 L");
  click(22, 21, kWindowButtonLeft, 2000); // too late
  EXPECT_EQ(knob->log[6], "down 22,21 L");
  click(30, 21, kWindowButtonLeft, 2100); // too far
  EXPECT_EQ(knob->log[8], "down 30,21 L");

  // A control that takes double clicks as presses gets a press and captures the mouse.
  knob->SetDblClickAsPress(true);
  knob->log.clear();
  e.window->InjectPress(20, 20, kWindowButtonLeft, 5000);
  e.window->InjectRelease(20, 20, kWindowButtonLeft);
  e.window->InjectPress(20, 20, kWindowButtonLeft, 5100);
  e.window->Pump();
  EXPECT_EQ(knob->log.back(), "down 20,20 L");
  EXPECT_TRUE(e.window->Captured());
}

TEST(EditorWindowDispatch, WheelNotchesTruncateTowardZero)
{
  HeadlessEditor e;
  AddBackground(e);
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), 3);
  for (int distance : {-240, 120, 360, 60, -119})
    e.window->InjectWheel(20, 20, distance);
  e.window->Pump();
  EXPECT_EQ(knob->log, (std::vector<std::string>{"wheel -2", "wheel 1", "wheel 3", "wheel 0", "wheel 0"}));
}

TEST(EditorWindowRepaint, TimerExposeAndPresentedPixels)
{
  HeadlessEditor e(false);
  AddBackground(e);
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 40, 40), -1, 0xFF0000FF);
  e.Open();
  EXPECT_EQ(e.window->TimerPeriod(), 40); // 25 frames per second
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 1);
  // The first expose paints the whole window; the screen shows the draw bitmap.
  EXPECT_EQ(e.window->PixelAt(20, 20), 0xFF0000FFu);
  EXPECT_EQ(e.window->PixelAt(100, 50), 0xFF202020u);

  // A redraw request is painted on the next frame, limited to the control.
  e.Frame(); // the requests left from opening
  const int presents = e.window->PresentCount();
  e.Frame();
  EXPECT_EQ(e.window->PresentCount(), presents); // nothing dirty, nothing presented
  knob->colour = 0xFFFF0000;
  knob->RequestRedraw(false);
  e.Frame();
  EXPECT_EQ(e.window->PresentCount(), presents + 1);
  EXPECT_EQ(e.window->LastPresentX(), 10);
  EXPECT_EQ(e.window->LastPresentWidth(), 30);
  EXPECT_EQ(e.window->PixelAt(20, 20), 0xFFFF0000u);

  // An expose of another area repaints it together with what is dirty.
  knob->colour = 0xFF00FFFF;
  knob->RequestRedraw(false);
  e.window->InjectExpose(150, 60, 10, 10);
  e.window->Pump();
  EXPECT_EQ(e.window->LastPresentX(), 10);
  EXPECT_EQ(e.window->LastPresentY(), 10);
  EXPECT_EQ(e.window->LastPresentWidth(), 150);
  EXPECT_EQ(e.window->LastPresentHeight(), 60);
  EXPECT_EQ(e.window->PixelAt(20, 20), 0xFF00FFFFu);

  e.graphics->DestroyEditorWindow();
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
  EXPECT_FALSE(e.graphics->HasWindow());
}

TEST(EditorWindowLife, ReopeningAndAWindowDestroyedByTheHost)
{
  HeadlessEditor e;
  EXPECT_TRUE(e.graphics->HasWindow());
  EXPECT_EQ(e.window->Parent(), HeadlessEditor::kParent);
  void* first = e.graphics->WindowHandle();
  // Opening again replaces the window.
  void* second = e.graphics->CreateEditorWindow(reinterpret_cast<void*>(HeadlessEditor::kParent));
  EXPECT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 1);
  // The host destroys its window (and ours with it) without telling us first.
  WindowEvent gone;
  gone.kind = kWindowEventClose;
  e.window->Inject(gone);
  e.window->Pump();
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
  e.graphics->DestroyEditorWindow(); // the host's effEditClose after that changes nothing
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
  // No parent window: no editor window.
  EXPECT_EQ(e.graphics->CreateEditorWindow(nullptr), nullptr);
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
}

TEST(EditorWindowResize, OwnWindowOnlyAndTheHostIsAsked)
{
  TestPlug plug;
  auto* g = new IGraphicsWin(&plug, 200, 100);
  auto w = std::make_unique<HeadlessWindow>();
  HeadlessWindow* window = w.get();
  g->SetPlatformWindow(std::move(w));
  plug.AttachEditor(g);
  g->Resize(200, 100); // unchanged: nothing at all
  ASSERT_NE(g->CreateEditorWindow(reinterpret_cast<void*>(uintptr_t(0x77))), nullptr);
  plug.calls.clear();
  g->Resize(300, 150);
  EXPECT_EQ(window->Width(), 300);
  EXPECT_EQ(window->Height(), 150);
  EXPECT_EQ(plug.EditorRect().right, 300);
  EXPECT_EQ(plug.EditorRect().bottom, 150);
  bool asked = false;
  for (const TestPlug::HostCall& call : plug.calls)
    if (call.opcode == audioMasterSizeWindow && call.index == 300 && call.value == 150) asked = true;
  EXPECT_TRUE(asked);
  // The caller rebuilds the controls; the whole new window is painted with the next frame.
  g->AddControl(new ProbeControl(&plug, IRectangle(0, 0, 300, 150)));
  window->AdvanceTime(40);
  window->Pump();
  EXPECT_EQ(window->LastPresentWidth(), 300);
  EXPECT_EQ(window->LastPresentHeight(), 150);
}

TEST(EditorWindowCursor, HiddenWhileDraggingAndPutBack)
{
  HeadlessEditor e;
  e.window->SetPointer(30, 40);
  e.graphics->HideMouseCursor();
  EXPECT_FALSE(e.window->CursorVisible());
  e.window->WarpPointer(90, 90); // the drag moved it
  e.graphics->HideMouseCursor(); // a second hide does not forget the first position
  e.graphics->RestoreCursor();
  EXPECT_TRUE(e.window->CursorVisible());
  int x = 0, y = 0;
  ASSERT_TRUE(e.window->PointerPosition(x, y));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
}

namespace
{
std::vector<std::string> gWindowLog;
void CaptureWindowLog(const char* line)
{
  gWindowLog.push_back(line);
}
} // namespace

// A plug-in builds its editor graphics whenever it is made; a missing skin image is said only
// when a window opens, and once.
TEST(EditorWindowLife, MissingSkinImagesAreSaidWhenAWindowOpens)
{
  gWindowLog.clear();
  IGraphics::SetLogSink(CaptureWindowLog);
  HeadlessEditor e(false);
  e.graphics->LoadScaledBitmap(9781, "missing-for-window.png", 1.0, 1);
  EXPECT_TRUE(gWindowLog.empty());
  e.Open();
  e.graphics->DestroyEditorWindow();
  e.Open();
  IGraphics::SetLogSink(nullptr);
  ASSERT_EQ(gWindowLog.size(), 1u);
  EXPECT_NE(gWindowLog[0].find("skin image 9781 \"missing-for-window.png\""), std::string::npos)
      << gWindowLog[0];
}
