// The plug-in's code lives in the static libraries; a module target needs one source of its own.
// It holds the `main` alias that old hosts look for; referring to VSTPluginMain also makes the
// linker take the entry point out of the framework library.
#include "platform/vst2/VstTypes.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback hostCallback);

// C++ reserves the name main for the program entry, so the symbol is named through the assembler.
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback)
  __asm__("main");

AEffect* VSTPluginMainAlias(audioMasterCallback hostCallback)
{
  return VSTPluginMain(hostCallback);
}
