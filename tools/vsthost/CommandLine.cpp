#include "tools/vsthost/CommandLine.h"

#include "tools/vsthost/VstHost.h"

#include <cstdio>

namespace vsthost {

namespace {

const char kUsage[] =
    "usage: vsthost --identity PLUGIN.so   print what a host sees of the plug-in\n"
    "       vsthost --editor PLUGIN.so     open the plug-in's editor (not available yet)\n"
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

} // namespace

int RunCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err)
{
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out += kUsage;
    return 0;
  }
  if (args.size() == 2 && args[0] == "--identity") return Identify(args[1], out, err);
  if (!args.empty() && args[0] == "--editor") {
    err += "vsthost: --editor is not available yet\n";
    return 2;
  }
  err += kUsage;
  return 2;
}

} // namespace vsthost
