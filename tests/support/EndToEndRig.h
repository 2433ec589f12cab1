#pragma once
// The plug-in as a user meets it, for the end-to-end suite and the transfer benchmark: the built
// shared object in the test host, its editor in a window on the X display, the simulated
// synthesizer as a child process on the JACK server, and clicks and keys through XTest. Where the
// controls are, and how the status line looks with a given text, comes from a second editor built
// in this process from the same code (`ReferenceEditor`), never from pixels written down here.
#include "editor/VELK.h"
#include "framework/controls/IRadioButtonsControl.h"
#include "framework/controls/IContactControl.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "gfx/Gfx_SysBitmap.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchPanePopupMenu.h"
#include "platform/window/HostTopWindow.h"
#include "tests/support/PngWrite.h"
#include "tests/support/SimSynthProcess.h"
#include "tests/support/TempFolder.h"
#include "tools/vsthost/VstHost.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

inline bool EndToEndEnvIsOne(const char* name)
{
  const char* value = std::getenv(name);
  return value && std::string(value) == "1";
}

inline bool HaveJack()
{
  return std::getenv("JACK_DEFAULT_SERVER") != nullptr;
}

inline bool HaveDisplay()
{
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}

inline int32_t ReadLE32(const std::vector<uint8_t>& bytes, size_t at)
{
  return int32_t(uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
                 uint32_t(bytes[at + 3]) << 24);
}

inline void AppendLE32(std::vector<uint8_t>& bytes, int32_t value)
{
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(uint8_t(uint32_t(value) >> shift));
}

// A program chunk of the plug-in, read and written field by field: the header, the state tag and
// version, no automated values, the count and the values of the other parameters, then the names (the
// MIDI ports among them) and the tail (device id and model).
struct ProgramChunk
{
  static constexpr int kMidiInputName = 25;
  static constexpr int kMidiOutputName = 26;

  std::vector<uint8_t> head; // up to and with the values
  std::vector<std::string> names;
  std::vector<uint8_t> tail;

  bool Parse(const std::vector<uint8_t>& bytes)
  {
    size_t at = size_t(kChunkHeaderSize) + 8;
    if (bytes.size() < at + 4) return false;
    const int32_t count = ReadLE32(bytes, at);
    at += 4 + 8 * size_t(count);
    if (count != kDebugParts + 1 || bytes.size() < at + 4) return false;
    head.assign(bytes.begin(), bytes.begin() + long(at));
    const int32_t nameCount = ReadLE32(bytes, at);
    at += 4;
    names.clear();
    for (int32_t i = 0; i < nameCount; ++i)
    {
      if (bytes.size() < at + 4) return false;
      const size_t length = size_t(ReadLE32(bytes, at));
      at += 4;
      if (bytes.size() < at + length) return false;
      names.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + length));
      at += length;
    }
    tail.assign(bytes.begin() + long(at), bytes.end());
    return true;
  }

  double Value(int parameter) const
  {
    double value = 0;
    std::memcpy(&value, head.data() + kChunkHeaderSize + 12 + 8 * parameter, 8);
    return value;
  }

  void SetValue(int parameter, double value)
  {
    std::memcpy(head.data() + kChunkHeaderSize + 12 + 8 * parameter, &value, 8);
  }

  std::vector<uint8_t> Bytes() const
  {
    std::vector<uint8_t> bytes = head;
    AppendLE32(bytes, int32_t(names.size()));
    for (const std::string& name : names)
    {
      AppendLE32(bytes, int32_t(name.size()));
      bytes.insert(bytes.end(), name.begin(), name.end());
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  }
};

inline size_t FirstIndexOf(const std::vector<std::string>& log, const std::string& line, size_t from = 0)
{
  for (size_t i = from; i < log.size(); ++i)
    if (log[i] == line) return i;
  return log.size();
}

inline size_t CountStartingWith(const std::vector<std::string>& log, const std::string& prefix,
                                size_t from = 0)
{
  size_t n = 0;
  for (size_t i = from; i < log.size(); ++i)
    if (log[i].rfind(prefix, 0) == 0) ++n;
  return n;
}

