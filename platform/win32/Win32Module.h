#pragma once

// The module the code is linked into: the plug-in's DLL (or a test program), whose instance
// owns our window classes and whose file name gives the plug-in's folder. Windows only.

#include <windows.h>

inline HMODULE ThisModule()
{
  static const char anchor = 0; // an address inside this module
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&anchor), &module))
    return nullptr;
  return module;
}
