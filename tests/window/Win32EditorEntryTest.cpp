// The editor's value prompt on the Win32 back end: the system's own entry over the control, committed by
// Return on the next frame, dropped by a press elsewhere.

#include "WindowTestSupport.h"

#include "platform/window/HostTopWindow.h"
#include "platform/window/Win32Window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace
{
bool PumpEditorUntil(const std::function<bool()>& done)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done())
  {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}
} // namespace

TEST(Win32EditorEntry, TheValuePromptIsTheSystemsEntry)
{
  auto host = HostTopWindow::Create(200, 100, "win32 editor entry test");
  ASSERT_TRUE(host);
  HostlessPlug plug;
  auto* graphics = new IGraphicsWin(&plug, 200, 100);
  graphics->SetPlatformWindow(std::make_unique<Win32Window>());
  plug.AttachEditor(graphics); // the plug-in owns the editor
  auto* background = new ProbeControl(&plug, IRectangle(0, 0, 200, 100), -1, 0xFF202020);
  graphics->AddControl(background);
  IParameter* p = plug.ParameterAt(9);
  p->SetupContinuous("Cutoff", 2.0, 0.0, 10.0, 0.1, "");
  auto* knob = new ProbeControl(&plug, IRectangle(60, 20, 120, 60), 9);
  graphics->AddControl(knob);
  knob->SetValue(0.2);
  ASSERT_TRUE(graphics->CreateEditorWindow(reinterpret_cast<void*>(host->Handle())));
  HWND window = static_cast<HWND>(graphics->WindowHandle());

  graphics->PromptForValue(knob, p, &knob->Rect());
  ASSERT_TRUE(graphics->NativeEntryOpen());
  HWND edit = GetDlgItem(window, 99);
  ASSERT_TRUE(edit);
  EXPECT_EQ(GetFocus(), edit);
  wchar_t text[32] = {};
  GetWindowTextW(edit, text, 32);
  EXPECT_STREQ(text, L"2.0");
  for (wchar_t c : std::wstring(L"7.5x")) // a continuous value: the letter is refused
    SendMessageW(edit, WM_CHAR, c, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(graphics->EntryStateValue(), IGraphicsWin::kEntryCommit);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.2); // on the next frame
  ASSERT_TRUE(PumpEditorUntil([&] { return !graphics->EntryOpen(); }));
  EXPECT_NEAR(knob->Value(), 0.75, 1e-9);
  EXPECT_EQ(GetDlgItem(window, 99), nullptr);
  EXPECT_EQ(GetFocus(), window);

  // A press elsewhere in the editor drops it without committing.
  graphics->PromptForValue(knob, p, &knob->Rect());
  ASSERT_TRUE(graphics->NativeEntryOpen());
  SendMessageW(GetDlgItem(window, 99), WM_CHAR, '9', 0);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(PumpEditorUntil([&] { return !graphics->EntryOpen(); }));
  EXPECT_NEAR(knob->Value(), 0.75, 1e-9);
  EXPECT_EQ(GetDlgItem(window, 99), nullptr);

  // The host closes the editor with an entry open.
  graphics->PromptForValue(knob, p, &knob->Rect());
  ASSERT_TRUE(graphics->NativeEntryOpen());
  graphics->DestroyEditorWindow();
  EXPECT_FALSE(graphics->EntryOpen());
  EXPECT_FALSE(IsWindow(window));
}