// Lines a control line of the simulator answers with, up to its "END".
inline std::vector<std::string> SimAnswerLines(SimSynthProcess& sim, const std::string& line)
{
  std::vector<std::string> lines;
  if (!sim.WriteLine(line)) return lines;
  for (std::string answer = sim.ReadLine(); !answer.empty() && answer != "END"; answer = sim.ReadLine())
    lines.push_back(answer);
  return lines;
}

// The plug-in's project state with the simulator's ports named, as a host recalls it: its input
// listens to the simulator's output, its output goes to the simulator's input.
inline bool ChunkWithPorts(vsthost::VstHost& host, const std::string& simIn, const std::string& simOut,
                           ProgramChunk& chunk)
{
  if (!chunk.Parse(host.GetChunk(false)) || chunk.names.size() <= size_t(ProgramChunk::kMidiOutputName) ||
      chunk.tail.size() < 4)
    return false;
  chunk.names[ProgramChunk::kMidiInputName] = simOut;
  chunk.names[ProgramChunk::kMidiOutputName] = simIn;
  return true;
}

// The same editor as the plug-in's, built in this process on the loopback MIDI back end: it knows
// where each control is and draws the status line as the plug-in draws it. Built once, before the
// plug-in is loaded (the back end is chosen from the environment while no other thread runs).
class ReferenceEditor
{
public:
  static ReferenceEditor* Get()
  {
    static ReferenceEditor* reference = []() -> ReferenceEditor*
    {
      auto* r = new ReferenceEditor;
      return r->mPlug ? r : nullptr;
    }();
    return reference;
  }

  IGraphics* Graphics() const { return dynamic_cast<IGraphics*>(mPlug->Editor()); }
  VELK& Plug() const { return *mPlug; }

  // Every control bound to the parameter, the editor's own list first, then the groups in order.
  std::vector<IControl*> ControlsOf(int paramIdx) const
  {
    std::vector<IControl*> out;
    IGraphics* g = Graphics();
    for (int i = 0; i < g->NumControls(); ++i)
      if (g->GetControl(i)->ParamIdx() == paramIdx) out.push_back(g->GetControl(i));
    for (int i = 0; i < g->NumLayerGroups(); ++i)
      Collect(
          g->GetLayerGroup(i), [&](IControl* c) { return c->ParamIdx() == paramIdx; }, out);
    return out;
  }

  template <class T> T* FirstOfClass() const
  {
    std::vector<IControl*> out;
    IGraphics* g = Graphics();
    for (int i = 0; i < g->NumLayerGroups(); ++i)
      Collect(
          g->GetLayerGroup(i), [](IControl* c) { return dynamic_cast<T*>(c) != nullptr; }, out);
    for (int i = 0; i < g->NumControls(); ++i)
      if (dynamic_cast<T*>(g->GetControl(i))) out.push_back(g->GetControl(i));
    return out.empty() ? nullptr : dynamic_cast<T*>(out.front());
  }

  // Where a radio row's button for the value is.
  bool RadioButton(int paramIdx, int value, IRectangle& rect) const
  {
    for (IControl* c : ControlsOf(paramIdx))
      if (auto* radio = dynamic_cast<IRadioButtonsControl*>(c); radio && value < radio->ButtonCount())
      {
        rect = radio->ButtonRect(value);
        return true;
      }
    return false;
  }

  // Shows the page of the main tab, as a click on the tab does (controls of other pages hide).
  void ShowTab(int mainTab)
  {
    mPlug->ParameterAt(kMainTab)->SetClamped(mainTab);
    mPlug->HandleParameterChange(kMainTab);
    Graphics()->SyncParameterToControls(kMainTab, mainTab, false);
  }

  LibrarianViewControl* LibrarianView() const { return FirstOfClass<LibrarianViewControl>(); }

