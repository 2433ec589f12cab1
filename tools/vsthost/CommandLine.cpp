#include "tools/vsthost/CommandLine.h"

#include "tools/vsthost/ChunkDifference.h"

#include "tools/vsthost/VstHost.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_PNGWrite.h"
#include "platform/midi/MidiBackend.h"
#include "platform/window/HostTopWindow.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace vsthost
{

namespace
{

const char kUsage[] =
    "usage: vsthost --identity PLUGIN.so   print what a host sees of the plug-in\n"
    "       vsthost --editor PLUGIN.so [--chunk FILE] [--screenshot FILE.png [--when PATH [--within S]]]\n"
    "                                      open the plug-in's editor in a window of its own until it is\n"
    "                                      closed, or write what it shows after a second and quit (with\n"
    "                                      --when: once PATH exists, at the latest after S seconds, 30 by\n"
    "                                      default); with --chunk, FILE is first handed to effSetChunk as\n"
    "                                      the program chunk, as a host recalling a project does\n"
    "       vsthost --midi-ports            list the MIDI ports a plug-in of this build can choose\n"
    "       vsthost --process N PLUGIN.so [--tempo BPM] [--playing]\n"
    "                                      run N blocks of 512 frames (32-bit, and 64-bit when offered)\n"
    "                                      with a note-on in the first and a note-off in the last; print\n"
    "                                      the peak output and the events the plug-in sent\n"
    "       vsthost --get-chunk FILE PLUGIN.so [--bank]\n"
    "                                      write the program (or bank) chunk to FILE\n"
    "       vsthost --set-chunk FILE PLUGIN.so [--bank]\n"
    "                                      hand FILE to effSetChunk and say whether it reads back equal\n"
    "       vsthost --help\n";

constexpr int kMaxBlocks = 1000000;
constexpr double kMaxTempo = 1000.0;
constexpr uintmax_t kMaxChunkFileBytes = uintmax_t(256) << 20; // what the host accepts from effGetChunk
constexpr size_t kListedEvents = 16;
constexpr size_t kListedSysExBytes = 8;

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
  if (!host.Load(path))
  {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  const Identity id = host.QueryIdentity();
  auto line = [&out](const char* label, const std::string& value)
  {
    char head[24];
    std::snprintf(head, sizeof(head), "%-16s", label);
    out += head + value + "\n";
  };
  line("name:", id.effectName);
  line("vendor:", id.vendor);
  line("product:", id.product);
  line("vendor version:", std::to_string(id.vendorVersion));
  line("version:", std::to_string(id.version));
  line("unique id:",
       "'" + FourCCText(id.uniqueID) + "' (" + Hex(static_cast<uint32_t>(id.uniqueID), 8) + ")");
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
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return false;
  Gfx_MemBitmap bitmap(width, height);
  if (bitmap.Width() != width || bitmap.Height() != height) return false;
  for (int y = 0; y < height; ++y)
    std::copy_n(&pixels[size_t(y) * size_t(width)], width, bitmap.Row(y));
  return Gfx_WritePNGFile(path, bitmap);
}

bool ReadChunkFile(const std::string& path, std::vector<uint8_t>& data, std::string& why);

// When the editor's picture is taken: after a second, or once a file exists (a script's sign that
// what the picture should show has happened), at the latest after a bound.
struct ShotTiming
{
  std::string when;
  int withinSeconds = 30;
};

constexpr int kMaxWithinSeconds = 3600;

int Editor(const std::string& path, const std::string& chunkFile, const std::string& screenshot,
           const ShotTiming& timing, std::string& out, std::string& err)
{
  std::vector<uint8_t> chunk;
  std::string why;
  if (!chunkFile.empty() && !ReadChunkFile(chunkFile, chunk, why))
  {
    err += "vsthost: " + why + "\n";
    return 1;
  }
  VstHost host;
  if (!host.Load(path))
  {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  if (!chunkFile.empty() && host.SetChunkAnswer(chunk, false) == 0)
  {
    err += "vsthost: the plug-in refused the program chunk in " + chunkFile + "\n";
    return 1;
  }
  if (!(host.Effect()->flags & effFlagsHasEditor))
  {
    err += "vsthost: the plug-in has no editor\n";
    return 1;
  }
  ERect rect{};
  int width = 640, height = 480;
  if (host.EditorGetRect(rect) && rect.right > rect.left && rect.bottom > rect.top)
  {
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }
  // Null without a display to show it on (on Linux, no DISPLAY).
  std::unique_ptr<HostTopWindow> window = HostTopWindow::Create(width, height, "vsthost");
  if (!window)
  {
    err += "vsthost: no display to open the editor on (run it under scripts/with-xvfb)\n";
    return 1;
  }
  if (!host.EditorOpen(reinterpret_cast<void*>(window->Handle())))
  {
    err += "vsthost: the plug-in did not open its editor\n";
    return 1;
  }
  const auto started = std::chrono::steady_clock::now();
  int lastW = host.LastSizeWindowWidth(), lastH = host.LastSizeWindowHeight();
  while (window->Pump())
  {
    host.EditorIdle();
    // The editor asks the host to fit its window around a new size.
    if (host.LastSizeWindowWidth() != lastW || host.LastSizeWindowHeight() != lastH)
    {
      lastW = host.LastSizeWindowWidth();
      lastH = host.LastSizeWindowHeight();
      window->Resize(lastW, lastH);
    }
    if (!screenshot.empty())
    {
      const auto elapsed = std::chrono::steady_clock::now() - started;
      if (timing.when.empty() && elapsed > std::chrono::seconds(1)) break;
      if (!timing.when.empty())
      {
        std::error_code ec;
        if (std::filesystem::exists(timing.when, ec)) break;
        if (elapsed > std::chrono::seconds(timing.withinSeconds))
        {
          out += "vsthost: " + timing.when + " did not appear within " +
                 std::to_string(timing.withinSeconds) + " s\n";
          break;
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int code = 0;
  if (!screenshot.empty())
  {
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    if (window->Capture(pixels, w, h) && WriteScreenshot(screenshot.c_str(), pixels, w, h))
    {
      out += "vsthost: editor (" + std::to_string(w) + " x " + std::to_string(h) + ") written to " +
             screenshot + "\n";
    }
    else
    {
      err += "vsthost: could not write " + screenshot + "\n";
      code = 1;
    }
  }
  host.EditorClose();
  host.Close();
  return code;
}

// ---- --midi-ports ----

// The ports through the back end a plug-in of this build creates, so the names are the ones its device
// menus list (without opening an editor).
int ListMidiPorts(std::string& out, std::string& err)
{
  const std::shared_ptr<MidiBackend> backend = CreateDefaultMidiBackend();
  std::unique_ptr<MidiInputClient> input = backend ? backend->CreateInput("vsthost port list") : nullptr;
  std::unique_ptr<MidiOutputClient> output = backend ? backend->CreateOutput("vsthost port list") : nullptr;
  if (!input && !output)
  {
    err += "vsthost: the MIDI library could not be started\n";
    return 1;
  }
  const auto list = [&out](const char* kind, MidiPortLister* lister)
  {
    const unsigned count = lister ? lister->PortCount() : 0;
    for (unsigned port = 0; port < count; ++port)
    {
      std::string name;
      if (lister->PortName(port, name)) out += std::string(kind) + name + "\n";
    }
  };
  // The plug-in's input listens to the synthesizer's MIDI out, its output sends to the synthesizer's in.
  list("input: ", input.get());
  list("output: ", output.get());
  return 0;
}

// ---- --process ----

std::string Bytes(const std::vector<uint8_t>& bytes, size_t limit)
{
  std::string text;
  char hex[4];
  for (size_t i = 0; i < bytes.size() && i < limit; ++i)
  {
    std::snprintf(hex, sizeof(hex), "%s%02X", i ? " " : "", bytes[i]);
    text += hex;
  }
  if (bytes.size() > limit) text += " ..";
  return text;
}

std::string EventText(const HostEvent& event)
{
  if (event.type == kVstMidiType) return "midi " + Bytes(event.bytes, 4);
  if (event.type == kVstSysExType)
    return "sysex " + Bytes(event.bytes, kListedSysExBytes) + " (" + std::to_string(event.bytes.size()) +
           " bytes)";
  return "event of type " + std::to_string(event.type) + " (" + std::to_string(event.byteSize) + " bytes)";
}

// One run of the blocks on either path; false (with err) when the host could not process a block.
template <typename Sample>
bool RunBlocks(VstHost& host, std::vector<std::vector<Sample>>& outputs, bool (VstHost::*process)(int32_t),
               int blocks, const char* label, std::string& out, std::string& err)
{
  host.ClearRecords();
  host.Transport().samplePos = 0.0; // each path starts at the top of the song
  const int32_t frames = host.BlockSize();
  double peak = 0.0;
  size_t nonFinite = 0;
  for (int block = 0; block < blocks; ++block)
  {
    if (block == 0) host.QueueMidi(0, 0x90, 60, 100);
    if (block == blocks - 1) host.QueueMidi(frames - 1, 0x80, 60, 0);
    for (auto& channel : outputs)
      std::fill(channel.begin(), channel.end(), Sample(0));
    if (!(host.*process)(frames))
    {
      err += std::string("vsthost: the ") + label + " process call failed at block " + std::to_string(block) +
             "\n";
      return false;
    }
    for (const auto& channel : outputs)
      for (const Sample sample : channel)
      {
        if (!std::isfinite(sample))
          ++nonFinite;
        else
          peak = std::max(peak, std::fabs(static_cast<double>(sample)));
      }
  }
  const std::vector<HostEvent> events = host.EventsFromPlugin();
  char head[96];
  std::snprintf(head, sizeof(head), "%s: peak %.6g, %zu events from the plug-in", label, peak, events.size());
  out += head;
  if (nonFinite) out += ", " + std::to_string(nonFinite) + " samples not finite";
  out += "\n";
  for (size_t i = 0; i < events.size() && i < kListedEvents; ++i)
    out += "  " + EventText(events[i]) + "\n";
  if (events.size() > kListedEvents)
    out += "  .. " + std::to_string(events.size() - kListedEvents) + " more\n";
  return true;
}

int Process(const std::string& path, int blocks, double tempo, bool playing, std::string& out,
            std::string& err)
{
  VstHost host;
  if (!host.Load(path))
  {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Transport().tempo = tempo;
  host.Transport().playing = playing;
  if (!host.Open())
  {
    err += "vsthost: the plug-in could not be opened\n";
    return 1;
  }
  const int32_t flags = host.Effect()->flags;
  if (!(flags & effFlagsCanReplacing) || !host.Effect()->processReplacing)
  {
    err += "vsthost: the plug-in offers no 32-bit replacing process\n";
    return 1;
  }
  char head[128];
  std::snprintf(head, sizeof(head), "%d blocks of %d frames at %g Hz, tempo %g, %s\n", blocks,
                host.BlockSize(), host.SampleRate(), tempo, playing ? "playing" : "stopped");
  out += head;
  if (!RunBlocks(host, host.Outputs32(), &VstHost::ProcessReplacing, blocks, "32-bit", out, err)) return 1;
  if (!(flags & effFlagsCanDoubleReplacing))
  {
    out += "64-bit: not offered by the plug-in\n";
  }
  else if (!host.Effect()->processDoubleReplacing)
  {
    err += "vsthost: the plug-in says it can process 64-bit samples but has no processDoubleReplacing\n";
    return 1;
  }
  else if (!RunBlocks(host, host.Outputs64(), &VstHost::ProcessDouble, blocks, "64-bit", out, err))
  {
    return 1;
  }
  host.Close();
  return 0;
}

// ---- chunks ----

// Reads at most kMaxChunkFileBytes; anything longer is refused rather than read whole.
bool ReadChunkFile(const std::string& path, std::vector<uint8_t>& data, std::string& why)
{
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
  {
    why = path + " is a folder";
    return false;
  }
  // Refuse a big file before reading it; the read below stays bounded for files that do not know their size.
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxChunkFileBytes)
  {
    why = path + " is larger than " + std::to_string(kMaxChunkFileBytes >> 20) + " MiB";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
  {
    why = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  data.clear();
  std::vector<uint8_t> part(1 << 16);
  bool ok = true;
  for (;;)
  {
    const size_t got = std::fread(part.data(), 1, part.size(), file);
    if (data.size() + got > kMaxChunkFileBytes)
    {
      why = path + " is larger than " + std::to_string(kMaxChunkFileBytes >> 20) + " MiB";
      ok = false;
      break;
    }
    data.insert(data.end(), part.begin(), part.begin() + long(got));
    if (got < part.size())
    {
      if (std::ferror(file))
      {
        why = "cannot read " + path;
        ok = false;
      }
      break;
    }
  }
  std::fclose(file);
  if (ok && data.empty())
  {
    why = path + " is empty";
    ok = false;
  }
  if (!ok) data.clear();
  return ok;
}

// Writes beside the target first and renames, so FILE is either the old file or the whole new one.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, std::string& why)
{
  namespace fs = std::filesystem;
  const fs::path target(path);
  std::random_device random;
  fs::path temp;
  FILE* file = nullptr;
  for (int attempt = 0; attempt < 16 && !file; ++attempt)
  {
    char suffix[24];
    std::snprintf(suffix, sizeof(suffix), ".tmp%08X", static_cast<unsigned>(random()));
    temp = target.parent_path() / ("." + target.filename().string() + suffix);
    file = std::fopen(temp.string().c_str(), "wbx"); // x: never take over an existing file
  }
  if (!file)
  {
    why = "cannot write in the folder of " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  std::error_code ec;
  if (ok)
  {
    fs::rename(temp, target, ec);
    ok = !ec;
  }
  if (!ok)
  {
    fs::remove(temp, ec);
    why = "cannot write " + path;
  }
  return ok;
}

int GetChunk(const std::string& file, const std::string& path, bool bank, std::string& out, std::string& err)
{
  const char* kind = bank ? "bank" : "program";
  VstHost host;
  if (!host.Load(path))
  {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  const std::vector<uint8_t> chunk = host.GetChunk(bank);
  host.Close();
  if (chunk.empty())
  {
    err += std::string("vsthost: the plug-in gave no ") + kind + " chunk\n";
    return 1;
  }
  std::string why;
  if (!WriteFileAtomically(file, chunk, why))
  {
    err += "vsthost: " + why + "\n";
    return 1;
  }
  out += std::string(kind) + " chunk: " + std::to_string(chunk.size()) + " bytes written to " + file + "\n";
  return 0;
}

int SetChunk(const std::string& file, const std::string& path, bool bank, std::string& out, std::string& err)
{
  const char* kind = bank ? "bank" : "program";
  std::vector<uint8_t> chunk;
  std::string why;
  if (!ReadChunkFile(file, chunk, why))
  {
    err += "vsthost: " + why + "\n";
    return 1;
  }
  VstHost host;
  if (!host.Load(path))
  {
    err += "vsthost: " + host.LastError() + "\n";
    return 1;
  }
  host.Open();
  const intptr_t answer = host.SetChunkAnswer(chunk, bank);
  out += std::string("effSetChunk (") + kind + ", " + std::to_string(chunk.size()) + " bytes) answered " +
         std::to_string(answer) + "\n";
  if (answer == 0)
  {
    err += std::string("vsthost: the plug-in refused the ") + kind + " chunk in " + file + "\n";
    return 1;
  }
  const std::vector<uint8_t> back = host.GetChunk(bank);
  const int automated = host.Effect() ? host.Effect()->numParams : 0;
  host.Close();
  if (back == chunk)
    out += "read back: equal\n";
  else if (back.empty())
    out += "read back: the plug-in gave no chunk\n";
  else
    out += "read back: differs, first at " + DescribeChunkDifference(chunk, back, automated) + "\n";
  return 0;
}

// ---- arguments ----

bool ParseBlocks(const std::string& text, int& blocks)
{
  const char* end = text.data() + text.size();
  const auto [rest, ec] = std::from_chars(text.data(), end, blocks);
  return ec == std::errc() && rest == end && blocks >= 1 && blocks <= kMaxBlocks;
}

bool ParseTempo(const std::string& text, double& tempo)
{
  const char* end = text.data() + text.size();
  const auto [rest, ec] = std::from_chars(text.data(), end, tempo); // not the locale's decimal point
  return ec == std::errc() && rest == end && std::isfinite(tempo) && tempo > 0.0 && tempo <= kMaxTempo;
}

// What is wrong with a command line that matches no form of the usage.
std::string Misuse(const std::vector<std::string>& args)
{
  static const char* const kCommands[] = {"--help",    "-h",          "--identity",  "--editor",
                                          "--process", "--get-chunk", "--set-chunk", "--midi-ports"};
  static const char* const kOptions[] = {"--screenshot", "--chunk",   "--when", "--within",
                                         "--tempo",      "--playing", "--bank"};
  const auto among = [](const std::string& arg, const auto& list)
  { return std::find(std::begin(list), std::end(list), arg) != std::end(list); };
  for (const std::string& arg : args)
    if (arg.size() > 1 && arg[0] == '-' && !among(arg, kCommands) && !among(arg, kOptions))
      return "unknown option \"" + arg + "\"";
  if (args.empty()) return "no command given";
  if (!among(args[0], kCommands)) return "no command given before \"" + args[0] + "\"";
  return args[0] + " needs other arguments";
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err)
{
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
  {
    out += kUsage;
    return 0;
  }
  if (args.size() == 2 && args[0] == "--identity") return Identify(args[1], out, err);
  if (args.size() == 1 && args[0] == "--midi-ports") return ListMidiPorts(out, err);
  if (args.size() >= 2 && args.size() % 2 == 0 && args[0] == "--editor")
  {
    std::string chunkFile, screenshot, within;
    ShotTiming timing;
    bool ok = true;
    for (size_t i = 2; ok && i < args.size(); i += 2)
    {
      std::string* value = args[i] == "--chunk"        ? &chunkFile
                           : args[i] == "--screenshot" ? &screenshot
                           : args[i] == "--when"       ? &timing.when
                           : args[i] == "--within"     ? &within
                                                       : nullptr;
      ok = value && value->empty() && !args[i + 1].empty();
      if (ok) *value = args[i + 1];
    }
    // The timing options only say when the picture is taken.
    ok = ok && (screenshot.empty() ? timing.when.empty() && within.empty()
                                   : within.empty() || !timing.when.empty());
    if (ok && !within.empty())
    {
      const char* end = within.data() + within.size();
      const auto [rest, ec] = std::from_chars(within.data(), end, timing.withinSeconds);
      if (ec != std::errc() || rest != end || timing.withinSeconds < 1 ||
          timing.withinSeconds > kMaxWithinSeconds)
      {
        err += "vsthost: --within takes a whole number of seconds from 1 to " +
               std::to_string(kMaxWithinSeconds) + "\n";
        return 2;
      }
    }
    if (ok) return Editor(args[1], chunkFile, screenshot, timing, out, err);
  }
  if (args.size() >= 3 && args[0] == "--process")
  {
    int blocks = 0;
    double tempo = 120.0;
    bool playing = false, ok = true;
    for (size_t i = 3; ok && i < args.size(); ++i)
    {
      if (args[i] == "--playing")
      {
        playing = true;
      }
      else if (args[i] == "--tempo" && i + 1 < args.size())
      {
        if (!ParseTempo(args[++i], tempo))
        {
          err += "vsthost: the tempo must be a number of beats per minute above 0 and up to 1000\n";
          return 2;
        }
      }
      else
      {
        ok = false;
      }
    }
    if (ok && !ParseBlocks(args[1], blocks))
    {
      err += "vsthost: the number of blocks must be a whole number from 1 to " + std::to_string(kMaxBlocks) +
             "\n";
      return 2;
    }
    if (ok) return Process(args[2], blocks, tempo, playing, out, err);
  }
  if ((args.size() == 3 || (args.size() == 4 && args[3] == "--bank")) &&
      (args[0] == "--get-chunk" || args[0] == "--set-chunk"))
  {
    const bool bank = args.size() == 4;
    return args[0] == "--get-chunk" ? GetChunk(args[1], args[2], bank, out, err)
                                    : SetChunk(args[1], args[2], bank, out, err);
  }
  err += "vsthost: " + Misuse(args) + "\n" + kUsage;
  return 2;
}

} // namespace vsthost
