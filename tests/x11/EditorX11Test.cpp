// The editor on a real X server.
#include "tests/window/WindowTestSupport.h"
#include "tests/x11/DisplayRequirement.h"

#include "platform/window/HostTopWindow.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{
// A knob that a left press turns to three quarters.
class TurnOnPress : public ProbeControl
{
public:
  using ProbeControl::ProbeControl;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    ProbeControl::OnMouseDown(x, y, mod);
    if (mod.L) SetValueAndPushToPlug(0.75);
  }
};

template <class Condition> bool PumpUntil(IGraphicsWin* g, Condition done, int milliseconds = 3000)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end)
  {
    g->Idle();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void PumpFor(IGraphicsWin* g, int milliseconds)
{
  PumpUntil(
      g, [] { return false; }, milliseconds);
}

// Picks the open value menu's second entry by keys, typed once the menu holds the keyboard (a fixed
// wait loses them on a loaded machine); answers whether it ever did. A menu still open after that
// lost the keys: Escape closes it, so the test fails instead of waiting on the menu for ever.
bool ChooseSecondEntry(SyntheticInput& keys)
{
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool grabbed = false;
  while (!(grabbed = keys.KeyboardGrabbedElsewhere()) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  keys.Key("Down");
  keys.Key("Down");
  keys.Key("Return");
  const auto closeBy = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  end = closeBy + std::chrono::seconds(20);
  while (keys.KeyboardGrabbedElsewhere() && std::chrono::steady_clock::now() < end)
  {
    if (std::chrono::steady_clock::now() > closeBy) keys.Key("Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return grabbed;
}

// A plug-in whose editor runs on the X11 back end inside a host window of the test's own.
struct X11Editor
{
  X11Editor()
  {
    host = HostTopWindow::Create(200, 100, "editor test");
    graphics = new IGraphicsWin(&plug, 200, 100);
    plug.AttachEditor(graphics);
    background = new ProbeControl(&plug, IRectangle(0, 0, 200, 100), -1, 0xFF303030);
    background->takesKeys = false;
    graphics->AddControl(background);
    plug.ParameterAt(3)->SetupContinuous("Cutoff", 0.0, 0.0, 1.0, 0.01, "");
    knob = new TurnOnPress(&plug, IRectangle(10, 10, 50, 50), 3, 0xFF20C040);
    graphics->AddControl(knob);
    IParameter* wave = plug.ParameterAt(7);
    wave->SetupEnumerated("Wave", 0, 3, "");
    wave->AddValueText(0, "Saw");
    wave->AddValueText(1, "Square");
    wave->AddValueText(2, "Sine");
    selector = new ProbeControl(&plug, IRectangle(100, 10, 180, 30), 7, 0xFF2040C0);
    selector->SetNoPrompt(false);
    graphics->AddControl(selector);
  }

  // Opens the editor in the host window, lets it draw, and gives its origin on the screen.
  bool Open(SyntheticInput& input, int& ox, int& oy)
  {
    if (!graphics->CreateEditorWindow(reinterpret_cast<void*>(host->Handle()))) return false;
    PumpFor(graphics, 200);
    return input.WindowOrigin(host->Handle(), ox, oy);
  }

  // Waits (bounded) until no other client holds the pointer or the keyboard: a grab left by the
  // previous test's client would take the next click or key.
  void WaitUntilNothingGrabbed(SyntheticInput& input)
  {
    PumpUntil(
        graphics, [&] { return !input.KeyboardGrabbedElsewhere() && !input.PointerGrabbedElsewhere(); },
        2000);
  }

  HostlessPlug plug;
  std::unique_ptr<HostTopWindow> host;
  IGraphicsWin* graphics = nullptr;
  ProbeControl* background = nullptr;
  ProbeControl* knob = nullptr;
  ProbeControl* selector = nullptr;
};
} // namespace

TEST(EditorX11, ClickMenuAndScreenshot)
{
  REQUIRE_DISPLAY();
  X11Editor e;
  ASSERT_TRUE(e.host);
  std::unique_ptr<SyntheticInput> input = SyntheticInput::Create();
  ASSERT_TRUE(input) << "XTest is missing";

  ASSERT_NE(e.graphics->CreateEditorWindow(reinterpret_cast<void*>(e.host->Handle())), nullptr);
  EXPECT_EQ(e.host->ChildCount(), 1);
  PumpFor(e.graphics, 300);

  // What the screen shows is the frame the editor drew.
  std::vector<uint32_t> shot;
  int w = 0, h = 0;
  ASSERT_TRUE(e.host->Capture(shot, w, h));
  ASSERT_EQ(w, 200);
  ASSERT_EQ(h, 100);
  Gfx_SysBitmap* frame = e.graphics->DrawBitmapSurface();
  int differing = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((shot[size_t(y * w + x)] & 0xFFFFFF) != (frame->Row(y)[x] & 0xFFFFFF)) ++differing;
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(shot[size_t(20 * w + 20)] & 0xFFFFFF, 0x20C040u);

  // A synthetic click turns the knob, and the parameter follows.
  int ox = 0, oy = 0;
  ASSERT_TRUE(input->WindowOrigin(e.host->Handle(), ox, oy));
  // A grab left by the previous test's client (slow to go under a sanitizer) would take the click.
  PumpUntil(
      e.graphics, [&] { return !input->PointerGrabbedElsewhere(); }, 2000);
  input->MoveTo(ox + 20, oy + 20);
  input->Button(1, true);
  input->Button(1, false);
  EXPECT_TRUE(PumpUntil(e.graphics, [&] { return e.plug.ParameterAt(3)->Value() > 0.7; }))
      << e.plug.ParameterAt(3)->Value();
  EXPECT_EQ(e.plug.events, (std::vector<std::string>{"begin 3", "end 3"}));

  // A right click opens the value menu; the keys pick its second entry. Only the menu may hold
  // the keyboard once it is open, so whatever holds it now has to let go first.
  e.WaitUntilNothingGrabbed(*input);
  std::thread chooser(
      []
      {
        std::unique_ptr<SyntheticInput> keys = SyntheticInput::Create();
        ChooseSecondEntry(*keys);
      });
  input->MoveTo(ox + 120, oy + 20);
  input->Button(3, true);
  input->Button(3, false);
  const bool chosen = PumpUntil(e.graphics, [&] { return e.plug.ParameterAt(7)->Value() == 1.0; });
  chooser.join();
  EXPECT_TRUE(chosen) << e.plug.ParameterAt(7)->Value();
  EXPECT_DOUBLE_EQ(e.selector->Value(), 0.5);

  // The repaint after the menu shows the editor again, menu gone.
  PumpFor(e.graphics, 200);
  ASSERT_TRUE(e.host->Capture(shot, w, h));
  EXPECT_EQ(shot[size_t(60 * w + 120)] & 0xFFFFFF, 0x303030u);

  e.graphics->DestroyEditorWindow();
  EXPECT_EQ(e.host->ChildCount(), 0);
}

// A menu opened while another program holds the keyboard takes it once that program lets go: it
// could otherwise never see a key, nor be closed by one.
TEST(EditorX11, MenuOpenedUnderAnotherGrabGetsTheKeyboardLater)
{
  REQUIRE_DISPLAY();
  X11Editor e;
  std::unique_ptr<SyntheticInput> input = SyntheticInput::Create();
  ASSERT_TRUE(e.host && input);
  int ox = 0, oy = 0;
  ASSERT_TRUE(e.Open(*input, ox, oy));
  e.WaitUntilNothingGrabbed(*input);

  std::atomic<int> stage{0}; // 1: the other program holds the keyboard; 2: it let go
  std::atomic<bool> menuTookKeyboard{false};
  std::thread other(
      [&]
      {
        std::unique_ptr<SyntheticInput> holder = SyntheticInput::Create();
        if (!holder->HoldKeyboard(true))
        {
          stage = -1;
          return;
        }
        stage = 1;
        // Long past the menu's first attempts to grab.
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        holder->HoldKeyboard(false);
        stage = 2;
        menuTookKeyboard = ChooseSecondEntry(*holder);
      });
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (stage == 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (stage != 1)
  {
    other.join();
    FAIL() << "could not hold the keyboard";
  }
  input->MoveTo(ox + 120, oy + 20);
  input->Button(3, true);
  input->Button(3, false);
  const bool chosen = PumpUntil(
      e.graphics, [&] { return e.plug.ParameterAt(7)->Value() == 1.0; }, 15000);
  other.join();
  EXPECT_TRUE(menuTookKeyboard) << "the menu never took the keyboard after it was free";
  EXPECT_TRUE(chosen) << e.plug.ParameterAt(7)->Value();
  e.graphics->DestroyEditorWindow();
}

TEST(EditorX11, TextEntryTypedAndCommitted)
{
  REQUIRE_DISPLAY();
  X11Editor e;
  std::unique_ptr<SyntheticInput> input = SyntheticInput::Create();
  ASSERT_TRUE(e.host && input);
  int ox = 0, oy = 0;
  ASSERT_TRUE(e.Open(*input, ox, oy));
  input->MoveTo(ox + 30, oy + 30);
  e.graphics->PromptForValue(e.knob, e.plug.ParameterAt(3), &e.knob->Rect());
  ASSERT_TRUE(e.graphics->EntryOpen());
  PumpFor(e.graphics, 100);
  for (const char* key : {"0", "period", "2", "5", "Return"})
    input->Key(key);
  EXPECT_TRUE(PumpUntil(e.graphics, [&] { return !e.graphics->EntryOpen(); }));
  EXPECT_NEAR(e.knob->Value(), 0.25, 1e-9);
  e.graphics->DestroyEditorWindow();
}

bool Logged(const ProbeControl* c, const std::string& prefix)
{
  for (const std::string& line : c->log)
    if (line.rfind(prefix, 0) == 0) return true;
  return false;
}

// The editor's ungrab travels on its own connection: another client may see the grab a moment
// longer. A grab that was never given back stays for good.
bool PointerFreed(IGraphicsWin* g, SyntheticInput& input)
{
  return PumpUntil(
      g, [&] { return !input.PointerGrabbedElsewhere(); }, 2000);
}

// Real button events through the X11 back end: every press's capture is given back with its
// release, and a right press that opens the value entry ends (capture, host edit) with the entry.
TEST(EditorX11, EveryPressGivesThePointerBack)
{
  REQUIRE_DISPLAY();
  X11Editor e;
  std::unique_ptr<SyntheticInput> input = SyntheticInput::Create();
  ASSERT_TRUE(e.host && input);
  e.knob->SetNoPrompt(false);
  int ox = 0, oy = 0;
  ASSERT_TRUE(e.Open(*input, ox, oy));
  ASSERT_FALSE(input->PointerGrabbedElsewhere());

  // Middle click.
  input->MoveTo(ox + 20, oy + 20);
  input->Button(2, true);
  EXPECT_TRUE(PumpUntil(e.graphics, [&] { return Logged(e.knob, "down"); }));
  input->Button(2, false);
  EXPECT_TRUE(PumpUntil(e.graphics, [&] { return Logged(e.knob, "up"); }));
  EXPECT_TRUE(PointerFreed(e.graphics, *input)) << "a middle click left the pointer grabbed";
  EXPECT_EQ(e.plug.events, (std::vector<std::string>{"begin 3", "end 3"}));

  // Right click: the entry opens on the press, its release is swallowed, Return commits.
  e.knob->log.clear();
  e.plug.events.clear();
  input->Button(3, true);
  ASSERT_TRUE(PumpUntil(e.graphics, [&] { return e.graphics->EntryOpen(); }));
  input->Button(3, false);
  PumpFor(e.graphics, 100);
  EXPECT_TRUE(e.graphics->EntryOpen());
  for (const char* key : {"0", "period", "5", "Return"})
    input->Key(key);
  ASSERT_TRUE(PumpUntil(e.graphics, [&] { return !e.graphics->EntryOpen(); }));
  EXPECT_NEAR(e.knob->Value(), 0.5, 1e-9);
  EXPECT_EQ(e.plug.events, (std::vector<std::string>{"begin 3", "end 3"}));
  EXPECT_TRUE(PointerFreed(e.graphics, *input)) << "the entry's press kept the pointer";

  // The wheel over the background reaches the background, not the knob the entry came from.
  input->MoveTo(ox + 150, oy + 80);
  input->Button(4, true);
  input->Button(4, false);
  EXPECT_TRUE(PumpUntil(e.graphics, [&] { return Logged(e.background, "wheel"); }));
  EXPECT_FALSE(Logged(e.knob, "wheel"));

  // The same with Escape: nothing set, the edit still ended.
  e.plug.events.clear();
  input->MoveTo(ox + 20, oy + 20);
  input->Button(3, true);
  ASSERT_TRUE(PumpUntil(e.graphics, [&] { return e.graphics->EntryOpen(); }));
  input->Button(3, false);
  PumpFor(e.graphics, 50);
  input->Key("Escape");
  ASSERT_TRUE(PumpUntil(e.graphics, [&] { return !e.graphics->EntryOpen(); }));
  EXPECT_NEAR(e.knob->Value(), 0.5, 1e-9);
  EXPECT_EQ(e.plug.events, (std::vector<std::string>{"begin 3", "end 3"}));
  EXPECT_TRUE(PointerFreed(e.graphics, *input));
  e.graphics->DestroyEditorWindow();
}

TEST(EditorX11, OpeningAndClosingAHundredTimesLeavesNoWindow)
{
  REQUIRE_DISPLAY();
  X11Editor e;
  ASSERT_TRUE(e.host);
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_NE(e.graphics->CreateEditorWindow(reinterpret_cast<void*>(e.host->Handle())), nullptr) << i;
    e.graphics->Idle();
    e.graphics->DestroyEditorWindow();
  }
  EXPECT_EQ(e.host->ChildCount(), 0);
  EXPECT_EQ(IGraphicsWin::LiveEditorWindows(), 0);
}

TEST(EditorX11, ThePluginOpensItsEditorInTheHostsWindow)
{
  REQUIRE_DISPLAY();
  vsthost::VstHost host;
  ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
  ASSERT_TRUE(host.Open(44100.0, 512));
  ASSERT_TRUE(host.Effect()->flags & effFlagsHasEditor);
  ERect rect{};
  ASSERT_TRUE(host.EditorGetRect(rect));
  EXPECT_EQ(rect.right - rect.left, 1500);
  EXPECT_EQ(rect.bottom - rect.top, 757);
  std::unique_ptr<HostTopWindow> window = HostTopWindow::Create(rect.right, rect.bottom, "vsthost");
  ASSERT_TRUE(window);
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_EQ(host.EditorOpen(reinterpret_cast<void*>(window->Handle())), 1) << i;
    EXPECT_EQ(window->ChildCount(), 1);
    host.EditorIdle();
    EXPECT_EQ(host.EditorClose(), 1);
    EXPECT_EQ(window->ChildCount(), 0);
  }
  // Open once more and let it paint: the window shows it.
  ASSERT_EQ(host.EditorOpen(reinterpret_cast<void*>(window->Handle())), 1);
  for (int i = 0; i < 20; ++i)
  {
    host.EditorIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<uint32_t> shot;
  int w = 0, h = 0;
  EXPECT_TRUE(window->Capture(shot, w, h));
  EXPECT_EQ(w, 1500);
  host.EditorClose();
  host.Close();
}
