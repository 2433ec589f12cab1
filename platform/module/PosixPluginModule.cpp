#include "platform/module/PluginModule.h"

#include <dlfcn.h>

PluginModule::~PluginModule()
{
  Unload();
}

bool PluginModule::Load(const std::string& path)
{
  Unload();
  mError.clear();
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  mHandle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mHandle)
  {
    const char* why = dlerror();
    mError = why ? why : "unknown error";
    return false;
  }
  return true;
}

void* PluginModule::Symbol(const char* name) const
{
  return mHandle ? dlsym(mHandle, name) : nullptr;
}

void PluginModule::Unload()
{
  if (mHandle) dlclose(mHandle);
  mHandle = nullptr;
}
