#pragma once
// A case that must watch a whole process end (exit() while threads of its own still run) runs this
// test program again as a child process, with the case's marker variable set, and looks at how it
// ended.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// Runs this program with only the cases `filter` selects and the variables `env` set, and waits for
// it: its wait status, or -1 when it could not be started.
inline int RunChildOfThisProgram(const std::string& filter,
                                 std::vector<std::pair<std::string, std::string>> env)
{
  // The child leaves threads running when it exits, on purpose: a leak check at its end has nothing
  // to tell, and stopping those threads for it can fail.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env.emplace_back("ASAN_OPTIONS", std::string(asan ? asan : "") + ":detect_leaks=0");
  const std::string filterArgument = "--gtest_filter=" + filter;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0)
  {
    for (const auto& [name, value] : env)
      setenv(name.c_str(), value.c_str(), 1);
    execl("/proc/self/exe", "/proc/self/exe", filterArgument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return status;
}
