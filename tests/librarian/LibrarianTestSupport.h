#pragma once

#include "framework/graphics/IGraphicsWin.h"
#include "librarian/ILibrarianHost.h"
#include "librarian/PatchLibrarian.h"
#include "platform/window/HeadlessWindow.h"
#include "tests/graphics/GraphicsTestSupport.h"

#include <memory>
#include <string>
#include <vector>

// A plug-in that records what the librarian asks of the main class.
class LibrarianPlug : public HostlessPlug, public ILibrarianHost
{
public:
  void LibrarianSendSlot(int slot, int side) override
  {
    calls.push_back("send " + std::to_string(slot) + " " + std::to_string(side));
  }
  void LibrarianRequestBank(int mode, int bank) override
  {
    calls.push_back("request " + std::to_string(mode) + " " + std::to_string(bank));
  }
  void LibrarianStoreBank(int side, int mode, int bank) override
  {
    calls.push_back("store " + std::to_string(side) + " " + std::to_string(mode) + " " +
                    std::to_string(bank));
  }
  void LibrarianSelectProgram(int bank, int program) override
  {
    calls.push_back("select " + std::to_string(bank) + " " + std::to_string(program));
    currentBank = bank;
    currentProgram = program;
  }
  int LibrarianPartBank() override { return currentBank; }
  int LibrarianPartProgram() override { return currentProgram; }
  void LibrarianStatus(const std::string& text) override { status.push_back(text); }
  void LibrarianTransfer(Transfer transfer, int bank) override
  {
    calls.push_back("transfer " + std::to_string(int(transfer)) + " " + std::to_string(bank));
  }

  std::vector<std::string> calls;
  std::vector<std::string> status;
  int currentBank = 0;
  int currentProgram = 0;
};

// An editor of the plug-in's size at a UI scale, on the headless window back end.
struct LibrarianEditor
{
  explicit LibrarianEditor(double scale)
  {
    graphics = new IGraphicsWin(&plug, int(1500 * scale), int(757 * scale));
    auto w = std::make_unique<HeadlessWindow>();
    window = w.get();
    graphics->SetPlatformWindow(std::move(w));
    plug.AttachEditor(graphics);
    graphics->CreateEditorWindow(reinterpret_cast<void*>(uintptr_t(0x6000)));
    window->Pump();
  }
  void Frame()
  {
    window->AdvanceTime(IGraphicsWin::TimerPeriod(graphics->FrameRate()));
    window->Pump();
  }
  void Click(int x, int y, uint32_t time)
  {
    window->InjectPress(x, y, kWindowButtonLeft, time);
    window->InjectRelease(x, y, kWindowButtonLeft);
    window->Pump();
  }

  LibrarianPlug plug;
  IGraphicsWin* graphics = nullptr;
  HeadlessWindow* window = nullptr;
};

inline LibrarianSlot NamedSlot(const char* name, size_t size = 99)
{
  LibrarianSlot s;
  std::vector<uint8_t> m(size, 0);
  m.front() = 0xF0;
  m.back() = 0xF7;
  s.AddMessage(std::move(m));
  s.name = name;
  return s;
}