  // The status line's rectangle and its pixels with the text, drawn on the page of the main tab.
  bool StatusLine(const std::string& text, int mainTab, IRectangle& rect, std::vector<uint32_t>& pixels)
  {
    if (!mPlug->Lines().Display(StatusLines::kStatus)) return false;
    rect = mPlug->Lines().Display(StatusLines::kStatus)->Rect();
    IGraphics* g = Graphics();
    ShowTab(mainTab);
    mPlug->SetStatusText(text);
    const IRectangle all(0, 0, g->Width(), g->Height());
    g->DrawDirty(&all);
    Gfx_SysBitmap* frame = g->DrawBitmapSurface();
    if (!frame) return false;
    pixels.clear();
    for (int y = rect.T; y < rect.B; ++y)
      for (int x = rect.L; x < rect.R; ++x)
        pixels.push_back(frame->Row(y)[x] & 0xFFFFFF);
    return true;
  }

private:
  ReferenceEditor()
  {
    const char* backend = std::getenv("VELK_MIDI_BACKEND");
    const std::string saved = backend ? backend : "";
    const char* data = std::getenv("VELK_DATA_DIR");
    const std::string savedData = data ? data : "";
    setenv("VELK_MIDI_BACKEND", "loopback", 1);
    setenv("VELK_DATA_DIR", mData.c_str(), 1);
    mPlug = std::make_unique<VELK>(nullptr);
    if (backend)
      setenv("VELK_MIDI_BACKEND", saved.c_str(), 1);
    else
      unsetenv("VELK_MIDI_BACKEND");
    if (data)
      setenv("VELK_DATA_DIR", savedData.c_str(), 1);
    else
      unsetenv("VELK_DATA_DIR");
    if (!Graphics())
    {
      mPlug.reset();
      return;
    }
    Graphics()->CreateDrawBitmaps();
  }

  static void Collect(LayerGroup* group, const std::function<bool(IControl*)>& want,
                      std::vector<IControl*>& out)
  {
    if (!group) return;
    for (int i = 0; i < group->NumControls(); ++i)
      if (want(group->GetControl(i))) out.push_back(group->GetControl(i));
    for (int i = 0; i < group->NumChildren(); ++i)
      Collect(group->GetChild(i), want, out);
  }

  TempFolder mFolder{"e2e-reference"};
  std::filesystem::path mData = mFolder.Path();
  std::unique_ptr<VELK> mPlug;
};

inline int CentreX(const IRectangle& r)
{
  return (r.L + r.R) / 2;
}

inline int CentreY(const IRectangle& r)
{
  return (r.T + r.B) / 2;
}

// The plug-in's editor in a window of the test's own on the X display, driven through XTest. Every
// wait pumps the editor and runs audio blocks, as a host does.
class EditorOnScreen
{
public:
  EditorOnScreen(vsthost::VstHost& host, int block) : mHost(host), mBlock(block) {}
  ~EditorOnScreen() { Close(); }

  bool Open()
  {
    ERect rect{};
    if (!mHost.EditorGetRect(rect)) return false;
    mWindow = HostTopWindow::Create(rect.right - rect.left, rect.bottom - rect.top, "velk e2e");
    mInput = SyntheticInput::Create();
    if (!mWindow || !mInput) return false;
    if (mHost.EditorOpen(reinterpret_cast<void*>(mWindow->Handle())) != 1) return false;
    mOpen = true;
    Pump(std::chrono::milliseconds(300));
    return mInput->WindowOrigin(mWindow->Handle(), mX, mY);
  }

  void Close()
  {
    if (mOpen) mHost.EditorClose();
    mOpen = false;
  }

