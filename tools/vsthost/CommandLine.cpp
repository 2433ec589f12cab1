#include "tools/vsthost/CommandLine.h"

#include "tools/vsthost/VstHost.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_PNGWrite.h"
#include "platform/window/HostTopWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vsthost {

namespace {

const char kUsage[] =
    "usage: vsthost --identity PLUGIN.so   print what a host sees of the plug-in\n"
    "       vsthost --editor PLUGIN.so [--screenshot FILE.png]\n"
    "                                      open the plug-in's editor in a window of its own until it is\n"
    "                                      closed, or write what it shows after a second and quit\n"
    "       vsthost --help\n";

std::string Hex(int64_t value, int digits)
{
  char text[32];
  std::snprintf(text, sizeof(text), "0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// Small answers (yes, no, don't know) read best in decimal; tagged answers such as 0xBEEF0000 in hex.
std::string CanDoText(intptr_t answer)
{
  if (answer >= -1 && answer <= 1) return std::to_string(answer);
  return Hex(static_cast<int64_t>(static_cast<uint64_t>(answer) & 0xFFFFFFFFu), 8);
}

int Identify(const std::string& path, std::string& out, std::string& err)
{
  VstHost host;
  if (!host.Load(path)) {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  const Identity id = host.QueryIdentity();
  auto line = [&out](const char* label, const std::string& value) {
    char head[24];
    std::snprintf(head, sizeof(head), "%-16s", label);
    out += head + value + "\n";
  };
  line("name:", id.effectName);
  line("vendor:", id.vendor);
  line("product:", id.product);
  line("vendor version:", std::to_string(id.vendorVersion));
  line("version:", std::to_string(id.version));
  line("unique id:", "'" + FourCCText(id.uniqueID) + "' (" + Hex(static_cast<uint32_t>(id.uniqueID), 8) + ")");
  line("inputs:", std::to_string(id.numInputs));
  line("outputs:", std::to_string(id.numOutputs));
  line("parameters:", std::to_string(id.numParams));
  line("programs:", std::to_string(id.numPrograms));
  line("flags:", Hex(static_cast<uint32_t>(id.flags), 8) + " (" + FlagNames(id.flags) + ")");
  line("initial delay:", std::to_string(id.initialDelay));
  line("category:", std::to_string(id.category));
  line("VST version:", std::to_string(id.vstVersion));
  for (const std::string& capability : IdentityCapabilities())
    out += "canDo " + capability + ": " + CanDoText(host.CanDo(capability)) + "\n";
  host.Close();
  return 0;
}

// Opens the editor in a top-level window of the host's own, whose handle is the parent given to
// effEditOpen, and pumps effEditIdle about every 10 ms.
// Captured window pixels (0xAARRGGBB, rows top-down) as a PNG file.
bool WriteScreenshot(const char* path, const std::vector<uint32_t>& pixels, int width, int height)
{
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height))
    return false;
  Gfx_MemBitmap bitmap(width, height);
  if (bitmap.Width() != width || bitmap.Height() != height)
    return false;
  for (int y = 0; y < height; ++y)
    std::copy_n(&pixels[size_t(y) * size_t(width)], width, bitmap.Row(y));
  return Gfx_WritePNGFile(path, bitmap);
}

int Editor(const std::string& path, const std::string& screenshot, std::string& out, std::string& err)
{
  VstHost host;
  if (!host.Load(path)) {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  if (!(host.Effect()->flags & effFlagsHasEditor)) {
    err += "vsthost: the plug-in has no editor\n";
    return 1;
  }
  ERect rect{};
  int width = 640, height = 480;
  if (host.EditorGetRect(rect) && rect.right > rect.left && rect.bottom > rect.top) {
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }
  const char* display = std::getenv("DISPLAY");
  std::unique_ptr<HostTopWindow> window;
  if (display && *display)
    window = HostTopWindow::Create(width, height, "vsthost");
  if (!window) {
    err += "vsthost: no display to open the editor on (run it under scripts/with-xvfb)\n";
    return 1;
  }
  if (!host.EditorOpen(reinterpret_cast<void*>(window->Handle()))) {
    err += "vsthost: the plug-in did not open its editor\n";
    return 1;
  }
  const auto started = std::chrono::steady_clock::now();
  int lastW = host.LastSizeWindowWidth(), lastH = host.LastSizeWindowHeight();
  while (window->Pump()) {
    host.EditorIdle();
    // The editor asks the host to fit its window around a new size.
    if (host.LastSizeWindowWidth() != lastW || host.LastSizeWindowHeight() != lastH) {
      lastW = host.LastSizeWindowWidth();
      lastH = host.LastSizeWindowHeight();
      window->Resize(lastW, lastH);
    }
    if (!screenshot.empty() && std::chrono::steady_clock::now() - started > std::chrono::seconds(1))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int code = 0;
  if (!screenshot.empty()) {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    if (window->Capture(pixels, w, h) && WriteScreenshot(screenshot.c_str(), pixels, w, h)) {
      out += "vsthost: editor (" + std::to_string(w) + " x " + std::to_string(h) + ") written to " + screenshot +
             "\n";
    } else {
      err += "vsthost: could not write " + screenshot + "\n";
      code = 1;
    }
  }
  host.EditorClose();
  host.Close();
  return code;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err)
{
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out += kUsage;
    return 0;
  }
  if (args.size() == 2 && args[0] == "--identity") return Identify(args[1], out, err);
  if (args.size() == 2 && args[0] == "--editor") return Editor(args[1], "", out, err);
  if (args.size() == 4 && args[0] == "--editor" && args[2] == "--screenshot")
    return Editor(args[1], args[3], out, err);
  err += kUsage;
  return 2;
}

} // namespace vsthost
