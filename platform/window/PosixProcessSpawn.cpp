#include "platform/window/ProcessSpawn.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
constexpr size_t kMaxOutput = 64 * 1024;
}

bool ProgramAvailable(const std::string& name)
{
  if (name.empty()) return false;
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size())
  {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry of PATH means the current folder.
    const std::string candidate =
        (end > start ? dirs.substr(start, end - start) : std::string(1, '.')) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, bool captureOutput)
{
  ProgramResult result;
  if (argv.empty() || argv[0].empty()) return result;

  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) return result;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (captureOutput) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  // The child must not read the host's terminal.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) close(pipeFds[1]);
  if (rc != 0)
  {
    if (captureOutput) close(pipeFds[0]);
    return result;
  }
  result.started = true;

  if (captureOutput)
  {
    char buffer[4096];
    for (;;)
    {
      const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
      if (n > 0)
      {
        if (result.output.size() < kMaxOutput)
          result.output.append(buffer, std::min(size_t(n), kMaxOutput - result.output.size()));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    close(pipeFds[0]);
  }

  int status = 0;
  pid_t waited;
  do
    waited = waitpid(pid, &status, 0);
  while (waited < 0 && errno == EINTR);
  if (waited == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  // posix_spawnp reports a missing program as exit code 127 of the child.
  if (result.exitCode == 127) result.started = false;
  return result;
}

bool OpenWithDesktop(const std::string& target)
{
  if (target.empty() || !ProgramAvailable("xdg-open")) return false;
  const ProgramResult r = RunProgram({"xdg-open", target}, false);
  return r.started && r.exitCode == 0;
}
