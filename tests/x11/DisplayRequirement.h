#pragma once

// X11 tests run on a real X server (Xvfb under scripts/test): skipped without a display unless
// VELK_REQUIRE_DISPLAY=1, when a missing display fails.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

inline bool HaveDisplay()
{
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}

inline bool DisplayRequired()
{
  const char* r = std::getenv("VELK_REQUIRE_DISPLAY");
  return r && std::string(r) == "1";
}

#define REQUIRE_DISPLAY()                                                                                    \
  do                                                                                                         \
  {                                                                                                          \
    if (!HaveDisplay())                                                                                      \
    {                                                                                                        \
      if (DisplayRequired()) FAIL() << "no X display, and VELK_REQUIRE_DISPLAY=1";                           \
      GTEST_SKIP() << "no X display";                                                                        \
    }                                                                                                        \
  } while (0)
