#include "framework/plugin/IEffectVST.h"

#include <memory>
#include <mutex>

namespace
{
// Serialises the creation of plug-in objects; a static, so it exists before any host call.
std::mutex gEntryLock;
} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback hostCallback)
{
  try
  {
    std::lock_guard<std::mutex> lock(gEntryLock);
    std::unique_ptr<IEffectVST> plug(CreatePlugin(hostCallback));
    if (!plug) return nullptr;
    plug->FillEmptyPresets("Empty", plug->NumPresets());
    AEffect* effect = plug->Effect();
    if (effect->numPrograms < 1) effect->numPrograms = 1;
    plug.release(); // the host owns it now and ends it with effClose
    return effect;
  }
  catch (...)
  {
    return nullptr;
  }
}
