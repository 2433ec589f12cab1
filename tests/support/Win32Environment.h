#pragma once

// The suites set and clear environment variables the POSIX way; the Windows C runtime offers _putenv_s,
// which clears a variable when given an empty value. Built into the Windows test programs only
// (cmake/VelkWindowsTests.cmake includes it first).
#ifdef _WIN32
#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite)
{
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name)
{
  return _putenv_s(name, "") == 0 ? 0 : -1;
}
#endif
