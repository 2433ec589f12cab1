#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starting helper programs (dialogs, the desktop's opener) without a shell:
// every argument reaches the program exactly as given. Linux: posix_spawnp on
// PATH; Windows: CreateProcessW with each argument quoted for the C runtime.

struct ProgramResult
{
  bool started = false; // false: not found or could not be started
  int exitCode = -1;    // -1 when it did not exit normally
  std::string output;   // its standard output, when asked for
};

// True when the program can be found on PATH.
bool ProgramAvailable(const std::string& name);

// Runs argv[0] (looked up on PATH) with the other arguments, waits for it, and
// collects its standard output when captureOutput is set (at most 64 KiB).
ProgramResult RunProgram(const std::vector<std::string>& argv, bool captureOutput);

// The command line of a Windows program: the arguments joined by blanks, each
// quoted where needed so that the C runtime's parser gives it back unchanged
// (backslashes double only before a quote or the closing quote).
std::string QuotedCommandLine(const std::vector<std::string>& argv);

// Opens a folder, file or link with the desktop's handler (xdg-open; the shell's
// "open" verb on Windows). True when the handler was started.
bool OpenWithDesktop(const std::string& target);

// Arguments of the file prompt: save or open, starting at folder/file, showing
// files with the extensions (none: every file).
std::vector<std::string> FilePromptArguments(bool save, const std::string& folder, const std::string& file,
                                             const std::vector<std::string>& extensions);

// Arguments of the colour prompt, starting at rgb.
std::vector<std::string> ColourPromptArguments(const std::string& title, const uint8_t rgb[3]);

// Reads the colour prompt's answer: "rgb(r,g,b)", "rgba(r,g,b,a)" or "#rrggbb".
bool ParseColourAnswer(const std::string& text, uint8_t rgb[3]);

// The first line of a program's output (without the line end).
std::string FirstLine(const std::string& text);
