#pragma once

// The suites set and clear environment variables the POSIX way; the Windows C runtime offers _putenv_s,
// which clears a variable when given an empty value. Their temporary folders come from mkdtemp, which
// the Windows C runtime lacks. Built into the Windows test programs only (cmake/VelkWindowsTests.cmake
// includes it first).
#ifdef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <direct.h>
#include <random>

inline int setenv(const char* name, const char* value, int overwrite)
{
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name)
{
  return _putenv_s(name, "") == 0 ? 0 : -1;
}
// The six X that end the pattern replaced until a folder of that name could be made: one that exists
// already is never taken.
inline char* mkdtemp(char* pattern)
{
  const size_t n = pattern ? std::strlen(pattern) : 0;
  if (n < 6 || std::strcmp(pattern + n - 6, "XXXXXX") != 0)
  {
    errno = EINVAL;
    return nullptr;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 pick(seed());
  for (int attempt = 0; attempt < 1000; ++attempt)
  {
    for (size_t i = n - 6; i < n; ++i)
      pattern[i] = kLetters[pick() % 36];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}
#endif
