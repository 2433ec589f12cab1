#pragma once
// Puts the process's LC_NUMERIC into a locale whose decimal point is a comma, as a host running in
// a German or French locale does, so that a test can show that number parsing and formatting do
// not follow it. The locale is compiled on the spot with localedef into a temporary folder (no
// installed locale is needed); the "C" locale comes back when the object goes.

#include "tests/support/TempFolder.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class CommaLocale
{
public:
  CommaLocale()
  {
    namespace fs = std::filesystem;
    std::error_code ec;
    {
      std::ofstream source(mFolder / "comma.src");
      source << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n";
    }
    // -c: the other categories are left undefined on purpose; localedef warns and still writes.
    const std::string command = "localedef -c -i '" + (mFolder / "comma.src").string() + "' '" +
                                (mFolder / "xx_XX").string() + "' >/dev/null 2>&1";
    std::system(command.c_str());
    if (!fs::exists(mFolder / "xx_XX" / "LC_NUMERIC", ec)) return;
    setenv("LOCPATH", mFolder.string().c_str(), 1);
    const char* set = std::setlocale(LC_NUMERIC, "xx_XX");
    unsetenv("LOCPATH");
    mActive = set && std::localeconv()->decimal_point[0] == ',';
  }

  ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }

  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // False when localedef was not there or the locale could not be set; the caller skips.
  bool Active() const { return mActive; }

private:
  TempFolder mTemp{"locale"};
  std::filesystem::path mFolder = mTemp.Path();
  bool mActive = false;
};
