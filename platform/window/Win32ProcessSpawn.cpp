#include "platform/window/ProcessSpawn.h"

#include "platform/win32/Win32Strings.h"

#include <shellapi.h>

#include <algorithm>

namespace
{
constexpr size_t kMaxOutput = 64 * 1024;

// The program's full path: as given when it names a folder, else searched with ".exe" appended.
std::wstring FindProgram(const std::string& name)
{
  if (name.empty()) return std::wstring();
  const std::wstring wide = Widen(name);
  wchar_t found[MAX_PATH * 4];
  const DWORD n = SearchPathW(nullptr, wide.c_str(), L".exe", DWORD(std::size(found)), found, nullptr);
  if (n == 0 || n >= std::size(found)) return std::wstring();
  const DWORD attributes = GetFileAttributesW(found);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::wstring();
  return found;
}
} // namespace

bool ProgramAvailable(const std::string& name)
{
  return !FindProgram(name).empty();
}

ProgramResult RunProgram(const std::vector<std::string>& argv, bool captureOutput)
{
  ProgramResult result;
  if (argv.empty() || argv[0].empty()) return result;
  const std::wstring program = FindProgram(argv[0]);
  if (program.empty()) return result;
  const std::wstring line = Widen(QuotedCommandLine(argv));

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (captureOutput)
  {
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0); // only the child's end is inherited
  }
  // The child must not read the host's console.
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                           0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = captureOutput ? writeEnd : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> mutableLine(line.begin(), line.end());
  mutableLine.push_back(L'\0');
  const BOOL started = CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  if (writeEnd) CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started)
  {
    if (readEnd) CloseHandle(readEnd);
    return result;
  }
  result.started = true;
  if (captureOutput)
  {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
      if (result.output.size() < kMaxOutput)
        result.output.append(buffer, std::min(size_t(n), kMaxOutput - result.output.size()));
    CloseHandle(readEnd);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) result.exitCode = int(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

bool OpenWithDesktop(const std::string& target)
{
  if (target.empty()) return false;
  const std::wstring wide = Widen(target);
  // No error dialog of the shell's own: the editor says what went wrong.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = wide.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}
