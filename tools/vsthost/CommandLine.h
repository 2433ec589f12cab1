// The vsthost command line, kept in the library so tests run it without a child process.
#pragma once

#include <string>
#include <vector>

namespace vsthost {

// `vsthost --identity PLUGIN.so`, `vsthost --editor PLUGIN.so [--screenshot FILE.png]`, `vsthost --help`.
// args excludes the program name. Writes to out and err; answers the process exit code
// (0 success, 1 the plug-in failed to load, 2 usage or unavailable option).
int RunCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err);

} // namespace vsthost
