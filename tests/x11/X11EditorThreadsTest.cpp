// Hosts open the editors of several plug-in instances, each on a thread of their choosing: the
// window's process-wide state (the X error trap, the count of open editors) is shared by all of
// them. Run under ThreadSanitizer with the x11 suite.
#include "tests/window/WindowTestSupport.h"
#include "tests/x11/DisplayRequirement.h"

#include "platform/window/HostTopWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A window id no client has made: asking for it gives an X error on the editor's connection.
constexpr uintptr_t kNoSuchWindow = 0x7FFFFFF0;

// One instance's editor on its own thread: opened (once into a window that is not there), idled
// and closed again and again. Answers what went wrong, or the empty text.
std::string OpenIdleClose(int rounds)
{
  std::unique_ptr<HostTopWindow> host = HostTopWindow::Create(120, 80, "editor threads");
  if (!host) return "no host window";
  HostlessPlug plug;
  auto* graphics = new IGraphicsWin(&plug, 120, 80);
  plug.AttachEditor(graphics); // the plug owns it from here
  graphics->AddControl(new ProbeControl(&plug, IRectangle(0, 0, 120, 80), -1, 0xFF303030));
  for (int i = 0; i < rounds; ++i)
  {
    if (graphics->CreateEditorWindow(reinterpret_cast<void*>(kNoSuchWindow)))
      return "an editor opened in a window that is not there";
    if (!graphics->CreateEditorWindow(reinterpret_cast<void*>(host->Handle())))
      return "the editor did not open in round " + std::to_string(i);
    for (int k = 0; k < 3; ++k)
    {
      graphics->Idle();
      host->Pump();
    }
    graphics->DestroyEditorWindow();
  }
  return "";
}
} // namespace

TEST(X11EditorThreads, EditorsOpenIdleAndCloseOnFourThreadsAtOnce)
{
  REQUIRE_DISPLAY();
  constexpr int kThreads = 4;
  std::vector<std::string> failures(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(
        [&, t]
        {
          // All start together, so that their traps and counts overlap.
          ready.fetch_add(1);
          while (ready.load() < kThreads)
            std::this_thread::yield();
          failures[size_t(t)] = OpenIdleClose(12);
        });
  for (std::thread& t : threads)
    t.join();
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(failures[size_t(t)], "") << "thread " << t;
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
}