  // One round of the host: the editor's events and frame, then audio blocks.
  void Step()
  {
    if (mWindow) mWindow->Pump();
    if (mOpen) mHost.EditorIdle();
    for (int i = 0; i < 2; ++i)
      mHost.ProcessReplacing(mBlock);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  void Pump(std::chrono::milliseconds duration)
  {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end)
      Step();
  }

  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound)
  {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < end)
    {
      Step();
      if (done()) return true;
    }
    return false;
  }

  void Click(int x, int y, bool twice = false)
  {
    mInput->MoveTo(mX + x, mY + y);
    Step();
    for (int n = 0; n < (twice ? 2 : 1); ++n)
    {
      mInput->Button(1, true);
      mInput->Button(1, false);
    }
    Pump(std::chrono::milliseconds(100));
  }

  void Click(const IRectangle& r, bool twice = false) { Click(CentreX(r), CentreY(r), twice); }

  // Presses at the point, moves the pointer up by dy pixels in steps and lets go: a knob turned.
  void Drag(int x, int y, int dy)
  {
    mInput->MoveTo(mX + x, mY + y);
    Step();
    mInput->Button(1, true);
    Step();
    for (int moved = 0; moved < dy; moved += 4)
    {
      mInput->MoveTo(mX + x, mY + y - moved - 4);
      Step();
    }
    mInput->Button(1, false);
    Pump(std::chrono::milliseconds(100));
  }

  // Opens the menu of the button at the rectangle and walks it with the keys, as a user with the
  // keyboard would: they are typed once the menu holds the keyboard (nothing else of the editor
  // grabs it). While the menu's own loop runs inside the editor's idle call, only the typing
  // thread talks to the display about it.
  bool ChooseFromMenu(const IRectangle& button, const std::vector<const char*>& keys)
  {
    std::atomic<bool> clicked{false}, typed{false}, shown{false};
    std::thread typist(
        [&]
        {
          std::unique_ptr<SyntheticInput> keyboard = SyntheticInput::Create();
          const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
          while (!clicked && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          while (keyboard && !shown && std::chrono::steady_clock::now() < end)
          {
            if (keyboard->KeyboardGrabbedElsewhere())
              shown = true;
            else
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          for (size_t k = 0; shown && k < keys.size(); ++k)
          {
            keyboard->Key(keys[k]);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
          }
          // A menu that showed too late for its keys is closed, so the editor's loop comes back.
          if (!shown && keyboard) keyboard->Key("Escape");
          typed = true;
        });
    mInput->MoveTo(mX + CentreX(button), mY + CentreY(button));
    Step();
    mInput->Button(1, true);
    mInput->Button(1, false);
    clicked = true;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(25);
    while (!typed && std::chrono::steady_clock::now() < end)
    {
      if (mOpen) mHost.EditorIdle();
      mHost.ProcessReplacing(mBlock);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    typist.join();
    Pump(std::chrono::milliseconds(100));
    return shown;
  }

  // The window's pixels in a rectangle (RGB), as on screen.
  bool Region(int left, int top, int width, int height, std::vector<uint32_t>& pixels)
  {
    std::vector<uint32_t> shot;
    int w = 0, h = 0;
    if (!mWindow || !mWindow->Capture(shot, w, h)) return false;
    pixels.clear();
    for (int y = top; y < top + height && y < h; ++y)
      for (int x = left; x < left + width && x < w; ++x)
        pixels.push_back(shot[size_t(y * w + x)] & 0xFFFFFF);
    return true;
  }

  // What the window shows, as a PNG file (for a failing case to leave behind).
  bool SaveScreenshot(const std::string& path)
  {
    std::vector<uint32_t> shot;
    int w = 0, h = 0;
    if (!mWindow || !mWindow->Capture(shot, w, h)) return false;
    pngwrite::Image image;
    image.width = w, image.height = h, image.type = PNG_COLOR_TYPE_RGB;
    for (int y = 0; y < h; ++y)
    {
      std::vector<uint8_t> row;
      for (int x = 0; x < w; ++x)
      {
        const uint32_t p = shot[size_t(y * w + x)];
        row.insert(row.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
      }
      image.rows.push_back(std::move(row));
    }
    return pngwrite::WriteFile(path, pngwrite::Encode(image));
  }

  bool Shows(const IRectangle& rect, const std::vector<uint32_t>& expected)
  {
    std::vector<uint32_t> now;
    return Region(rect.L, rect.T, rect.W(), rect.H(), now) && now == expected;
  }

private:
  vsthost::VstHost& mHost;
  int mBlock;
  std::unique_ptr<HostTopWindow> mWindow;
  std::unique_ptr<SyntheticInput> mInput;
  bool mOpen = false;
  int mX = 0, mY = 0;
};
