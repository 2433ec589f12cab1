#include "editor/WriteBuildLog.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>

namespace
{
// std::localtime shares one static record; several threads log.
std::mutex gLogMutex;
} // namespace

void WriteBuildLog(const std::string& logPath, const std::string& message)
{
  if (logPath.empty()) return;
  std::lock_guard<std::mutex> lock(gLogMutex);
  std::ofstream out(logPath, std::ios::out | std::ios::app | std::ios::binary);
  if (!out.is_open()) return;
  char stamp[64] = {0};
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof(stamp), "%Y-%m-%d.%X", local);
  out << stamp << "\t " << message << "\n";
  std::printf("Build LOG: \t %s\n", message.c_str());
  std::fflush(stdout);
}
