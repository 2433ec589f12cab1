// The vsthost command line, kept in the library so tests run it without a child process.
#pragma once

#include <string>
#include <vector>

namespace vsthost
{

// `vsthost --identity PLUGIN.so`, `--editor PLUGIN.so [--chunk FILE] [--screenshot FILE.png [--when PATH
// [--within S]]]`, `--midi-ports`,
// `--process N PLUGIN.so [--tempo BPM] [--playing]`, `--get-chunk FILE PLUGIN.so [--bank]`,
// `--set-chunk FILE PLUGIN.so [--bank]`, `--help`.
// args excludes the program name. Writes to out and err; answers the process exit code
// (0 success; 1 the plug-in failed to load or to do what was asked, or a file could not be read or written;
// 2 usage).
int RunCommandLine(const std::vector<std::string>& args, std::string& out, std::string& err);

} // namespace vsthost
