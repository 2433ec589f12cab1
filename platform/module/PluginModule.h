#pragma once

#include <string>

// A plug-in library, loaded as a host loads one: dlopen on Linux, LoadLibraryW on Windows. A path
// without a folder names the file in the current folder, never one found on the system's search path.
class PluginModule
{
public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Loads the library (unloading any earlier one); false with the system's reason in Error().
  bool Load(const std::string& path);
  // An exported symbol, or null.
  void* Symbol(const char* name) const;
  void Unload();
  bool Loaded() const { return mHandle != nullptr; }
  const std::string& Error() const { return mError; }

private:
  void* mHandle = nullptr;
  std::string mError;
};
