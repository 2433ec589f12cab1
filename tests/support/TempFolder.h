#pragma once
// A folder for one test's files that no other test, no other process and no other run of the
// suites on the machine can be given: made by mkdtemp in the system's temporary folder, removed
// with everything in it when the object goes. Every file a test writes goes in one of these.

#include "tests/support/Win32Environment.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TempFolder
{
public:
  // name: a readable part of the folder's name (letters, digits, '-' and '_').
  explicit TempFolder(const std::string& name = "test")
  {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = ".";
    std::string pattern = (base / ("velk-" + name + "-XXXXXX")).string();
    if (const char* made = mkdtemp(pattern.data())) mPath = made;
  }
  ~TempFolder()
  {
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when no folder could be made.
  const std::filesystem::path& Path() const { return mPath; }
  std::string String() const { return mPath.string(); }
  std::filesystem::path operator/(const std::filesystem::path& p) const { return mPath / p; }

private:
  std::filesystem::path mPath;
};
